#include "saver/runtime/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

namespace {
std::array<int, kMaxFileNumber + 1>& Files() {
  static std::array<int, kMaxFileNumber + 1> fds = [] {
    std::array<int, kMaxFileNumber + 1> a{};
    a.fill(-1);
    return a;
  }();
  return fds;
}
}  // namespace

void OpenForInput(int number, const std::string& path) {
  if (number < 1 || number > kMaxFileNumber) throw RuntimeError(kErrBadFileNumber);
  if (Files()[number] >= 0) throw RuntimeError(kErrFileAlreadyOpen);
  if (path.empty()) throw RuntimeError(kErrFileNotFound);
  // O_NONBLOCK: a FIFO must not hang the open; it is refused below anyway.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw RuntimeError(errno == ENOENT || errno == ENOTDIR ? kErrFileNotFound : kErrPathFileAccess);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    // A folder, a device or a pipe is not a file that can be read as input.
    close(fd);
    throw RuntimeError(kErrPathFileAccess);
  }
  Files()[number] = fd;
}

void Close(int number) {
  if (number < 1 || number > kMaxFileNumber) return;
  int& fd = Files()[number];
  if (fd >= 0) close(fd);
  fd = -1;
}

bool IsOpen(int number) { return number >= 1 && number <= kMaxFileNumber && Files()[number] >= 0; }

}  // namespace veltrane::vb
