// Veltrane.dll's full-screen run in Wayland sessions, alone and under
// Veltrane.scr /s: on a private headless sway (layer shell) it covers every
// output with a moving field, sway manages no window of it, the output modes
// stay, and it ends with 0 leaving nothing behind, also when its compositor
// goes; on headless weston (no layer shell) the full-screen toplevel covers the
// output; with no compositor to reach it says so and fails.
#include <signal.h>

#include <algorithm>

#include "support/wayland_session.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

enum class Ending { HeldEscape, Sigterm };

bool EveryOutput(SwaySession& s, bool (*test)(const Picture&)) {
  for (const std::string& name : s.outputNames())
    if (!test(s.Capture(name))) return false;
  return true;
}

bool ShowsDesktop(const Picture& p) { return !p.empty() && p.at(p.width / 2, p.height / 2) == kDesktopColour; }

// `pid` is the program under test (the renderer, or the shell that runs it),
// started by the test in `s` just now; `modes` are the outputs before it started.
void ExpectSaverRun(SwaySession& s, pid_t pid, const std::vector<OutputInfo>& modes, Ending ending) {
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
  EXPECT_EQ(s.Views(), std::vector<std::string>{}) << "sway manages a window of ours";
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

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";

struct Case {
  bool viaShell;  // Veltrane.scr /s, which runs the renderer without a cover
  int outputs;
  Ending ending;
};

std::string NameOf(const Case& c) {
  return std::string(c.viaShell ? "Shell" : "Renderer") + std::to_string(c.outputs) + "Outputs" +
         (c.ending == Ending::HeldEscape ? "Escape" : "Sigterm");
}
void PrintTo(const Case& c, std::ostream* os) { *os << NameOf(c); }

class SaverOnSway : public ::testing::TestWithParam<Case> {};
INSTANTIATE_TEST_SUITE_P(Wayland, SaverOnSway,
                         ::testing::ValuesIn(std::vector<Case>{
                             {false, 1, Ending::HeldEscape}, {false, 2, Ending::HeldEscape},
                             {false, 1, Ending::Sigterm}, {false, 2, Ending::Sigterm},
                             {true, 1, Ending::HeldEscape}, {true, 2, Ending::HeldEscape},
                             {true, 1, Ending::Sigterm}, {true, 2, Ending::Sigterm}}),
                         [](const auto& info) { return NameOf(info.param); });

TEST_P(SaverOnSway, CoversEveryOutputAndEndsCleanly) {
  SwaySession s({GetParam().outputs, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const std::vector<OutputInfo> modes = s.Outputs();
  const std::string renderer = s.Stage(kRenderer);
  const pid_t pid = GetParam().viaShell ? s.Start({s.Stage(kScr), "/s"}) : s.Start({renderer});
  ExpectSaverRun(s, pid, modes, GetParam().ending);
}

TEST(RendererOnSwayEnd, LostConnectionEndsItWithZero) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const pid_t renderer = s.Start({s.Stage(kRenderer)});
  ASSERT_TRUE(WaitUntil([&] { return Covered(s.Capture(s.outputNames().front())); }, 30s, 100ms));
  s.EndCompositor();
  const std::optional<ExitStatus> end = WaitProcess(renderer, 10s);
  ASSERT_TRUE(end.has_value()) << "still running without its compositor";
  EXPECT_TRUE(end->exited && end->code == 0) << "signal " << end->signal << ", code " << end->code;
}

TEST(RendererOnWeston, FullScreenFallbackCoversTheOutput) {
  WestonSession s({1, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "weston");
  const pid_t renderer = s.Start({s.Stage(kRenderer)});
  Picture last;
  EXPECT_TRUE(WaitUntil([&] { return Covered(last = s.Capture()) && MiddleLit(last); }, 30s, 100ms))
      << "the desktop shows or nothing is drawn";
  kill(renderer, SIGTERM);
  const std::optional<ExitStatus> end = WaitProcess(renderer, 20s);
  ASSERT_TRUE(end.has_value());
  EXPECT_TRUE(end->exited && end->code == 0);
}

TEST(RendererWithoutCompositor, ForcedWaylandSaysSoAndFails) {
  std::string output;
  const ExitStatus st = RunProcess({kRenderer},
                                   {"VELTRANE_BACKEND=wayland", "WAYLAND_DISPLAY=/nonexistent/wayland-9",
                                    "DISPLAY=", "WAYLAND_SOCKET="},
                                   20s, &output);
  EXPECT_TRUE(st.exited && st.code != 0) << output;
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_EQ(output.rfind("Veltrane.dll: ", 0), 0u) << output;
}

}  // namespace
}  // namespace veltrane
