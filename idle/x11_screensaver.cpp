#include "idle/x11_screensaver.h"

#include <poll.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace veltrane::idle {

namespace {

// Another client may own the saver's window already (BadAccess): then the server
// blanks as it would anyway, which is no reason to end.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::unique_ptr<X11ScreenSaver> X11ScreenSaver::Connect(std::chrono::milliseconds timeout) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return nullptr;
  int eventBase = 0, errorBase = 0;
  if (!XScreenSaverQueryExtension(d, &eventBase, &errorBase)) {
    XCloseDisplay(d);
    return nullptr;
  }
  return std::unique_ptr<X11ScreenSaver>(new X11ScreenSaver(d, eventBase, timeout));
}

X11ScreenSaver::X11ScreenSaver(Display* display, int eventBase, std::chrono::milliseconds timeout)
    : display_(display), eventBase_(eventBase), timeout_(timeout) {}

X11ScreenSaver::~X11ScreenSaver() {
  if (started_) {
    Settings now;
    XGetScreenSaver(display_, &now.timeout, &now.interval, &now.preferBlanking, &now.allowExposures);
    if (now.timeout == static_cast<int>(timeout_.count() / 1000))
      XSetScreenSaver(display_, previous_.timeout, previous_.interval, previous_.preferBlanking,
                      previous_.allowExposures);
    // A saver the server still shows would blank the screen once our window
    // is taken from it.
    XScreenSaverInfo info{};
    if (XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info) && info.state == ScreenSaverOn)
      XForceScreenSaver(display_, ScreenSaverReset);
    XScreenSaverUnsetAttributes(display_, DefaultRootWindow(display_));
  }
  XCloseDisplay(display_);
}

bool X11ScreenSaver::Start(const Listener& listener) {
  const long long seconds = timeout_.count() / 1000;
  if (seconds > kX11MaxTimeoutSeconds) return false;
  listener_ = listener;
  const ::Window root = DefaultRootWindow(display_);
  // An input-only pixel stands in for the server's blanking: nothing shows and
  // no input is caught, the saver itself follows at once.
  XSetWindowAttributes attributes{};
  XSync(display_, False);
  const auto previousHandler = XSetErrorHandler(&IgnoreError);
  XScreenSaverSetAttributes(display_, root, 0, 0, 1, 1, 0, 0, InputOnly, nullptr, 0, &attributes);
  XSync(display_, False);
  XSetErrorHandler(previousHandler);
  XScreenSaverSelectInput(display_, root, ScreenSaverNotifyMask);
  XGetScreenSaver(display_, &previous_.timeout, &previous_.interval, &previous_.preferBlanking,
                  &previous_.allowExposures);
  XSetScreenSaver(display_, static_cast<int>(seconds), previous_.interval, previous_.preferBlanking,
                  previous_.allowExposures);
  XSync(display_, False);
  started_ = true;
  return true;
}

int X11ScreenSaver::Fd() const { return ConnectionNumber(display_); }

short X11ScreenSaver::PrepareWait(int& timeoutMs) {
  XFlush(display_);
  // Events a reply brought along already lie in Xlib's queue, not on the socket.
  timeoutMs = XEventsQueued(display_, QueuedAlready) > 0 ? 0 : -1;
  return POLLIN;
}

bool X11ScreenSaver::Dispatch() {
  // A lost server ends the program in Xlib's I/O error handler, which the
  // launcher sets.
  while (XPending(display_) > 0) {
    XEvent e;
    XNextEvent(display_, &e);
    if (e.type != eventBase_ + ScreenSaverNotify) continue;
    // On comes from the server's timer or a client forcing it (`xset s
    // activate`, `xdg-screensaver activate`); Off from input or a reset.
    const auto& n = reinterpret_cast<const XScreenSaverNotifyEvent&>(e);
    if (n.state == ScreenSaverOn)
      listener_(Report::Idle);
    else if (n.state == ScreenSaverOff)
      listener_(Report::Active);
  }
  return true;
}

void X11ScreenSaver::CountAgain() {
  // A saver that ended without input leaves the server's saver on: turn it off
  // and count the time-out from now, as input would.
  XResetScreenSaver(display_);
  XFlush(display_);
}

}  // namespace veltrane::idle
