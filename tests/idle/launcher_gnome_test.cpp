// veltrane-idle on a private headless gnome-shell (org.gnome.Mutter.IdleMonitor):
// the saver starts after the time-out with no input, covers the output, ends on
// Escape (mutter's remote-desktop keyboard) and starts again after the next
// idle period; an idle inhibit held by another client keeps it off.
#include <signal.h>

#include "support/gnome_session.h"
#include "idle/launcher_checks.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

// The overview gnome-shell opens at start hides the desktop; closed (without
// input), the desktop's colour shows wherever nothing covers it.
void ShowDesktop(GnomeSession& s) {
  s.Eval("Main.overview.hide()");
  ASSERT_TRUE(WaitUntil([&] { return !s.OverviewVisible() && !Covered(s.Capture()); }, 30s, 100ms))
      << "the desktop does not show";
}

TEST(LauncherOnGnome, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  GnomeSession s({1, 1024, 768});
  VELTRANE_REQUIRE_WAYLAND(s, "gnome-shell");
  ShowDesktop(s);
  Picture shot;
  ExpectStartsEndsOnEscapeAndStartsAgain(
      s, "org.gnome.Mutter.IdleMonitor", [&] { return Covered(shot = s.Capture()) && MiddleLit(shot); },
      [&](pid_t saver) {
        // Escape held (the renderer reads a held key), again until the saver has ended.
        WaitUntil([&] { return ProcessGone(saver) || (s.Key("Escape", 1500ms), ProcessGone(saver)); }, 60s, 100ms);
        return pid_t{-1};
      });
}

TEST(LauncherOnGnome, AnIdleInhibitHeldByAnotherClientKeepsItOff) {
  GnomeSession s;
  VELTRANE_REQUIRE_WAYLAND(s, "gnome-shell");
  const std::string held = s.PathFor("held.out");
  const pid_t player = s.Start({s.Stage(VELTRANE_HOLD_INHIBIT)}, {}, held);
  ASSERT_TRUE(WaitUntil([&] { return ReadFile(held) == "held\n"; }, 20s)) << ReadFile(held);

  const pid_t launcher = s.Start({StageLauncher(s), "--timeout", "1"});
  // The next idle period after the inhibit has gone starts it.
  ExpectHeldOffUntilLetGo(launcher, 4s, [&] {
    KillProcess(player);
    EXPECT_TRUE(WaitUntil([&] { return s.Inhibits() == 0; }, 20s));
    s.Key("Shift_L", 50ms);
  }, 60s);
}

// gnome-shell ending takes its IdleMonitor off the bus, which stays: the session is gone.
TEST(LauncherOnGnome, TheShellEndingEndsItWithZero) {
  GnomeSession s;
  VELTRANE_REQUIRE_WAYLAND(s, "gnome-shell");
  ExpectEndsWithItsCompositor(s);
}

}  // namespace
}  // namespace veltrane
