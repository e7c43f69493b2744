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

TEST(LauncherOnSway, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  SwaySession s({2, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  // Escape stays down on one virtual keyboard until the saver has ended.
  ExpectStartsEndsOnEscapeAndStartsAgain(s, "org_kde_kwin_idle", [&] { return EveryOutputCovered(s); }, [&](pid_t) {
    return s.Start({"wtype", "-P", "Escape", "-s", "20000", "-p", "Escape"});
  });
}

// KWin has ext-idle-notify-v1, the clock of today's wlroots compositors too.
TEST(LauncherOnKWin, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  KWinSession s({2, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "kwin_wayland");
  ExpectStartsEndsOnEscapeAndStartsAgain(s, "ext-idle-notify-v1", [&] { return EveryOutputCovered(s); },
                                         [&](pid_t) { return s.HoldKey(1); });
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
  ExpectHeldOffUntilLetGo(launcher, 4s, [&] { KillProcess(window); }, 30s);
}

TEST(LauncherOnSway, LostCompositorEndsItWithZero) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  ExpectEndsWithItsCompositor(s);
}

}  // namespace
}  // namespace veltrane
