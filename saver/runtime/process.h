// Starting another program by its path: exactly that file, no shell and no
// arguments, without waiting for it. The child is reaped when it ends, so none is
// left behind as a zombie while the shell runs on.
//
// A started program is tied to the shell by a lifeline: a pipe whose read end it
// inherits (named by the variable platform::kShellLifelineVariable). When the
// shell ends on purpose it lets its programs run on; when it is stopped by a
// signal it stops them and waits for them; when it is killed outright the pipe's
// end of file tells them.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace veltrane::vb {

inline constexpr int kWindowNormalFocus = 1;

// Starts `path` as a new process with argv = { path } and the environment the
// shell was started with. It inherits descriptors 0-2 and its lifeline only. `windowStyle` is the window the program should show
// (1: normal, with focus); X programs decide their own windows, so it is not
// passed on. Returns the process id; raises run-time error 53 (file not found)
// or 75 (path/file access error) when the file cannot be started.
pid_t StartProgram(const std::string& path, int windowStyle = kWindowNormalFocus);

// The same with an explicit environment ("NAME=value" entries).
pid_t StartProgram(const std::string& path, const std::vector<std::string>& environment);

// Called with the process id of a started program that ended by a signal (killed
// or crashed), once it is reaped: nothing of its own clean-up ran.
void OnProgramKilled(std::function<void(pid_t)> handler);

// How the shell's end treats the programs it started: `stop` (the shell was asked
// to stop by a signal) ends each with SIGTERM and waits up to `wait` for it;
// otherwise each is let run on. Called by End().
void EndStartedPrograms(bool stop, int waitMilliseconds = 3000);

}  // namespace veltrane::vb
