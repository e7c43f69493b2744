#include "saver/runtime/window_system.h"

#include <cstdlib>

#include <QGuiApplication>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

#include "saver/runtime/x_display.h"

#include <X11/Xatom.h>

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

bool GetFrameExtents(unsigned long window, Rect& extents) {
  ::Display* d = XDisplay();
  if (!d || window == 0) return false;
  ::Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(d, static_cast<::Window>(window), XInternAtom(d, "_NET_FRAME_EXTENTS", False), 0, 4, False,
                         XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      data && format == 32 && count == 4) {
    const auto* v = reinterpret_cast<const long*>(data);  // left, right, top, bottom
    extents = {static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3])};
    found = true;
  }
  if (data) XFree(data);
  return found;
}

bool GetOuterWindowRect(unsigned long window, Rect& rect) {
  Rect inner;
  if (!GetWindowRect(window, inner)) return false;
  Rect frame;
  GetFrameExtents(window, frame);
  rect = {inner.left - frame.left, inner.top - frame.top, inner.right + frame.right, inner.bottom + frame.bottom};
  return true;
}

}  // namespace veltrane::vb
