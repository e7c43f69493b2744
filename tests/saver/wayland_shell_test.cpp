// Veltrane.scr /s in a Wayland session, on a private headless sway: of shells
// started together one runs, and its claim ends with it; a missing renderer is
// named on stderr. (Its run with the real renderer is in the renderer's Wayland
// tests, in one table with the renderer alone.)
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "support/wayland_session.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";

// Lines in the file each stand-in renderer appends its pid to.
std::vector<pid_t> Started(const std::string& file) {
  std::ifstream in(file);
  std::vector<pid_t> pids;
  for (pid_t pid = 0; in >> pid;) pids.push_back(pid);
  return pids;
}

// Two shells at once start one renderer; the one that lost ends at once, as
// does a dialog asked for meanwhile; the winner's claim lasts exactly as long as
// the winner: a shell killed outright frees it even though its renderer runs on.
TEST(ShellOnSwayClaim, TwoAtOnceStartOneRendererAndTheClaimEndsWithTheShell) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const std::string scr = s.Stage(kScr);
  const std::string started = s.PathFor("started");
  s.StageScript("Veltrane.dll", "#!/bin/sh\necho $$ >> '" + started + "'\nexec sleep 60\n");
  const pid_t a = s.Start({scr, "/s"}), b = s.Start({scr, "/s"});
  std::optional<ExitStatus> lost;
  pid_t winner = -1;
  WaitUntil(
      [&] {
        for (auto [loser, other] : {std::pair{a, b}, {b, a}})
          if ((lost = WaitProcess(loser, 0ms))) return winner = other, true;
        return false;
      },
      10s);
  ASSERT_TRUE(lost.has_value()) << "both shells run";
  EXPECT_TRUE(lost->exited && lost->code == 0);
  ASSERT_TRUE(WaitUntil([&] { return Started(started).size() == 1; }, 10s));
  EXPECT_FALSE(WaitProcess(winner, 0ms).has_value()) << "the winner ended";
  // The dialog asked for while the saver runs ends at once too.
  const ExitStatus dialog = s.Run({scr, "/c"});
  EXPECT_TRUE(dialog.exited && dialog.code == 0) << "signal " << dialog.signal << ", code " << dialog.code;

  KillProcess(winner);
  const pid_t third = s.Start({scr, "/s"});
  EXPECT_TRUE(WaitUntil([&] { return Started(started).size() == 2; }, 10s)) << "the claim outlived its shell";
  kill(third, SIGTERM);
  const std::optional<ExitStatus> end = WaitProcess(third, 10s);
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(end->code, 0);
  EXPECT_EQ(kill(Started(started).back(), 0), -1) << "SIGTERM to the shell left its renderer running";
}

TEST(ShellOnSwayClaim, MissingRendererIsNamedOnStderr) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  std::string output;
  const ExitStatus st = s.Run({s.Stage(kScr), "/s"}, &output);
  EXPECT_TRUE(st.exited && st.code == 0) << output;
  EXPECT_NE(output.find("Veltrane.dll が同じﾌｫﾙﾀﾞに見つかりません！"), std::string::npos) << output;
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
}

}  // namespace
}  // namespace veltrane
