#include "saver/runtime/control.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QCursor>
#include <QWidget>

#include "saver/runtime/runtime_error.h"
#include "saver/runtime/twips.h"

namespace veltrane::vb {

double Container::ToPixelsX(double u) const { return scaleMode_ == ScaleMode::Pixels ? u : PixelsFromTwipsX(u); }
double Container::ToPixelsY(double u) const { return scaleMode_ == ScaleMode::Pixels ? u : PixelsFromTwipsY(u); }
double Container::FromPixelsX(double p) const { return scaleMode_ == ScaleMode::Pixels ? p : TwipsFromPixelsX(p); }
double Container::FromPixelsY(double p) const { return scaleMode_ == ScaleMode::Pixels ? p : TwipsFromPixelsY(p); }

Control::Control(Container& container, std::string name) : container_(&container), name_(std::move(name)) {
  container_->controls_.push_back(this);
}

Control::~Control() {
  auto& list = container_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

namespace {
int Px(double v) { return static_cast<int>(std::lround(v)); }
QWidget* Need(QWidget* w) {
  if (!w) throw RuntimeError(kErrNoSuchMember);
  return w;
}
}  // namespace

double Control::Left() const { return container_->FromPixelsX(Need(const_cast<Control*>(this)->Widget())->x()); }
double Control::Top() const { return container_->FromPixelsY(Need(const_cast<Control*>(this)->Widget())->y()); }
double Control::Width() const { return container_->FromPixelsX(Need(const_cast<Control*>(this)->Widget())->width()); }
double Control::Height() const { return container_->FromPixelsY(Need(const_cast<Control*>(this)->Widget())->height()); }

void Control::SetLeft(double v) { Need(Widget())->move(Px(container_->ToPixelsX(v)), Widget()->y()); }
void Control::SetTop(double v) { Need(Widget())->move(Widget()->x(), Px(container_->ToPixelsY(v))); }
void Control::SetWidth(double v) {
  Need(Widget())->resize(std::max(0, Px(container_->ToPixelsX(v))), Widget()->height());
  OnResized();
}
void Control::SetHeight(double v) {
  Need(Widget())->resize(Widget()->width(), std::max(0, Px(container_->ToPixelsY(v))));
  OnResized();
}
void Control::Move(double left, double top) {
  Need(Widget())->move(Px(container_->ToPixelsX(left)), Px(container_->ToPixelsY(top)));
}
void Control::Move(double left, double top, double width, double height) {
  Need(Widget())->setGeometry(Px(container_->ToPixelsX(left)), Px(container_->ToPixelsY(top)),
                              std::max(0, Px(container_->ToPixelsX(width))),
                              std::max(0, Px(container_->ToPixelsY(height))));
  OnResized();
}

bool Control::Visible() const {
  QWidget* w = const_cast<Control*>(this)->Widget();
  return w && !w->isHidden();
}
void Control::SetVisible(bool visible) { Need(Widget())->setVisible(visible); }
bool Control::Enabled() const {
  QWidget* w = const_cast<Control*>(this)->Widget();
  return !w || w->isEnabled();
}
void Control::SetEnabled(bool enabled) { Need(Widget())->setEnabled(enabled); }

void Control::SetMousePointer(int pointer) {
  QWidget* w = Need(Widget());
  if (pointer == kPointerDefault) w->unsetCursor();
  else if (pointer == kPointerHourglass) w->setCursor(Qt::WaitCursor);
  else if (pointer == kPointerArrow) w->setCursor(Qt::ArrowCursor);
  // kPointerCustom keeps whatever SetMouseIcon gave the widget.
}
void Control::SetMouseIcon(const QCursor& cursor) { Need(Widget())->setCursor(cursor); }

void Control::CallByName(std::string_view) { throw RuntimeError(kErrNoSuchMember); }

void Control::LetByName(std::string_view property, double value) {
  if (property == "Visible") SetVisible(value != 0);
  else if (property == "Enabled") SetEnabled(value != 0);
  else if (property == "Left") SetLeft(value);
  else if (property == "Top") SetTop(value);
  else if (property == "Width") SetWidth(value);
  else if (property == "Height") SetHeight(value);
  else throw RuntimeError(kErrNoSuchMember);
}

}  // namespace veltrane::vb
