// Veltrane.dll's full-screen run in Wayland sessions: on a private headless sway
// (layer shell) it covers every output and ends cleanly, also when its
// compositor goes; on headless weston (no layer shell) the full-screen toplevel
// covers the output; with no compositor to reach it says so and fails.
#include <signal.h>

#include <algorithm>

#include "support/wayland_saver_checks.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

struct Case {
  int outputs;
  Ending ending;
};

class RendererOnSway : public ::testing::TestWithParam<Case> {};
INSTANTIATE_TEST_SUITE_P(Wayland, RendererOnSway,
                         ::testing::Values(Case{1, Ending::HeldEscape}, Case{2, Ending::HeldEscape},
                                           Case{1, Ending::Sigterm}, Case{2, Ending::Sigterm}),
                         [](const auto& info) {
                           return std::to_string(info.param.outputs) + "Outputs" +
                                  (info.param.ending == Ending::HeldEscape ? "Escape" : "Sigterm");
                         });

TEST_P(RendererOnSway, CoversEveryOutputAndEndsCleanly) {
  SwaySession s({GetParam().outputs, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const std::vector<OutputInfo> modes = s.Outputs();
  const pid_t renderer = s.Start({s.Stage(kRenderer)});
  ExpectSaverRun(s, renderer, modes, GetParam().ending);
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
