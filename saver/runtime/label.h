// The label control: a caption in a font and colour, with a transparent or
// opaque background, optionally sized to its text, with click and mouse events.
#pragma once

#include <functional>

#include <QLabel>

#include "saver/runtime/color.h"
#include "saver/runtime/control.h"
#include "saver/runtime/fonts.h"
#include "saver/runtime/mouse.h"

namespace veltrane::vb {

inline constexpr int kBackTransparent = 0;
inline constexpr int kBackOpaque = 1;

class Label : public QLabel, public Control {
 public:
  Label(Container& container, std::string name);
  QWidget* Widget() override { return this; }

  std::string Caption() const;
  void SetCaption(const std::string& caption);
  Color ForeColor() const { return foreColor_; }
  void SetForeColor(Color color);
  Color BackColor() const { return backColor_; }
  void SetBackColor(Color color);
  int BackStyle() const { return backStyle_; }
  void SetBackStyle(int style);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  const FontSpec& Font() const { return font_; }
  void SetFont(const FontSpec& font);

  std::function<void()> OnClick;
  MouseHandler OnMouseDown, OnMouseMove, OnMouseUp;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void ApplyLook();
  void FitToText();
  float X(const QMouseEvent& e) const;
  float Y(const QMouseEvent& e) const;

  Color foreColor_ = 0;
  Color backColor_ = RGB(240, 240, 240);
  int backStyle_ = kBackOpaque;
  bool autoSize_ = false;
  bool pressed_ = false;
  FontSpec font_;
};

}  // namespace veltrane::vb
