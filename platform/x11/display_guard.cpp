#include "platform/x11/display_guard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include <X11/Xlib.h>

#include "platform/x11/display_mode.h"

namespace veltrane::platform {
namespace {

constexpr char kReleased = 'R';
// How long the guard waits for the dead program's exit to complete (its X
// connection closed), and how long it may take to give the display back.
constexpr int kExitWaitMs = 2000;
constexpr unsigned kRestoreSeconds = 10;

int IgnoreXError(::Display*, XErrorEvent*) { return 0; }
int ConnectionLost(::Display*) { _exit(0); }

// Blocks until the program releases us (true) or dies (false): the socket's end
// of file, or the program's pidfd turning readable, whichever comes first.
bool WaitForProgram(int socket, int pidfd) {
    pollfd fds[2] = {{socket, POLLIN, 0}, {pidfd, POLLIN, 0}};
    const nfds_t count = pidfd >= 0 ? 2 : 1;
    for (;;) {
        if (poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        // Once the program is gone its end is closed, so this read cannot block.
        char word = 0;
        const ssize_t n = read(socket, &word, 1);
        if (n == 1) return word == kReleased;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

[[noreturn]] void RunGuard(int socket, pid_t program) {
    prctl(PR_SET_NAME, "veltrane-guard");
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaction(signalNumber, &ignore, nullptr);

    // Nothing of the program's but our socket: no lifeline, no terminal or host
    // pipe kept open on the program's behalf (0-2 go to /dev/null).
    const int fd = fcntl(socket, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) _exit(0);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int standard = 0; standard < 3; ++standard) {
        if (null >= 0) dup2(null, standard);
        else close(standard);
    }
    if (fd > 3) close_range(3, static_cast<unsigned>(fd) - 1, 0);
    close_range(static_cast<unsigned>(fd) + 1, ~0U, 0);

    const int pidfd = getppid() == program ? static_cast<int>(syscall(SYS_pidfd_open, program, 0)) : -1;
    if (WaitForProgram(fd, pidfd)) _exit(0);

    // The program died without giving the display back. Its end of the socket
    // closes before its X connection may; once its exit is complete the server
    // has dropped its holder window, so the record shows as abandoned.
    if (pidfd >= 0) {
        pollfd exited{pidfd, POLLIN, 0};
        while (poll(&exited, 1, kExitWaitMs) < 0 && errno == EINTR) {
        }
    }
    alarm(kRestoreSeconds);  // a server that does not answer does not keep us
    if (::Display* display = XOpenDisplay(nullptr)) {
        XSetErrorHandler(IgnoreXError);
        XSetIOErrorHandler(ConnectionLost);
        RestoreAbandonedDisplayMode(display);
        XCloseDisplay(display);
    }
    _exit(0);
}

}  // namespace

DisplayGuard DisplayGuard::Start() {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return {};
    const pid_t program = getpid();
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = fork();
    if (pid == 0) RunGuard(ends[1], program);
    close(ends[1]);
    DisplayGuard guard;
    if (pid < 0) {
        close(ends[0]);
        return guard;
    }
    guard.pid_ = pid;
    guard.socket_ = ends[0];
    return guard;
}

DisplayGuard::DisplayGuard(DisplayGuard&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), socket_(std::exchange(other.socket_, -1)) {}

DisplayGuard& DisplayGuard::operator=(DisplayGuard&& other) noexcept {
    if (this != &other) {
        Release();
        pid_ = std::exchange(other.pid_, -1);
        socket_ = std::exchange(other.socket_, -1);
    }
    return *this;
}

DisplayGuard::~DisplayGuard() { Release(); }

void DisplayGuard::Release() {
    if (socket_ < 0) return;
    [[maybe_unused]] const ssize_t sent = send(socket_, &kReleased, 1, MSG_NOSIGNAL);
    close(socket_);
    socket_ = -1;
    // It ends as soon as it reads the word; one that is stopped or slow is left
    // to end on its own (it can only end) rather than hold up our exit.
    for (int i = 0; i < 1000; ++i) {
        const pid_t r = waitpid(pid_, nullptr, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) break;
        usleep(1000);
    }
    pid_ = -1;
}

}  // namespace veltrane::platform
