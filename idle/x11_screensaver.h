// X11's idle clock: the server's IDLETIME counter (the SYNC extension), watched
// by alarms at our own time-out, so that the user's screen-saver settings
// (xset s) stay as they are. A client resetting the server's screen saver
// (XResetScreenSaver, `xset s reset`, as video players do) resets IDLETIME and
// so counts as activity.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "idle/idle_source.h"

typedef struct _XDisplay Display;

namespace veltrane::idle {

class X11ScreenSaver : public IdleSource {
 public:
  // Null when no X display can be reached or it has no IDLETIME counter.
  static std::unique_ptr<X11ScreenSaver> Connect(std::chrono::milliseconds timeout);
  ~X11ScreenSaver() override;

  std::string Name() const override { return "the X server's IDLETIME (SYNC extension)"; }
  bool Start(const Listener& listener) override;
  int Fd() const override;
  short PrepareWait(int& timeoutMs) override;
  bool Dispatch() override;
  // True while the server's screen saver is switched off (`xset s off`, which is
  // how xdg-screensaver suspends it on X11 desktops): what keeps xss-lock's
  // locker off keeps this saver off. A suspension (XScreenSaverSuspend) the
  // server keeps to itself: no request reads it back.
  bool Inhibited() override;
  void CountAgain() override;

 private:
  X11ScreenSaver(Display* display, unsigned long counter, int syncEventBase, std::chrono::milliseconds timeout);
  // The idle alarm fires once IDLETIME is at `at` ms or past it (at once when it
  // is already: a session idle longer than the time-out is idle), and then rests.
  void ArmIdle(std::int64_t at);
  // The activity alarm fires when IDLETIME falls back below `below` (an input or
  // a reset); none when `below` is 0.
  void ArmActive(std::int64_t below);
  std::int64_t Idletime();

  Display* display_;
  unsigned long counter_;
  int syncEventBase_;
  std::chrono::milliseconds timeout_;
  unsigned long idleAlarm_ = 0, activeAlarm_ = 0;
  std::int64_t idleAt_ = 0, activeBelow_ = 0;
  Listener listener_;
};

}  // namespace veltrane::idle
