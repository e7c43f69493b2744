#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace veltrane::testing {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Tail(const std::string& text, std::size_t n) {
  return text.size() > n ? text.substr(text.size() - n) : text;
}

pid_t StartProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& stdoutPath, const std::optional<RunAs>& user, const std::string& cwd) {
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    for (const auto& kv : env) {
      auto eq = kv.find('=');
      std::string name = kv.substr(0, eq);
      std::string value = eq == std::string::npos ? "" : kv.substr(eq + 1);
      if (value.empty()) unsetenv(name.c_str());
      else setenv(name.c_str(), value.c_str(), 1);
    }
    if (!stdoutPath.empty()) {
      int fd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
      }
    }
    if (user && (setgroups(0, nullptr) != 0 || setgid(user->gid) != 0 || setuid(user->uid) != 0)) _exit(126);
    // Nothing a test starts outlives the test process (set after the user
    // changes, which clears it).
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

std::optional<ExitStatus> WaitProcess(pid_t pid, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      ExitStatus s;
      if (WIFEXITED(status)) {
        s.exited = true;
        s.code = WEXITSTATUS(status);
      } else if (WIFSIGNALED(status)) {
        s.signal = WTERMSIG(status);
      }
      return s;
    }
    if (r < 0 && errno != EINTR) return ExitStatus{};  // not our child or already reaped
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void KillProcess(pid_t pid) {
  if (pid <= 0) return;
  if (kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
}

ExitStatus RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      std::chrono::milliseconds timeout, std::string* output, const std::optional<RunAs>& user,
                      const std::string& cwd) {
  std::string outPath;
  if (output) outPath = MakeTempDir("run") + "/out.txt";
  pid_t pid = StartProcess(argv, env, outPath, user, cwd);
  auto st = WaitProcess(pid, timeout);
  if (!st) {
    KillProcess(pid);
    st = ExitStatus{false, 0, SIGKILL};
  }
  if (output) {
    std::ifstream in(outPath);
    std::stringstream ss;
    ss << in.rdbuf();
    *output = ss.str();
  }
  return *st;
}

bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> out;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    auto close = line.rfind(')');  // the command name may hold blanks and parentheses
    if (close == std::string::npos || close + 2 > line.size()) continue;
    std::istringstream rest(line.substr(close + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) out.push_back(std::stoi(name));
  }
  return out;
}

std::string MakeTempDir(const std::string& prefix) {
  std::string templ = std::string(VELTRANE_TEST_TMP) + "/" + prefix + "-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  return buf.data();
}

double CpuSecondsOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace veltrane::testing
