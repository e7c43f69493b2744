#include "saver/runtime/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "platform/stop_signals.h"
#include "saver/runtime/application.h"
#include "saver/runtime/runtime_error.h"

extern char** environ;

namespace veltrane::vb {

namespace {

constexpr int kChildLifelineFd = 3;

struct Started {
  pid_t pid = -1;
  int lifeline = -1;  // our (write) end of the child's lifeline
  int pidfd = -1;
  bool reaped = false;
};

std::vector<Started>& Programs() {
  static std::vector<Started> programs;
  return programs;
}

std::function<void(pid_t)>& KilledHandler() {
  static std::function<void(pid_t)> handler;
  return handler;
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Collects the child if it has ended; true once it is reaped.
bool TryReap(Started& p, bool block) {
  if (p.reaped) return true;
  int status = 0;
  const pid_t r = waitpid(p.pid, &status, block ? 0 : WNOHANG);
  if (r == 0 || (r < 0 && errno == EINTR)) return false;
  p.reaped = true;
  CloseFd(p.lifeline);
  if (r == p.pid && WIFSIGNALED(status) && KilledHandler()) KilledHandler()(p.pid);
  return true;
}

Started* Find(pid_t pid) {
  for (Started& p : Programs())
    if (p.pid == pid) return &p;
  return nullptr;
}

// Waits for the child in the background: a pidfd becomes readable when the child
// ends; where pidfds are missing, a slow poll does the same.
void ReapWhenDone(pid_t pid) {
  Started* started = Find(pid);
  if (started == nullptr || !QCoreApplication::instance()) return;
  if (started->pidfd >= 0) {
    auto* notifier = new QSocketNotifier(started->pidfd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pid] {
      Started* p = Find(pid);
      if (p != nullptr && !TryReap(*p, false)) return;
      notifier->setEnabled(false);
      notifier->deleteLater();
    });
    return;
  }
  auto* poll = new QTimer(QCoreApplication::instance());
  QObject::connect(poll, &QTimer::timeout, poll, [poll, pid] {
    Started* p = Find(pid);
    if (p != nullptr && !TryReap(*p, false)) return;
    poll->stop();
    poll->deleteLater();
  });
  poll->start(1000);
}

// Waits until the child has ended or the deadline passed; true when reaped.
bool WaitFor(Started& p, std::chrono::steady_clock::time_point deadline) {
  while (!TryReap(p, false)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (p.pidfd >= 0) {
      pollfd fd{p.pidfd, POLLIN, 0};
      poll(&fd, 1, static_cast<int>(std::min<long>(left.count(), 100)));
    } else {
      usleep(10000);
    }
  }
  return true;
}

}  // namespace

pid_t StartProgram(const std::string& path, const std::vector<std::string>& environment) {
  if (path.empty()) throw RuntimeError(kErrFileNotFound);

  // The lifeline: the child gets the read end as descriptor 3, we keep the write
  // end to ourselves (close-on-exec, so no other program holds it open).
  int lifeline[2] = {-1, -1};
  const bool haveLifeline = pipe2(lifeline, O_CLOEXEC) == 0;
  std::vector<std::string> env = environment;
  std::erase_if(env, [](const std::string& e) {
    return e.rfind(std::string(platform::kShellLifelineVariable) + "=", 0) == 0;
  });
  if (haveLifeline) env.push_back(std::string(platform::kShellLifelineVariable) + "=" + std::to_string(kChildLifelineFd));
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};

  // The child starts with default signal handling and nothing blocked, whatever
  // the shell has set up for itself.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t all, none;
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The child gets 0-2, its lifeline and nothing else: descriptors the shell
  // inherited from its own parent without close-on-exec are not passed on.
  if (haveLifeline) posix_spawn_file_actions_adddup2(&actions, lifeline[0], kChildLifelineFd);
  posix_spawn_file_actions_addclosefrom_np(&actions, haveLifeline ? kChildLifelineFd + 1 : kChildLifelineFd);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (haveLifeline) close(lifeline[0]);
  if (rc != 0) {
    if (haveLifeline) close(lifeline[1]);
    throw RuntimeError(rc == ENOENT || rc == ENOTDIR ? kErrFileNotFound : kErrPathFileAccess);
  }
  Started started;
  started.pid = pid;
  started.lifeline = haveLifeline ? lifeline[1] : -1;
  started.pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (started.pidfd >= 0) fcntl(started.pidfd, F_SETFD, FD_CLOEXEC);
  Programs().push_back(started);
  ReapWhenDone(pid);
  return pid;
}

pid_t StartProgram(const std::string& path, int windowStyle) {
  (void)windowStyle;
  if (Application* app = Application::Instance()) return StartProgram(path, app->StartEnvironment());
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  return StartProgram(path, env);
}

void OnProgramKilled(std::function<void(pid_t)> handler) { KilledHandler() = std::move(handler); }

void EndStartedPrograms(bool stop, int waitMilliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
  for (Started& p : Programs()) {
    if (TryReap(p, false)) continue;
    if (!stop) {
      // Let it run on: a word on the lifeline before we close it.
      struct sigaction ignore {}, previous {};
      ignore.sa_handler = SIG_IGN;
      sigaction(SIGPIPE, &ignore, &previous);
      const unsigned char release = 'R';
      [[maybe_unused]] const ssize_t n = write(p.lifeline, &release, 1);
      sigaction(SIGPIPE, &previous, nullptr);
      continue;
    }
    kill(p.pid, SIGTERM);
  }
  if (!stop) return;
  for (Started& p : Programs()) {
    if (WaitFor(p, deadline)) continue;
    // It did not end when asked: it cannot clean up after itself any more.
    kill(p.pid, SIGKILL);
    WaitFor(p, std::chrono::steady_clock::now() + std::chrono::seconds(1));
  }
}

}  // namespace veltrane::vb
