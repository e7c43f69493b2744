#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <initializer_list>

namespace veltrane::platform {
namespace {

int g_writeFd = -1;
int g_readFd = -1;
volatile sig_atomic_t g_lifelineFd = -1;
int g_claimedLifelineFd = -1;

void OnStopSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a pending stop; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = write(g_writeFd, &byte, 1);
    errno = savedErrno;
}

// The shell's end of the lifeline closed (end of file) without a word first:
// the shell was killed, so we stop as if signalled. A byte means the shell ends
// on purpose and lets us run on.
void OnLifeline(int) {
    const int savedErrno = errno;
    const int fd = g_lifelineFd;
    if (fd >= 0) {
        unsigned char byte = 0;
        const ssize_t n = read(fd, &byte, 1);
        if (n == 0 || n == 1) {
            g_lifelineFd = -1;
            close(fd);
        }
        if (n == 0 && g_writeFd >= 0) {
            const unsigned char stop = SIGHUP;
            [[maybe_unused]] const ssize_t written = write(g_writeFd, &stop, 1);
        }
    }
    errno = savedErrno;
}

}  // namespace

bool ClaimShellLifeline(const char* variable) {
    const char* text = std::getenv(variable);
    if (text == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    const long fd = std::strtol(text, &end, 10);
    const bool number = errno == 0 && end != text && *end == '\0' && fd > 2 && fd < 1 << 20;
    unsetenv(variable);  // for us alone, not for anything we might start
    struct stat info {};
    if (!number || fstat(static_cast<int>(fd), &info) != 0 || !S_ISFIFO(info.st_mode)) return false;
    // Nothing we start later inherits it.
    fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    g_claimedLifelineFd = static_cast<int>(fd);
    return true;
}

bool WatchShellLifeline() {
    const int fd = g_claimedLifelineFd;
    if (fd < 0 || g_writeFd < 0) return false;
    g_claimedLifelineFd = -1;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK | O_ASYNC);
    fcntl(fd, F_SETOWN, getpid());
    struct sigaction action {};
    action.sa_handler = OnLifeline;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGIO, &action, nullptr);
    g_lifelineFd = fd;
    // The shell may have ended before we were watching.
    raise(SIGIO);
    return true;
}

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
