#include "idle/x11_screensaver.h"

#include <poll.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/extensions/sync.h>

#include <cstring>

namespace veltrane::idle {

namespace {

XSyncValue ValueOf(std::int64_t v) {
  XSyncValue value;
  XSyncIntsToValue(&value, static_cast<unsigned int>(v & 0xffffffff), static_cast<int>(v >> 32));
  return value;
}

std::int64_t FromValue(const XSyncValue& v) {
  return (static_cast<std::int64_t>(XSyncValueHigh32(v)) << 32) | XSyncValueLow32(v);
}

}  // namespace

std::unique_ptr<X11ScreenSaver> X11ScreenSaver::Connect(std::chrono::milliseconds timeout) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return nullptr;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  unsigned long counter = 0;
  if (XSyncQueryExtension(d, &eventBase, &errorBase) && XSyncInitialize(d, &major, &minor)) {
    int n = 0;
    XSyncSystemCounter* counters = XSyncListSystemCounters(d, &n);
    for (int i = 0; i < n; ++i)
      if (std::strcmp(counters[i].name, "IDLETIME") == 0) counter = counters[i].counter;
    if (counters != nullptr) XSyncFreeSystemCounterList(counters);
  }
  if (counter == 0) {
    XCloseDisplay(d);
    return nullptr;
  }
  return std::unique_ptr<X11ScreenSaver>(new X11ScreenSaver(d, counter, eventBase, timeout));
}

X11ScreenSaver::X11ScreenSaver(Display* display, unsigned long counter, int syncEventBase,
                               std::chrono::milliseconds timeout)
    : display_(display), counter_(counter), syncEventBase_(syncEventBase), timeout_(timeout) {}

X11ScreenSaver::~X11ScreenSaver() {
  if (idleAlarm_ != 0) XSyncDestroyAlarm(display_, idleAlarm_);
  if (activeAlarm_ != 0) XSyncDestroyAlarm(display_, activeAlarm_);
  XCloseDisplay(display_);
}

std::int64_t X11ScreenSaver::Idletime() {
  XSyncValue value;
  return XSyncQueryCounter(display_, counter_, &value) ? FromValue(value) : 0;
}

void X11ScreenSaver::Arm(std::int64_t at, std::int64_t below) {
  idleAt_ = at;
  activeBelow_ = below;
  XSyncAlarmAttributes a{};
  a.trigger.counter = counter_;
  a.trigger.value_type = XSyncAbsolute;
  a.trigger.wait_value = ValueOf(at);
  a.trigger.test_type = XSyncPositiveTransition;
  a.delta = ValueOf(0);  // fires once and stays inactive until armed again
  a.events = True;
  const unsigned long mask = XSyncCACounter | XSyncCAValueType | XSyncCAValue | XSyncCATestType | XSyncCADelta |
                             XSyncCAEvents;
  if (idleAlarm_ == 0)
    idleAlarm_ = XSyncCreateAlarm(display_, mask, &a);
  else
    XSyncChangeAlarm(display_, idleAlarm_, mask, &a);

  if (below <= 0) {
    if (activeAlarm_ != 0) XSyncDestroyAlarm(display_, activeAlarm_);
    activeAlarm_ = 0;
    return;
  }
  a.trigger.wait_value = ValueOf(below);
  a.trigger.test_type = XSyncNegativeTransition;
  if (activeAlarm_ == 0)
    activeAlarm_ = XSyncCreateAlarm(display_, mask, &a);
  else
    XSyncChangeAlarm(display_, activeAlarm_, mask, &a);
}

bool X11ScreenSaver::Start(const Listener& listener) {
  listener_ = listener;
  Arm(timeout_.count(), 0);
  XFlush(display_);
  return true;
}

int X11ScreenSaver::Fd() const { return ConnectionNumber(display_); }

short X11ScreenSaver::PrepareWait(int& timeoutMs) {
  timeoutMs = -1;
  XFlush(display_);
  return POLLIN;
}

bool X11ScreenSaver::Dispatch() {
  // A lost server ends the program in Xlib's I/O error handler, which the
  // launcher sets.
  while (XPending(display_) > 0) {
    XEvent e;
    XNextEvent(display_, &e);
    if (e.type != syncEventBase_ + XSyncAlarmNotify) continue;
    const auto& n = reinterpret_cast<const XSyncAlarmNotifyEvent&>(e);
    const std::int64_t value = FromValue(n.counter_value);
    if (n.alarm == idleAlarm_ && value >= idleAt_) {
      // The next input (IDLETIME falling back below where it stands) ends this
      // idle period.
      Arm(idleAt_, idleAt_);
      listener_(Report::Idle);
    } else if (n.alarm == activeAlarm_ && activeAlarm_ != 0 && value < activeBelow_) {
      Arm(timeout_.count(), 0);
      listener_(Report::Active);
    }
  }
  return true;
}

bool X11ScreenSaver::Inhibited() {
  XScreenSaverInfo info{};
  return XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info) && info.state == ScreenSaverDisabled;
}

void X11ScreenSaver::CountAgain() {
  // Without input during the saver's run IDLETIME goes on: count the time-out
  // from where it stands now, and from the next input on as usual.
  const std::int64_t now = Idletime();
  Arm(now + timeout_.count(), now > 1 ? now : 0);
  XFlush(display_);
}

}  // namespace veltrane::idle
