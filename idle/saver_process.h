// The saver the launcher starts: `Veltrane.scr /s`, one at a time, watched
// through a pidfd so that its end wakes the poll loop.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace veltrane::idle {

class SaverProcess {
 public:
  explicit SaverProcess(std::string path) : path_(std::move(path)) {}
  ~SaverProcess();
  SaverProcess(const SaverProcess&) = delete;
  SaverProcess& operator=(const SaverProcess&) = delete;

  const std::string& path() const { return path_; }
  // Starts `path /s` with the signals the launcher blocks unblocked again.
  // False (and errno set) when it could not start.
  bool Start();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Readable once the saver has ended; -1 when none runs.
  int Fd() const { return pidfd_; }
  // Reaps an ended saver; true when it had ended.
  bool Reap();
  // SIGTERM, then waits up to `limit` for it to end (SIGKILL after that).
  void Stop(std::chrono::milliseconds limit);

 private:
  void Forget();
  std::string path_;
  pid_t pid_ = -1;
  int pidfd_ = -1;
};

}  // namespace veltrane::idle
