// veltrane-idle on a private Xvfb: the saver starts after the time-out with no
// input, covers the screen, ends on Escape and starts again after the next idle
// period; a client resetting the X screen saver or switching it off keeps it
// off; SIGTERM and a lost server end it with 0; bad options and a session
// without an idle clock are refused with one line.
#include <signal.h>

#include <algorithm>

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

TEST(LauncherOnXvfb, StartsAfterTheTimeoutEndsOnEscapeAndStartsAgain) {
  XvfbSession x;
  VELTRANE_REQUIRE_XVFB(x);
  const std::string log = MakeTempDir("idle-x") + "/out";
  const pid_t launcher = StartProcess({kLauncher, "--timeout", "2"}, x.env(), log);

  pid_t first = -1;
  ASSERT_TRUE(WaitUntil([&] { return (first = SaverOf(launcher)) > 0; }, 30s)) << ReadFile(log);
  EXPECT_TRUE(WaitUntil([&] { return Covered(x); }, 30s, 50ms)) << "the saver does not cover the screen";
  EXPECT_NE(ReadFile(log).find("veltrane-idle: idle clock: the X server's IDLETIME"), std::string::npos) << ReadFile(log);

  // Escape held until the saver has ended (the renderer reads a held key).
  x.Key("Escape", true);
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(first) && SaverOf(launcher) != first; }, 30s));
  x.Key("Escape", false);

  pid_t second = -1;
  EXPECT_TRUE(WaitUntil([&] { return (second = SaverOf(launcher)) > 0 && second != first; }, 30s))
      << "no saver after the next idle period";
  EXPECT_TRUE(WaitUntil([&] { return Covered(x); }, 30s, 50ms));
  ExpectEndsWithZero(launcher, second);
}

// X's idle time counts from the last input, not from the launcher's start.
TEST(LauncherOnXvfb, ASessionIdleLongerThanTheTimeoutAlreadyStartsIt) {
  XvfbSession x;
  VELTRANE_REQUIRE_XVFB(x);
  ASSERT_TRUE(WaitUntil(
      [&] {
        XScreenSaverInfo info{};
        return XScreenSaverQueryInfo(x.display(), DefaultRootWindow(x.display()), &info) && info.idle > 2500;
      },
      30s, 100ms));
  const pid_t launcher = x.Start({kLauncher, "--timeout", "2"});
  pid_t saver = -1;
  EXPECT_TRUE(WaitUntil([&] { return (saver = SaverOf(launcher)) > 0; }, 30s)) << "no saver without new input";
  ExpectEndsWithZero(launcher, saver);
}

// What other clients do to keep the screen on: video players reset the X
// screen saver every moment; xdg-screensaver switches it off while a window plays.
struct Hold {
  const char* name;
  std::vector<std::string> hold, release;  // release: run after the holder is ended
};
void PrintTo(const Hold& h, std::ostream* os) { *os << h.name; }

class LauncherHeldOff : public ::testing::TestWithParam<Hold> {};
INSTANTIATE_TEST_SUITE_P(Table, LauncherHeldOff,
                         ::testing::ValuesIn(std::vector<Hold>{
                             {"ResetEveryMoment", {"sh", "-c", "while :; do xset s reset; sleep 0.2; done"}, {}},
                             {"ScreenSaverSwitchedOff", {"xset", "s", "off"}, {"xset", "s", "default"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(LauncherHeldOff, ByAnotherClientUntilItLetsGo) {
  XvfbSession x;
  VELTRANE_REQUIRE_XVFB(x);
  const pid_t holder = x.Start(GetParam().hold);
  const bool oneShot = !GetParam().release.empty();
  if (oneShot) {
    ASSERT_TRUE(WaitProcess(holder, 20s).has_value());
  }
  // Two seconds: a loaded machine may delay the resets by a good part of one.
  const pid_t launcher = x.Start({kLauncher, "--timeout", "2"});
  // Twice the time-out and more without a saver: a state that holds, so it is
  // watched for the whole while.
  EXPECT_FALSE(WaitUntil([&] { return SaverOf(launcher) > 0; }, 5s)) << "the saver started while held off";
  KillProcess(holder);
  if (oneShot) {
    ASSERT_EQ(x.Run(GetParam().release).code, 0);
  }
  // The next idle period starts with a key.
  x.Key("Shift_L", true);
  x.Key("Shift_L", false);
  pid_t saver = -1;
  EXPECT_TRUE(WaitUntil([&] { return (saver = SaverOf(launcher)) > 0; }, 30s)) << "no saver once let go";
  ExpectEndsWithZero(launcher, saver);
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
