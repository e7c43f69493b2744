// The picture box: a drawing surface that keeps a persistent off-screen image.
// Drawing and pixel access go to the image; Refresh (or any repaint) puts it on
// the screen. Besides text output it offers what per-pixel code needs: reading a
// pixel, and copying the image to and from a 24-bit bottom-up buffer (blue,
// green, red per pixel, each row padded to a multiple of four bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <QImage>
#include <QWidget>

#include "saver/runtime/color.h"
#include "saver/runtime/control.h"
#include "saver/runtime/fonts.h"
#include "saver/runtime/mouse.h"

namespace veltrane::vb {

class PictureBox : public QWidget, public Control {
 public:
  PictureBox(Container& container, std::string name);
  QWidget* Widget() override { return this; }

  // 0: no border; 1: a two-pixel sunken border around the drawing area.
  int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);

  // The units of CurrentX/Y, ScaleWidth/Height, TextWidth/Height and Point.
  ScaleMode GetScaleMode() const { return scaleMode_; }
  void SetScaleMode(ScaleMode mode) { scaleMode_ = mode; }
  // The drawing area (inside the border) in scale units.
  double ScaleWidth() const;
  double ScaleHeight() const;

  // Setting the background colour clears the image to it.
  Color BackColor() const { return backColor_; }
  void SetBackColor(Color color);
  Color ForeColor() const { return foreColor_; }
  void SetForeColor(Color color) { foreColor_ = color; }
  const FontSpec& Font() const { return font_; }
  void SetFont(const FontSpec& font);
  bool FontTransparent() const { return fontTransparent_; }
  void SetFontTransparent(bool transparent) { fontTransparent_ = transparent; }

  double CurrentX() const { return currentX_; }
  double CurrentY() const { return currentY_; }
  void SetCurrentX(double x) { currentX_ = x; }
  void SetCurrentY(double y) { currentY_ = y; }

  // Clears the image to the background colour; the current position goes to 0, 0.
  void Cls();
  // The extent of `text` in the surface's font, in scale units.
  double TextWidth(const std::string& text) const;
  double TextHeight(const std::string& text) const;
  // Draws `text` with its top-left corner at the current position in ForeColor.
  // With newline the position moves to the start of the next line, else to the
  // end of the text.
  void Print(const std::string& text, bool newline = true);

  // The colour at a point in scale units; -1 outside the image.
  std::int32_t Point(double x, double y) const;
  // The colour at pixel (x, y) of the image; kInvalidColor outside it.
  Color GetPixel(int x, int y) const;

  // The persistent image itself (RGB32), for drawing with QPainter.
  QImage& Picture() { return image_; }
  int ImageWidth() const { return image_.width(); }
  int ImageHeight() const { return image_.height(); }

  // Bytes in one row of a 24-bit buffer `width` pixels wide.
  static std::size_t DibRowBytes(int width) { return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4; }
  // Copies the image, bottom row first, into `dst` laid out for width x height;
  // returns the number of rows copied.
  int GetBits(std::uint8_t* dst, int width, int height) const;
  // Copies a width x height buffer (bottom row first) one to one onto the image
  // from its top-left corner; parts outside the image are dropped.
  void SetBits(const std::uint8_t* src, int width, int height);

  // Puts the image on the screen now.
  void Refresh();

  std::function<void()> OnClick;
  MouseHandler OnMouseDown, OnMouseMove, OnMouseUp;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void OnResized() override { ResizeImage(); }

 private:
  int Border() const { return borderStyle_ == 1 ? 2 : 0; }
  void ResizeImage();
  double ToPxX(double v) const;
  double ToPxY(double v) const;
  double FromPxX(double v) const;
  double FromPxY(double v) const;

  QImage image_;
  int borderStyle_ = 1;
  ScaleMode scaleMode_ = ScaleMode::Twips;
  Color backColor_ = RGB(240, 240, 240);
  Color foreColor_ = 0;
  FontSpec font_;
  bool fontTransparent_ = true;
  double currentX_ = 0, currentY_ = 0;
  bool pressed_ = false;
};

}  // namespace veltrane::vb
