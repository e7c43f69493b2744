// X11's idle clock: the server's own screen saver, followed as xss-lock follows
// it. The server alone knows every reason to hold it off: a client suspending it
// (XScreenSaverSuspend, as browsers and video players do), one resetting it
// (XResetScreenSaver, `xset s reset`) and a switched-off saver (`xset s off`, as
// xdg-screensaver holds it). So while the launcher runs, the server's time-out
// is the launcher's; the launcher gives the previous one back when it ends.
// The server's saver gets an invisible window of the launcher's in place of
// blanking, so its turning on shows nothing before the saver itself.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "idle/idle_source.h"

typedef struct _XDisplay Display;

namespace veltrane::idle {

// The X protocol carries the screen-saver time-out as a 16-bit count of seconds.
inline constexpr long long kX11MaxTimeoutSeconds = 32767;

class X11ScreenSaver : public IdleSource {
 public:
  // Null when no X display can be reached or it has no screen-saver extension.
  static std::unique_ptr<X11ScreenSaver> Connect(std::chrono::milliseconds timeout);
  // Gives the server its previous time-out back, unless someone has set another
  // since, and turns its screen saver off if it is on.
  ~X11ScreenSaver() override;

  std::string Name() const override { return "the X server's screen saver"; }
  // False when the time-out is past what the server can hold.
  bool Start(const Listener& listener) override;
  int Fd() const override;
  short PrepareWait(int& timeoutMs) override;
  bool Dispatch() override;
  // The server's own timer already holds off for every inhibitor it knows.
  bool Inhibited() override { return false; }
  void CountAgain() override;

 private:
  X11ScreenSaver(Display* display, int eventBase, std::chrono::milliseconds timeout);

  struct Settings {
    int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
  };

  Display* display_;
  int eventBase_;
  std::chrono::milliseconds timeout_;
  Settings previous_;
  bool started_ = false;
  Listener listener_;
};

}  // namespace veltrane::idle
