#include "saver/runtime/window_watch.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "saver/runtime/runtime_error.h"
#include "saver/runtime/x_display.h"

namespace veltrane::vb {

namespace {

struct Watch {
  ::Window window = 0;
  std::function<void()> gone;
  bool fired = false;
};

Watch& TheWatch() {
  static Watch w;
  return w;
}

bool Exists(::Display* d, ::Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(d, w, &a) != 0;
}

void Fire() {
  Watch& w = TheWatch();
  if (w.fired || !w.gone) return;
  w.fired = true;
  RunEventHandler(w.gone);
}

// Reads what the server sent on the runtime's connection and looks for the end
// of the watched window.
void Drain(::Display* d) {
  while (XPending(d) > 0) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == DestroyNotify && e.xdestroywindow.window == TheWatch().window) Fire();
  }
}

}  // namespace

bool WatchWindowGone(unsigned long window, std::function<void()> gone) {
  ::Display* d = XDisplay();
  if (!d || !window || !QCoreApplication::instance()) return false;
  Watch& w = TheWatch();
  w.window = static_cast<::Window>(window);
  w.gone = std::move(gone);
  w.fired = false;
  XSelectInput(d, w.window, StructureNotifyMask);
  XSync(d, False);
  static QSocketNotifier* notifier = nullptr;
  if (!notifier) {
    notifier = new QSocketNotifier(ConnectionNumber(d), QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [d] { Drain(d); });
  }
  // Events that other calls on the connection read into Xlib's queue never wake
  // the notifier; a slow check catches those too.
  static QTimer* check = nullptr;
  if (!check) {
    check = new QTimer(QCoreApplication::instance());
    QObject::connect(check, &QTimer::timeout, [d] {
      Drain(d);
      if (!Exists(d, TheWatch().window)) Fire();
    });
    check->start(1000);
  }
  // The window may have gone before the selection took effect.
  if (!Exists(d, w.window)) {
    QTimer::singleShot(0, [] { Fire(); });
    return true;
  }
  Drain(d);
  return true;
}

}  // namespace veltrane::vb
