// What a saver run on sway must show, shared by the renderer's and the shell's
// tests: every output covered, a moving field, no window sway manages, output
// modes untouched, and an end with exit code 0 that leaves nothing behind.
#pragma once

#include <signal.h>

#include <sstream>

#include "support/wayland_session.h"

namespace veltrane::testing {

enum class Ending { HeldEscape, Sigterm };

inline std::string Joined(const std::vector<std::string>& items) {
  std::ostringstream out;
  for (const std::string& item : items) out << item << "; ";
  return out.str();
}

inline bool EveryOutput(SwaySession& s, bool (*test)(const Picture&)) {
  for (const std::string& name : s.outputNames())
    if (!test(s.Capture(name))) return false;
  return true;
}

inline bool ShowsDesktop(const Picture& p) { return !p.empty() && p.at(p.width / 2, p.height / 2) == kDesktopColour; }

// `pid` is the program under test (the renderer, or the shell that runs it),
// started by the test in `s` just now; `modes` are the outputs before it started.
inline void ExpectSaverRun(SwaySession& s, pid_t pid, const std::vector<OutputInfo>& modes, Ending ending) {
  using namespace std::chrono_literals;
  EXPECT_TRUE(WaitUntil([&] { return EveryOutput(s, Covered); }, 30s, 100ms)) << "an output shows the desktop";
  const std::string first = s.outputNames().front();
  const Picture earlier = s.Capture(first);
  EXPECT_TRUE(WaitUntil(
      [&] {
        const Picture later = s.Capture(first);
        return MiddleLit(later) && later.pixels != earlier.pixels;
      },
      20s, 50ms))
      << "no moving field on " << first;
  EXPECT_TRUE(s.Views().empty()) << "sway manages: " << Joined(s.Views());
  EXPECT_EQ(s.Outputs(), modes);

  std::optional<pid_t> holder;
  if (ending == Ending::HeldEscape) {
    // Escape stays down on one virtual keyboard until the program has ended.
    holder = s.Start({"wtype", "-P", "Escape", "-s", "20000", "-p", "Escape"});
  } else {
    kill(pid, SIGTERM);
  }
  const std::optional<ExitStatus> end = WaitProcess(pid, 20s);
  if (holder) KillProcess(*holder);
  ASSERT_TRUE(end.has_value()) << "still running";
  EXPECT_TRUE(end->exited) << "ended by signal " << end->signal;
  EXPECT_EQ(end->code, 0);
  EXPECT_TRUE(WaitUntil([&] { return s.Clients().empty(); }, 10s)) << "a process is left";
  EXPECT_TRUE(WaitUntil([&] { return EveryOutput(s, ShowsDesktop); }, 10s, 50ms)) << "a surface is left";
}

}  // namespace veltrane::testing
