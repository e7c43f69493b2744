// Starting another program by its path: exactly that file, no shell and no
// arguments, without waiting for it. The child is reaped when it ends, so none is
// left behind as a zombie while the shell runs on.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace veltrane::vb {

inline constexpr int kWindowNormalFocus = 1;

// Starts `path` as a new process with argv = { path } and the environment the
// shell was started with. `windowStyle` is the window the program should show
// (1: normal, with focus); X programs decide their own windows, so it is not
// passed on. Returns the process id; raises run-time error 53 (file not found)
// or 75 (path/file access error) when the file cannot be started.
pid_t StartProgram(const std::string& path, int windowStyle = kWindowNormalFocus);

// The same with an explicit environment ("NAME=value" entries).
pid_t StartProgram(const std::string& path, const std::vector<std::string>& environment);

}  // namespace veltrane::vb
