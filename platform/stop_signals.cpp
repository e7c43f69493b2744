#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace veltrane::platform {
namespace {

int g_writeFd = -1;
int g_readFd = -1;

void OnStopSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a pending stop; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = write(g_writeFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

int InstallStopSignals() {
    if (g_readFd >= 0) return g_readFd;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    g_readFd = fds[0];
    g_writeFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaction(signalNumber, &action, nullptr);
    return g_readFd;
}

bool TakeStopSignals(int fd) {
    if (fd < 0) return false;
    bool any = false;
    unsigned char buffer[64];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return any;
    }
}

}  // namespace veltrane::platform
