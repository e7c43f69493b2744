// Veltrane.scr /s on a private headless gnome-shell, which opens its overview at
// start as it does at log-in: the saver covers the output all the same and, where
// the bus has a screen-saver service, holds one inhibit of GNOME's idle actions
// for exactly as long as it shows.
#include <signal.h>

#include <string>

#include "support/gnome_session.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";
const std::string kDll = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

// The overview's backdrop; the saver in a workspace thumbnail leaves it around.
constexpr Rgb kOverviewGrey{35, 35, 35};

// The saver's picture, not the desktop's nor the overview's: neither colour shows
// beyond what a ring may hit by chance, and the field is lit in the middle.
bool SaverShows(const Picture& p) {
  if (p.empty() || !MiddleLit(p)) return false;
  std::size_t shell = 0;
  for (const Rgb& c : p.pixels) shell += c == kDesktopColour || c == kOverviewGrey;
  return shell * 1000 < p.pixels.size();
}

struct WayOut {
  const char* name;
  // Takes it; returns a helper to end once the shell has ended, or -1.
  pid_t (*take)(GnomeSession&, pid_t shell);
  // Whether the bus has the screen-saver service (without it the saver runs all the same).
  bool service = true;
};

const WayOut kWaysOut[] = {
    // Escape stays down until the program has ended, however slow its frames.
    {"EscapeHeld", [](GnomeSession& s, pid_t) { return s.Start(s.KeyCommand("Escape", 20s)); }},
    {"EscapeHeldWithNoScreenSaverService",
     [](GnomeSession& s, pid_t) { return s.Start(s.KeyCommand("Escape", 20s)); }, false},
    {"ShellTerminated", [](GnomeSession&, pid_t shell) { return kill(shell, SIGTERM), pid_t{-1}; }},
    // Killed outright, the renderer releases nothing itself: the bus drops its inhibit.
    {"RendererKilled",
     [](GnomeSession& s, pid_t shell) {
       for (pid_t pid : s.Clients())
         if (pid != shell) kill(pid, SIGKILL);
       return pid_t{-1};
     }},
};

void PrintTo(const WayOut& way, std::ostream* out) { *out << way.name; }

class SaverOnGnome : public ::testing::TestWithParam<WayOut> {};

TEST_P(SaverOnGnome, CoversTheOverviewAndInhibitsIdleOnlyWhileItShows) {
  GnomeSession s(GnomeOptions{.fakeSessionManager = GetParam().service});
  VELTRANE_REQUIRE_WAYLAND(s, "gnome-shell");
  ASSERT_TRUE(s.OverviewVisible());
  // Without the service nobody answers (-1).
  const int none = GetParam().service ? 0 : -1, showing = GetParam().service ? 1 : -1;
  ASSERT_EQ(s.Inhibits(), none);
  s.Stage(kDll);
  const pid_t shell = s.Start({s.Stage(kScr), "/s"}, {}, s.PathFor("saver.log"));

  EXPECT_TRUE(WaitUntil([&] { return SaverShows(s.Capture()); }, 60s, 200ms)) << "the output is not covered";
  EXPECT_FALSE(s.OverviewVisible());
  EXPECT_EQ(s.Inhibits(), showing);

  const pid_t helper = GetParam().take(s, shell);
  const std::optional<ExitStatus> end = WaitProcess(shell, 30s);
  KillProcess(helper);
  ASSERT_TRUE(end.has_value()) << "the shell runs on";
  EXPECT_TRUE(WaitUntil([&] { return s.Inhibits() == none; }, 20s)) << s.Inhibits() << " inhibits left";
  EXPECT_TRUE(WaitUntil([&] { return s.Clients().empty(); }, 20s)) << "a renderer runs on";
}

INSTANTIATE_TEST_SUITE_P(WaysOut, SaverOnGnome, ::testing::ValuesIn(kWaysOut),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltrane
