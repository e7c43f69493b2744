// veltrane-idle on a private headless sway (org_kde_kwin_idle, sway 1.7's idle
// clock) and KWin (ext-idle-notify-v1): the saver starts after the time-out with
// no input, covers every output, ends on Escape and starts again after the next
// idle period; on sway a window holding sway's idle inhibitor keeps it off, and
// the lost compositor ends it with 0.
#include <signal.h>

#include "support/wayland_session.h"
#include "idle/launcher_checks.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

template <typename Session>
bool EveryOutputCovered(Session& s) {
  for (const std::string& name : s.outputNames())
    if (!Covered(s.Capture(name))) return false;
  return true;
}

// The launcher with a 2 s time-out: the saver starts with no input and covers
// every output; Escape, held by `holdEscape` until the returned process is
// ended, ends it; the next idle period starts it again.
template <typename Session, typename HoldEscape>
void ExpectStartsEndsOnEscapeAndStartsAgain(Session& s, const std::string& clock, HoldEscape holdEscape) {
  const std::string log = s.PathFor("launcher.out");
  const pid_t launcher = s.Start({StageLauncher(s), "--timeout", "2"}, {}, log);

  pid_t first = -1;
  ASSERT_TRUE(WaitUntil([&] { return (first = SaverOf(launcher)) > 0; }, 30s)) << ReadFile(log);
  EXPECT_TRUE(WaitUntil([&] { return EveryOutputCovered(s); }, 30s, 100ms)) << "an output shows the desktop";
  EXPECT_NE(ReadFile(log).find("veltrane-idle: idle clock: " + clock), std::string::npos) << ReadFile(log);

  const pid_t escape = holdEscape();
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(first) && SaverOf(launcher) != first; }, 30s));
  // Asked to end, KWin's key lets go; a key left down would repeat, and KWin
  // counts each repeat as input.
  kill(escape, SIGTERM);
  EXPECT_TRUE(WaitProcess(escape, 20s).has_value());

  pid_t second = -1;
  EXPECT_TRUE(WaitUntil([&] { return (second = SaverOf(launcher)) > 0 && second != first; }, 30s))
      << "no saver after the next idle period";
  EXPECT_TRUE(WaitUntil([&] { return EveryOutputCovered(s); }, 30s, 100ms));
  ExpectEndsWithZero(launcher, second);
}

TEST(LauncherOnSway, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  SwaySession s({2, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  // Escape stays down on one virtual keyboard until the saver has ended.
  ExpectStartsEndsOnEscapeAndStartsAgain(s, "org_kde_kwin_idle",
                                         [&] { return s.Start({"wtype", "-P", "Escape", "-s", "20000", "-p", "Escape"}); });
}

// KWin has ext-idle-notify-v1, the clock of today's wlroots compositors too.
TEST(LauncherOnKWin, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  KWinSession s({2, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "kwin_wayland");
  ExpectStartsEndsOnEscapeAndStartsAgain(s, "ext-idle-notify-v1", [&] { return s.HoldKey(1); });
}

// Another client's window with sway's idle inhibitor on it (as a video player's).
TEST(LauncherOnSway, AnotherClientsIdleInhibitorKeepsItOff) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const pid_t window = s.Start({"weston-flower"});
  ASSERT_TRUE(WaitUntil([&] { return !s.Views().empty(); }, 20s)) << "no window to hold the inhibitor";
  // The only window has the focus, which a command without criteria acts on.
  ASSERT_EQ(s.Run({"swaymsg", "inhibit_idle open"}).code, 0);

  const pid_t launcher = s.Start({StageLauncher(s), "--timeout", "1"});
  EXPECT_FALSE(WaitUntil([&] { return SaverOf(launcher) > 0; }, 4s)) << "the saver started through the inhibitor";
  KillProcess(window);
  pid_t saver = -1;
  EXPECT_TRUE(WaitUntil([&] { return (saver = SaverOf(launcher)) > 0; }, 30s)) << "no saver once the window went";
  ExpectEndsWithZero(launcher, saver);
}

TEST(LauncherOnSway, LostCompositorEndsItWithZero) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  ExpectEndsWithItsCompositor(s);
}

}  // namespace
}  // namespace veltrane
