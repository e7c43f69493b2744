// SIGTERM, SIGINT, SIGHUP and SIGQUIT as a readable pipe: the handler only writes a byte,
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

// The saver shell passes the renderer it starts the read end of a pipe, named by
// the environment variable `variable` (which is then removed). If the shell dies
// without writing to it first, the pipe's end of file counts as a stop signal, so
// a renderer does not stay up full screen after its shell was killed.
//
// ClaimShellLifeline takes the variable; call it first thing in main, before the
// program opens a descriptor of its own, so that only an inherited pipe is taken
// (a number naming one of ours later, such as the stop pipe, is ignored). False
// when there is no usable lifeline.
inline constexpr const char* kShellLifelineVariable = "VELTRANE_SHELL_LIFELINE";
bool ClaimShellLifeline(const char* variable = kShellLifelineVariable);
// Starts watching the claimed lifeline. Needs InstallStopSignals first; false
// when none was claimed.
bool WatchShellLifeline();

}  // namespace veltrane::platform
