#include "saver/shell_windows.h"

#include <cstdlib>

#include "platform/cursor.h"
#include "platform/window_lookup.h"
#include "saver/runtime/runtime_error.h"
#include "saver/runtime/x_display.h"

namespace veltrane {

namespace {
::Display* NeedDisplay() {
  ::Display* d = vb::XDisplay();
  if (!d) throw vb::RuntimeError(vb::kErrInvalidProcedureCall);
  return d;
}
}  // namespace

unsigned long FindWindowByTitle(const std::string& title) {
  return platform::FindTopLevelWindow(NeedDisplay(), title);
}

void StayOffSessionBus() {
  // An address of no known transport: every connection attempt fails at once.
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

int ShowPointer(bool show) {
  ::Display* d = NeedDisplay();
  int count = platform::ShowCursor(d, show);
  XFlush(d);
  return count;
}

}  // namespace veltrane
