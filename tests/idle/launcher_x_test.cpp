// veltrane-idle on a private Xvfb: the saver starts after the time-out with no
// input, covers the screen, ends on Escape and starts again after the next idle
// period; a client resetting, suspending or switching off the X screen saver
// keeps it off; the server's settings come back at its end; SIGTERM and a lost
// server end it with 0; bad options and a session without an idle clock are
// refused with one line.
#include <signal.h>

#include <algorithm>
#include <functional>

#include "support/xvfb_session.h"
#include "idle/launcher_checks.h"

#include <X11/extensions/scrnsaver.h>

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

const std::string kLauncher = std::string(VELTRANE_BIN_DIR) + "/veltrane-idle";

// The renderer's full-screen window is up and its field drawn.
bool Covered(XvfbSession& x) {
  const ::Window w = x.FindWindow("Lumora_VC");
  if (w == 0) return false;
  const WindowInfo info = x.Info(w);
  return info.viewable && info.width == 1024 && info.height == 768;
}

struct ScreenSaverSettings {
  int timeout = 0, interval = 0, blanking = 0, exposures = 0;
  bool operator==(const ScreenSaverSettings&) const = default;
};
ScreenSaverSettings SettingsOf(XvfbSession& x) {
  ScreenSaverSettings s;
  XGetScreenSaver(x.display(), &s.timeout, &s.interval, &s.blanking, &s.exposures);
  return s;
}

// The saver starts after the time-out, covers, ends on Escape and starts again.
// The server's time-out is the launcher's while it runs; at its end the server
// has its own settings back and no screen saver of its own left on.
TEST(LauncherOnXvfb, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  XvfbSession x;
  VELTRANE_REQUIRE_XVFB(x);
  const ScreenSaverSettings own{900, 60, DontPreferBlanking, AllowExposures};
  XSetScreenSaver(x.display(), own.timeout, own.interval, own.blanking, own.exposures);
  XSync(x.display(), False);
  const std::string log = MakeTempDir("idle-x") + "/out";
  const pid_t launcher = StartProcess({kLauncher, "--timeout", "2"}, x.env(), log);

  pid_t first = -1;
  ASSERT_TRUE(WaitUntil([&] { return (first = SaverOf(launcher)) > 0; }, 30s)) << ReadFile(log);
  EXPECT_TRUE(WaitUntil([&] { return Covered(x); }, 30s, 50ms)) << "the saver does not cover the screen";
  EXPECT_NE(ReadFile(log).find("veltrane-idle: idle clock: the X server's screen saver"), std::string::npos) << ReadFile(log);
  EXPECT_EQ(SettingsOf(x).timeout, 2);

  // Escape held until the saver has ended (the renderer reads a held key), its
  // renderer too: a shell that did not see the renderer's window at its first
  // tick, on a loaded machine, has ended already and left the renderer running.
  x.Key("Escape", true);
  EXPECT_TRUE(WaitUntil(
      [&] { return ProcessGone(first) && SaverOf(launcher) != first && x.FindWindow("Lumora_VC") == 0; }, 30s));
  x.Key("Escape", false);

  pid_t second = -1;
  EXPECT_TRUE(WaitUntil([&] { return (second = SaverOf(launcher)) > 0 && second != first; }, 30s))
      << "no saver after the next idle period";
  EXPECT_TRUE(WaitUntil([&] { return Covered(x); }, 30s, 50ms));
  // Ended while the server's own saver is on (no input since it turned on).
  ExpectEndsWithZero(launcher, second);
  EXPECT_TRUE(SettingsOf(x) == own) << "time-out " << SettingsOf(x).timeout;
  XScreenSaverInfo info{};
  ASSERT_TRUE(XScreenSaverQueryInfo(x.display(), DefaultRootWindow(x.display()), &info));
  EXPECT_NE(info.state, ScreenSaverOn) << "the server's screen saver was left on";
}

