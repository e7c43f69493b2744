// Base of the shell's user controls (the gradient button): a widget placed on a
// form that holds controls of its own and receives focus, mouse and resize events
// through overridable handlers named as the control's code names them.
//
//   class Command : public vb::UserControl {
//    public:
//     Command(vb::Container& c, std::string name) : UserControl(c, std::move(name)) {}
//    protected:
//     void UserControl_MouseDown(std::int16_t button, std::int16_t shift, float x, float y) override;
//    private:
//     vb::Label LblMsg{*this, "LblMsg"};
//     vb::Timer TmrMouse{*this, "TmrMouse"};
//   };
#pragma once

#include <cstdint>

#include <QImage>
#include <QWidget>

#include "saver/runtime/color.h"
#include "saver/runtime/control.h"

namespace veltrane::vb {

class UserControl : public QWidget, public Control, public Container {
 public:
  UserControl(Container& container, std::string name);
  QWidget* Widget() override { return this; }
  QWidget* ContainerWidget() override { return this; }

  // The control's picture, drawn at its own size from the top-left corner, under
  // the contained controls.
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);
  Color BackColor() const { return backColor_; }
  void SetBackColor(Color color);
  // The control's area in its own scale units.
  double ScaleWidth() const { return FromPixelsX(width()); }
  double ScaleHeight() const { return FromPixelsY(height()); }
  unsigned long hWnd() { return static_cast<unsigned long>(winId()); }

 protected:
  virtual void UserControl_Resize() {}
  virtual void UserControl_Paint() {}
  virtual void UserControl_GotFocus() {}
  virtual void UserControl_LostFocus() {}
  virtual void UserControl_MouseDown(std::int16_t, std::int16_t, float, float) {}
  virtual void UserControl_MouseMove(std::int16_t, std::int16_t, float, float) {}
  virtual void UserControl_MouseUp(std::int16_t, std::int16_t, float, float) {}

  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QImage picture_;
  Color backColor_ = RGB(240, 240, 240);
};

}  // namespace veltrane::vb
