// A guard process for the full-screen run. X keeps a display mode after the
// client that set it dies, so a renderer killed outright (SIGKILL, a crash)
// would leave the screen switched until something else looks at the record. The
// guard is forked before the program opens its X connection and waits, blocked,
// on a socket to it: no X connection, no threads, no other descriptors. When the
// program releases it, it ends without touching X; when the socket closes
// without that word (the program died), it waits until the program is fully
// gone, connects and gives back the abandoned record (RestoreAbandonedDisplayMode,
// which leaves a record that a live renderer still holds), then ends.
//
// The guard ignores SIGINT, SIGTERM, SIGHUP and SIGQUIT, so a Ctrl-C or a signal
// to the whole process group cannot end it before the program has restored; it
// leaves with the program, since the socket's end of file always ends it.
#pragma once

#include <sys/types.h>

namespace veltrane::platform {

class DisplayGuard {
public:
    // Forks the guard; call while the process is still single-threaded and
    // before it connects to X. A guard that could not be started guards nothing.
    static DisplayGuard Start();

    DisplayGuard() = default;
    DisplayGuard(DisplayGuard&& other) noexcept;
    DisplayGuard& operator=(DisplayGuard&& other) noexcept;
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;
    // Releases the guard.
    ~DisplayGuard();

    // The program has given the display back: the guard ends without connecting,
    // and is reaped here (waited for a moment, never for ever).
    void Release();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int socket_ = -1;  // our end; its end of file without a word wakes the guard
};

}  // namespace veltrane::platform
