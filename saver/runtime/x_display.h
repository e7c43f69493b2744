// The runtime's own Xlib connection, used for the window look-ups, the pointer
// count and other window-system calls that Qt does not offer. Being a connection of
// its own, the pointer hiding it makes lasts exactly as long as the process.
#pragma once

#include <X11/Xlib.h>

namespace veltrane::vb {

// Opened on first use from $DISPLAY; nullptr when no server can be reached.
::Display* XDisplay();
// Sends everything queued on the connection and waits until the server has handled it.
void SyncXDisplay();

}  // namespace veltrane::vb
