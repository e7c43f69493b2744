// The pointer's display count, as ShowCursor keeps it: the pointer is hidden while
// the count is below zero. Hiding uses XFixes, which the server undoes by itself
// when the connection closes, so a killed program never leaves the pointer hidden.
#pragma once

#include <X11/Xlib.h>

namespace veltrane::platform {

// Raises (show) or lowers (hide) the count by one and returns the new count. With a
// null display only the count moves; the next call with a display applies it.
int ShowCursor(::Display* display, bool show);

}  // namespace veltrane::platform
