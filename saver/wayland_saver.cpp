#include "saver/wayland_saver.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/session_kind.h"
#include "saver/command_line.h"
#include "saver/runtime/application.h"
#include "saver/runtime/message_box.h"
#include "saver/runtime/process.h"
#include "saver/runtime/runtime_error.h"
#include "saver/saver_main.h"
// Last: Xlib defines True and False as macros.
#include "saver/runtime/x_display.h"

namespace veltrane {

namespace {

constexpr const char* kLockName = "/veltrane-saver.lock";

// An exclusive flock on the lock file: the kernel drops it when the process ends,
// however it ends. The descriptor is close-on-exec, so the renderer, which may
// outlive a shell killed outright, never holds the claim. -1 when another shell
// holds it, -2 when the file cannot be opened.
int ClaimSaverLock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -2;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    close(fd);
    return errno == EWOULDBLOCK ? -1 : -2;
  }
  return fd;
}

// The message box where an X server is reachable (Xwayland), else one line on stderr.
void TellRendererMissing(int argc, char** argv) {
  if (vb::XDisplay() != nullptr) {
    vb::Application app(argc, argv);
    vb::ResumeNext([] { vb::MsgBox(Lumora_B::kRendererMissing, vb::kOkOnly); });
    return;
  }
  std::fprintf(stderr, "Veltrane.scr: %s\n", Lumora_B::kRendererMissing);
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

// Waits until the renderer ends (its exit code) or a stop signal comes (the
// renderer is stopped and waited for, then 0). The signals are blocked before the
// renderer starts, so none is lost in between; the renderer starts with none blocked.
int Supervise(pid_t renderer, const sigset_t& signals) {
  for (;;) {
    int status = 0;
    const pid_t reaped = waitpid(renderer, &status, WNOHANG);
    if (reaped == renderer) return ExitCodeOf(status);
    if (reaped < 0 && errno != EINTR) return 1;
    siginfo_t info{};
    const int signo = sigwaitinfo(&signals, &info);
    if (signo == SIGTERM || signo == SIGHUP || signo == SIGINT) {
      vb::EndStartedPrograms(true);
      return 0;
    }
  }
}

}  // namespace

std::optional<int> RunWaylandSaver(int argc, char** argv) {
  const std::string arguments = vb::JoinArguments(argc, argv);
  const bool saver = ModeLetter(arguments) == "S" || arguments.empty();
  const bool dialog = ModeLetter(arguments) == "C";
  if (!saver && !dialog) return std::nullopt;
  std::string error;
  const platform::SessionKind kind = platform::DetectSessionKind(error);
  if (!error.empty()) {
    std::fprintf(stderr, "Veltrane.scr: %s\n", error.c_str());
    return 1;
  }
  if (kind != platform::SessionKind::Wayland) return std::nullopt;

  // A second saver or dialog ends silently, before the renderer check, as with a
  // cover or a dialog on screen. The dialog's X claim only sees other X clients,
  // so in a Wayland session the dialog holds this lock too, for its whole life.
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  if (runtimeDir == nullptr || runtimeDir[0] != '/') {
    std::fprintf(stderr, "Veltrane.scr: XDG_RUNTIME_DIR must name the session's runtime folder\n");
    return 1;
  }
  const std::string lockPath = std::string(runtimeDir) + kLockName;
  const int claim = ClaimSaverLock(lockPath);
  if (claim == -1) return 0;
  if (claim < 0) {
    std::fprintf(stderr, "Veltrane.scr: cannot open %s\n", lockPath.c_str());
    return 1;
  }
  if (dialog) return std::nullopt;  // the X11 shell shows it through Xwayland, holding the lock

  const std::string rendererPath = vb::AppPath() + Lumora_B::kRendererFile;
  if (!Lumora_B::FileExists(rendererPath)) {
    // A saver that is not going to run does not keep others from running.
    close(claim);
    TellRendererMissing(argc, argv);
    return 0;
  }

  sigset_t signals;
  sigemptyset(&signals);
  for (int signo : {SIGTERM, SIGHUP, SIGINT, SIGCHLD}) sigaddset(&signals, signo);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  // An ignored SIGCHLD, inherited from the idle daemon, would reap the renderer
  // behind our back.
  signal(SIGCHLD, SIG_DFL);
  pid_t renderer = -1;
  try {
    renderer = vb::StartProgram(rendererPath, vb::kWindowNormalFocus);
  } catch (const vb::RuntimeError&) {
    std::fprintf(stderr, "Veltrane.scr: cannot start %s\n", rendererPath.c_str());
    return 1;
  }
  return Supervise(renderer, signals);
}

}  // namespace veltrane
