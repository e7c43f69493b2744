// SIGTERM, SIGINT and SIGHUP as a readable pipe: the handler only writes a byte,
// and the message loop, which polls the pipe beside the X connection, turns it
// into a close request so the window, display mode and pointer are put back.
#pragma once

namespace veltrane::platform {

// Installs the handlers (once per process) and returns the pipe's read end,
// non-blocking; -1 if no pipe could be made, in which case the signals keep
// their default action.
int InstallStopSignals();

// Reads everything waiting on the pipe; true if at least one signal came.
bool TakeStopSignals(int fd);

}  // namespace veltrane::platform
