// The timer control: while Enabled and Interval > 0 it calls OnTimer every
// Interval milliseconds on the user-interface thread.
#pragma once

#include <functional>
#include <memory>

#include "saver/runtime/control.h"

class QTimer;

namespace veltrane::vb {

class Timer : public Control {
 public:
  Timer(Container& container, std::string name);
  ~Timer() override;

  int Interval() const { return interval_; }
  // Setting the interval starts the count afresh; 0 stops the ticks.
  void SetInterval(int milliseconds);
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;

  // The tick handler (Timer3_Timer, TmrMouse_Timer, ...).
  std::function<void()> OnTimer;

  void LetByName(std::string_view property, double value) override;

 private:
  void Restart();
  std::unique_ptr<QTimer> timer_;
  int interval_ = 0;
  bool enabled_ = true;
};

}  // namespace veltrane::vb
