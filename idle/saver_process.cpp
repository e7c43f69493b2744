#include "idle/saver_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace veltrane::idle {

namespace {

int PidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace

SaverProcess::~SaverProcess() {
  if (pidfd_ >= 0) close(pidfd_);
}

bool SaverProcess::Start() {
  if (running()) return true;
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, stops;
  sigemptyset(&none);
  sigemptyset(&stops);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&stops, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &stops);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char* argv[] = {const_cast<char*>(path_.c_str()), const_cast<char*>("/s"), nullptr};
  pid_t pid = -1;
  const int error = posix_spawn(&pid, path_.c_str(), nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  if (error != 0) {
    errno = error;
    return false;
  }
  pid_ = pid;
  pidfd_ = PidfdOpen(pid);
  if (pidfd_ >= 0) fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
  return true;
}

bool SaverProcess::Reap() {
  if (!running()) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  Forget();
  return true;
}

void SaverProcess::Forget() {
  if (pidfd_ >= 0) close(pidfd_);
  pidfd_ = -1;
  pid_ = -1;
}

void SaverProcess::Stop(std::chrono::milliseconds limit) {
  if (!running()) return;
  // The shell ends the renderer it started itself.
  kill(pid_, SIGTERM);
  pollfd p{pidfd_, POLLIN, 0};
  if (pidfd_ < 0 || poll(&p, 1, static_cast<int>(limit.count())) <= 0) kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  Forget();
}

}  // namespace veltrane::idle
