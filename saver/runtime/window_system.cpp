#include "saver/runtime/window_system.h"

#include <cstdlib>

#include <QGuiApplication>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

#include "saver/runtime/x_display.h"

namespace veltrane::vb {

void FlushWindowSystem() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return;
  xcb_connection_t* c = x11->connection();
  // A round trip: when the reply arrives, every earlier request has been handled.
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

bool GetWindowRect(unsigned long window, Rect& rect) {
  ::Display* d = XDisplay();
  if (!d || window == 0) return false;
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, static_cast<::Window>(window), &a)) return false;
  int x = 0, y = 0;
  ::Window child;
  if (!XTranslateCoordinates(d, static_cast<::Window>(window), DefaultRootWindow(d), 0, 0, &x, &y, &child))
    return false;
  // The inside of the window, without its X border: that is the area a child
  // window can cover.
  rect = {x, y, x + a.width, y + a.height};
  return true;
}

}  // namespace veltrane::vb
