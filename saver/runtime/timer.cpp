#include "saver/runtime/timer.h"

#include <QTimer>

#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

Timer::Timer(Container& container, std::string name)
    : Control(container, std::move(name)), timer_(std::make_unique<QTimer>()) {
  // A tick never comes before its interval has passed (a coarse timer may come
  // up to 5 % early).
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] {
    if (OnTimer) RunEventHandler(OnTimer);
  });
}

Timer::~Timer() = default;

void Timer::SetInterval(int milliseconds) {
  if (milliseconds < 0 || milliseconds > 65535) throw RuntimeError(kErrInvalidProcedureCall);
  interval_ = milliseconds;
  Restart();
}

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Restart();
}

void Timer::Restart() {
  timer_->stop();
  if (enabled_ && interval_ > 0) timer_->start(interval_);
}

void Timer::LetByName(std::string_view property, double value) {
  if (property == "Enabled") SetEnabled(value != 0);
  else if (property == "Interval") SetInterval(static_cast<int>(value));
  else throw RuntimeError(kErrNoSuchMember);
}

}  // namespace veltrane::vb
