#include "saver/runtime/x_display.h"

namespace veltrane::vb {

namespace {
// Windows of other programs come and go while we look at them; a request on a
// vanished window must fail that one call, not end the process (Xlib's default).
int IgnoreXErrors(::Display*, XErrorEvent*) { return 0; }

::Display*& Connection() {
  static ::Display* display = nullptr;
  return display;
}
}  // namespace

::Display* XDisplay() {
  ::Display*& d = Connection();
  if (!d) {
    d = XOpenDisplay(nullptr);
    if (d) XSetErrorHandler(IgnoreXErrors);
  }
  return d;
}

void SyncXDisplay() {
  if (::Display* d = Connection()) XSync(d, False);
}

}  // namespace veltrane::vb
