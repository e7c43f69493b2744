#include "saver/shell_windows.h"

#include "platform/x11/cursor.h"
#include "platform/x11/display_mode.h"
#include "platform/x11/window_lookup.h"
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

int ShowPointer(bool show) {
  ::Display* d = NeedDisplay();
  int count = platform::ShowCursor(d, show);
  XFlush(d);
  return count;
}

bool ClaimSaverInstance() {
  ::Display* d = NeedDisplay();
  const ::Atom selection = XInternAtom(d, "_VELTRANE_SAVER", False);
  static ::Window token = 0;
  if (token == 0) {
    token = XCreateWindow(d, DefaultRootWindow(d), -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  }
  // Look and take in one step: nobody can take it between the two.
  XGrabServer(d);
  const ::Window owner = XGetSelectionOwner(d, selection);
  if (owner == None) XSetSelectionOwner(d, selection, token, CurrentTime);
  XUngrabServer(d);
  XSync(d, False);
  return owner == None && XGetSelectionOwner(d, selection) == token;
}

void GiveBackAbandonedDisplayMode() {
  if (::Display* d = vb::XDisplay()) platform::RestoreAbandonedDisplayMode(d);
}

}  // namespace veltrane
