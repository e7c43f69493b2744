#include "saver/runtime/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "saver/runtime/application.h"
#include "saver/runtime/runtime_error.h"

extern char** environ;

namespace veltrane::vb {

namespace {

// Waits for the child in the background: a pidfd becomes readable when the child
// ends; where pidfds are missing, a slow poll does the same.
void ReapWhenDone(pid_t pid) {
  int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0 && QCoreApplication::instance()) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pid, fd] {
      if (waitpid(pid, nullptr, WNOHANG) == 0) return;
      notifier->setEnabled(false);
      notifier->deleteLater();
      close(fd);
    });
    return;
  }
  if (fd >= 0) close(fd);
  if (!QCoreApplication::instance()) return;
  auto* poll = new QTimer(QCoreApplication::instance());
  QObject::connect(poll, &QTimer::timeout, poll, [poll, pid] {
    if (waitpid(pid, nullptr, WNOHANG) == 0) return;
    poll->stop();
    poll->deleteLater();
  });
  poll->start(1000);
}

}  // namespace

pid_t StartProgram(const std::string& path, const std::vector<std::string>& environment) {
  if (path.empty()) throw RuntimeError(kErrFileNotFound);
  std::vector<char*> envp;
  envp.reserve(environment.size() + 1);
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
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
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), nullptr, &attr, argv, envp.data());
  posix_spawnattr_destroy(&attr);
  if (rc != 0) throw RuntimeError(rc == ENOENT || rc == ENOTDIR ? kErrFileNotFound : kErrPathFileAccess);
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

}  // namespace veltrane::vb
