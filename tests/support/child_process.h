// Starting and waiting for programs under test, with timeouts so a hung program
// fails its test instead of hanging the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace veltrane::testing {

// A file's whole text (empty when it cannot be read), and the end of a text, for
// what a failed start says.
std::string ReadFile(const std::string& path);
std::string Tail(const std::string& text, std::size_t n = 800);

struct ExitStatus {
  bool exited = false;    // ended by exit(); else by a signal
  int code = 0;           // exit code (0..255) when exited
  int signal = 0;         // the signal when not exited
};

// Another user to run a program as (a test run as root starts sway and its
// clients as an unprivileged user, since sway refuses to run as root).
struct RunAs {
  uid_t uid = 0;
  gid_t gid = 0;
};

// Starts argv[0] with the given environment additions ("NAME=value"; "NAME=" unsets),
// as `user` when given and in the folder `cwd` when not empty. The output file is
// opened before the user changes, so it may lie where only the test can write.
pid_t StartProcess(const std::vector<std::string>& argv,
                   const std::vector<std::string>& env = {},
                   const std::string& stdoutPath = "",
                   const std::optional<RunAs>& user = std::nullopt,
                   const std::string& cwd = "");

// Waits up to `timeout` for the child; nullopt if it is still running.
std::optional<ExitStatus> WaitProcess(pid_t pid, std::chrono::milliseconds timeout);

// SIGKILLs and reaps a child that is still running (safe on an already reaped pid).
void KillProcess(pid_t pid);

// Runs a command to completion (killed after `timeout`); returns its status.
ExitStatus RunProcess(const std::vector<std::string>& argv,
                      const std::vector<std::string>& env = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(20),
                      std::string* output = nullptr,
                      const std::optional<RunAs>& user = std::nullopt,
                      const std::string& cwd = "");

// True when the process is gone, or a zombie nobody has reaped yet (an orphan's
// new parent may be slow to).
bool ProcessGone(pid_t pid);

// The processes whose parent is `parent` (read from /proc).
std::vector<pid_t> ChildrenOf(pid_t parent);

// The processor time (user and system) a process has used so far, in seconds; 0
// when it cannot be read.
double CpuSecondsOf(pid_t pid);

// A fresh empty folder under the build's test-tmp folder.
std::string MakeTempDir(const std::string& prefix);

}  // namespace veltrane::testing