// What other clients do to keep the screen on, each taken once the launcher has
// set the server's time-out: video players reset the X screen saver every
// moment; browsers suspend it; xdg-screensaver switches it off and gives the
// time-out back after. Returns what lets go.
using Release = std::function<void()>;
struct Hold {
  const char* name;
  std::function<Release(XvfbSession&)> take;
};
void PrintTo(const Hold& h, std::ostream* os) { *os << h.name; }

const Hold kHolds[] = {
    {"ResetEveryMoment",
     [](XvfbSession& x) -> Release {
       const pid_t loop = x.Start({"sh", "-c", "while :; do xset s reset; sleep 0.2; done"});
       return [loop] { KillProcess(loop); };
     }},
    {"SuspendedByAClient",
     [](XvfbSession& x) -> Release {
       XScreenSaverSuspend(x.display(), True);
       XSync(x.display(), False);
       return [&x] {
         XScreenSaverSuspend(x.display(), False);
         XSync(x.display(), False);
       };
     }},
    {"SwitchedOff",
     [](XvfbSession& x) -> Release {
       const ScreenSaverSettings s = SettingsOf(x);
       XSetScreenSaver(x.display(), 0, s.interval, s.blanking, s.exposures);
       XSync(x.display(), False);
       return [&x, s] {
         XSetScreenSaver(x.display(), s.timeout, s.interval, s.blanking, s.exposures);
         XSync(x.display(), False);
       };
     }},
};

class LauncherHeldOff : public ::testing::TestWithParam<Hold> {};
INSTANTIATE_TEST_SUITE_P(Table, LauncherHeldOff, ::testing::ValuesIn(kHolds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(LauncherHeldOff, ByAnotherClientUntilItLetsGo) {
  XvfbSession x;
  VELTRANE_REQUIRE_XVFB(x);
  // Three seconds: the hold is taken well within them, even on a loaded machine.
  const pid_t launcher = x.Start({kLauncher, "--timeout", "3"});
  ASSERT_TRUE(WaitUntil([&] { return SettingsOf(x).timeout == 3; }, 30s, 10ms)) << "the launcher set no time-out";
  const Release release = GetParam().take(x);
  // Past the time-out and more; the next idle period starts with a key.
  ExpectHeldOffUntilLetGo(launcher, 5s, [&] {
    release();
    x.Key("Shift_L", true);
    x.Key("Shift_L", false);
  }, 30s);
}

TEST(LauncherOnXvfb, LostServerEndsItWithZeroAndItsSaver) {
  XvfbSession x;
  VELTRANE_REQUIRE_XVFB(x);
  const pid_t launcher = x.Start({kLauncher, "--timeout", "1"});
  pid_t saver = -1;
  ASSERT_TRUE(WaitUntil([&] { return (saver = SaverOf(launcher)) > 0; }, 30s));
  x.KillServer();
  const std::optional<ExitStatus> end = WaitProcess(launcher, 20s);
  ASSERT_TRUE(end.has_value()) << "still running without its server";
  EXPECT_TRUE(end->exited && end->code == 0) << "signal " << end->signal << ", code " << end->code;
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(saver); }, 20s));
}

struct Refusal {
  const char* name;
  std::vector<std::string> args;
};
// Test names and failures show the case by its name.
void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

class LauncherRefuses : public ::testing::TestWithParam<Refusal> {};
INSTANTIATE_TEST_SUITE_P(Table, LauncherRefuses,
                         ::testing::ValuesIn(std::vector<Refusal>{{"UnknownOption", {"--fast"}},
                                                                  {"ZeroTimeout", {"--timeout", "0"}},
                                                                  {"ASessionWithNoIdleClock", {}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(LauncherRefuses, WithOneLineAndCodeOne) {
  std::vector<std::string> argv{kLauncher};
  argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
  std::string output;
  const ExitStatus st = RunProcess(argv,
                                   {"DISPLAY=", "WAYLAND_DISPLAY=", "DBUS_SESSION_BUS_ADDRESS=disabled:",
                                    "XDG_RUNTIME_DIR=/nonexistent"},
                                   20s, &output);
  EXPECT_TRUE(st.exited && st.code == 1) << output;
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_EQ(output.rfind("veltrane-idle: ", 0), 0u) << output;
}

}  // namespace
}  // namespace veltrane
