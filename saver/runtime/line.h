// The line control: a straight line drawn on its container from (X1, Y1) to
// (X2, Y2), in the container's scale units.
#pragma once

#include <QWidget>

#include "saver/runtime/color.h"
#include "saver/runtime/control.h"

namespace veltrane::vb {

class Line : public QWidget, public Control {
 public:
  Line(Container& container, std::string name);
  QWidget* Widget() override { return this; }

  double X1() const { return x1_; }
  double Y1() const { return y1_; }
  double X2() const { return x2_; }
  double Y2() const { return y2_; }
  void SetPoints(double x1, double y1, double x2, double y2);
  Color BorderColor() const { return color_; }
  void SetBorderColor(Color color);
  int BorderWidth() const { return width_; }
  void SetBorderWidth(int pixels);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void Place();
  double x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
  Color color_ = 0;
  int width_ = 1;
};

}  // namespace veltrane::vb
