#include "saver/runtime/line.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

namespace veltrane::vb {

Line::Line(Container& container, std::string name)
    : QWidget(container.ContainerWidget()), Control(container, std::move(name)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  Place();
  show();
}

void Line::SetPoints(double x1, double y1, double x2, double y2) {
  x1_ = x1;
  y1_ = y1;
  x2_ = x2;
  y2_ = y2;
  Place();
}

void Line::SetBorderColor(Color color) {
  color_ = color;
  update();
}

void Line::SetBorderWidth(int pixels) {
  width_ = std::max(1, pixels);
  Place();
}

// The widget covers the line's bounding box and draws the line inside it.
void Line::Place() {
  const Container& c = Parent();
  int ax = static_cast<int>(std::lround(c.ToPixelsX(x1_))), ay = static_cast<int>(std::lround(c.ToPixelsY(y1_)));
  int bx = static_cast<int>(std::lround(c.ToPixelsX(x2_))), by = static_cast<int>(std::lround(c.ToPixelsY(y2_)));
  setGeometry(std::min(ax, bx), std::min(ay, by), std::abs(bx - ax) + width_, std::abs(by - ay) + width_);
  update();
}

void Line::paintEvent(QPaintEvent*) {
  const Container& c = Parent();
  QPainter p(this);
  p.setPen(QPen(ToQColor(color_), width_));
  QPointF o = pos();
  p.drawLine(QPointF(c.ToPixelsX(x1_), c.ToPixelsY(y1_)) - o, QPointF(c.ToPixelsX(x2_), c.ToPixelsY(y2_)) - o);
}

}  // namespace veltrane::vb
