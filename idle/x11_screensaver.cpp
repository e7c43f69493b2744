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

namespace {

// An alarm on `counter` at `value` that fires once and then rests until changed
// again (delta 0).
void SetAlarm(Display* d, unsigned long& alarm, unsigned long counter, std::int64_t value, XSyncTestType test) {
  XSyncAlarmAttributes a{};
  a.trigger.counter = counter;
  a.trigger.value_type = XSyncAbsolute;
  a.trigger.wait_value = ValueOf(value);
  a.trigger.test_type = test;
  a.delta = ValueOf(0);
  a.events = True;
  const unsigned long mask = XSyncCACounter | XSyncCAValueType | XSyncCAValue | XSyncCATestType | XSyncCADelta |
                             XSyncCAEvents;
  if (alarm == 0)
    alarm = XSyncCreateAlarm(d, mask, &a);
  else
    XSyncChangeAlarm(d, alarm, mask, &a);
}

}  // namespace

void X11ScreenSaver::ArmIdle(std::int64_t at) {
  idleAt_ = at;
  SetAlarm(display_, idleAlarm_, counter_, at, XSyncPositiveComparison);
}

void X11ScreenSaver::ArmActive(std::int64_t below) {
  activeBelow_ = below;
  if (below <= 0) {
    if (activeAlarm_ != 0) XSyncDestroyAlarm(display_, activeAlarm_);
    activeAlarm_ = 0;
    return;
  }
  SetAlarm(display_, activeAlarm_, counter_, below, XSyncNegativeTransition);
}

bool X11ScreenSaver::Start(const Listener& listener) {
  listener_ = listener;
  ArmIdle(timeout_.count());
  XFlush(display_);
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
    if (e.type != syncEventBase_ + XSyncAlarmNotify) continue;
    const auto& n = reinterpret_cast<const XSyncAlarmNotifyEvent&>(e);
    const std::int64_t value = FromValue(n.counter_value);
    if (n.alarm == idleAlarm_ && value >= idleAt_) {
      // The next input (IDLETIME falling back below where it stands) ends this
      // idle period; the idle alarm rests until then.
      ArmActive(idleAt_);
      listener_(Report::Idle);
    } else if (n.alarm == activeAlarm_ && activeAlarm_ != 0 && value < activeBelow_) {
      ArmActive(0);
      ArmIdle(timeout_.count());
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
  ArmIdle(now + timeout_.count());
  ArmActive(now > 1 ? now : 0);
  XFlush(display_);
}

}  // namespace veltrane::idle
