// Veltrane.scr /s as saver hosts end it: a signal to the shell's pid alone ends
// the renderer it started and gives the display back; a shell killed outright
// takes its renderer with it; a renderer killed outright leaves the shell to give
// the display back; and of two shells started at once exactly one runs.
#include "shell_test_support.h"
#include "support/randr_state.h"

#include <fstream>
#include <optional>

namespace veltrane {
namespace {

using namespace shelltest;
using testing::AddRealMode1024x768;
using testing::ReadScreenState;
using testing::ScreenState;

bool WaitGone(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!testing::ProcessGone(pid)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The shell's renderer among its children (Qt may have started others).
pid_t RendererOf(pid_t shell) {
  for (pid_t child : ChildrenOf(shell)) {
    char path[256] = {};
    const std::string link = "/proc/" + std::to_string(child) + "/exe";
    const ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
    if (n > 0 && std::string(path, static_cast<size_t>(n)).ends_with("/Veltrane.dll")) return child;
  }
  return -1;
}

struct Saver {
  pid_t shell = -1, renderer = -1;
};

// A 1280 x 1024 server with a real 1024 x 768 mode, and `Veltrane.scr /s` running
// with the real renderer past the shell's first check. The shell gives the
// renderer 500 ms to open its window; a start that a busy machine slowed past
// that tells nothing here, so it is tried again.
struct SaverOnSwitchingServer {
  SaverOnSwitchingServer() : s({1280, 1024, 24, false}) {
    if (!s.ok() || !AddRealMode1024x768(s.display())) return;
    original = ReadScreenState(s.display());
  }
  std::optional<Saver> Start() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      Saver r;
      r.shell = s.Start({kScr, "/s"});
      for (int i = 0; i < 500 && r.renderer < 0; ++i) {
        r.renderer = RendererOf(r.shell);
        if (r.renderer < 0) std::this_thread::sleep_for(10ms);
      }
      const bool window = s.WaitForWindow("Lumora_VC", 10s) != 0;
      std::this_thread::sleep_for(700ms);  // past the shell's first tick
      if (window && Alive(r.shell) && ReadScreenState(s.display()).width == 1024) return r;
      if (r.renderer > 0) kill(r.renderer, SIGTERM);
      testing::KillProcess(r.shell);
      if (r.renderer > 0) WaitGone(r.renderer, 10s);
    }
    return std::nullopt;
  }
  bool BackToOriginal() { return testing::WaitForScreenState(s.display(), original); }
  XvfbSession s;
  ScreenState original;
};

// How the saver can be ended from outside, and what must follow. xss-lock,
// XScreenSaver and mate-screensaver signal the shell's pid alone; a shell killed
// outright takes its renderer with it through the lifeline; a renderer killed
// outright leaves the shell to give the mode back; a cover closed from outside
// ends the shell and lets the renderer run on, as before.
struct Ending {
  const char* name;
  bool killRenderer;     // else the shell is signalled (or its cover closed: signal 0)
  int signal;
  bool shellEndsWithZero;
  bool rendererRunsOn;
};

void PrintTo(const Ending& e, std::ostream* os) { *os << e.name; }

class SaverEndedByItsHost : public ::testing::TestWithParam<Ending> {};
INSTANTIATE_TEST_SUITE_P(
    Ways, SaverEndedByItsHost,
    ::testing::Values(Ending{"ShellSIGTERM", false, SIGTERM, true, false}, Ending{"ShellSIGHUP", false, SIGHUP, true, false},
                      Ending{"ShellSIGINT", false, SIGINT, true, false}, Ending{"ShellSIGKILL", false, SIGKILL, false, false},
                      Ending{"RendererSIGKILL", true, SIGKILL, true, false}, Ending{"CoverClosed", false, 0, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(SaverEndedByItsHost, TheModeComesBackAndTheRendererEndsUnlessLetGo) {
  REQUIRE_RENDERER();
  const Ending& e = GetParam();
  SaverOnSwitchingServer x;
  ASSERT_EQ(x.original.width, 1280);
  auto saver = x.Start();
  ASSERT_TRUE(saver) << "the saver never ran with its renderer";
  if (e.killRenderer) kill(saver->renderer, e.signal);
  else if (e.signal != 0) kill(saver->shell, e.signal);
  else x.s.SendClose(x.s.FindWindow("Lumora_Main", false));
  if (e.shellEndsWithZero) ExpectEndsWithCodeZero(saver->shell, 10s, "shell");
  if (e.rendererRunsOn) {
    EXPECT_FALSE(WaitGone(saver->renderer, 1s)) << "the renderer ended with a shell that let it go";
    kill(saver->renderer, SIGTERM);
  }
  EXPECT_TRUE(WaitGone(saver->renderer, 10s)) << "the renderer outlived its shell";
  EXPECT_TRUE(x.BackToOriginal());
}

// Two shells started at the same moment: exactly one cover and one renderer.
TEST(SaversStartedAtOnce, ExactlyOneRuns) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("two-savers");
  folder.SetRenderer(WindowStandIn(folder.pidFile()));
  auto windowsTitled = [&](const std::string& title) {
    int count = 0;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(s.display(), DefaultRootWindow(s.display()), &root, &parent, &children, &n)) {
      for (unsigned i = 0; i < n; ++i) {
        char* name = nullptr;
        if (XFetchName(s.display(), children[i], &name) && name != nullptr) {
          count += title == name ? 1 : 0;
          XFree(name);
        }
      }
    }
    if (children != nullptr) XFree(children);
    return count;
  };
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    const pid_t a = s.Start({folder.scr(), "/s"});
    const pid_t b = s.Start({folder.scr(), "/s"});
    // The one that lost ends at once with 0; the other runs.
    std::optional<testing::ExitStatus> ended;
    pid_t winner = -1;
    for (int i = 0; i < 1000 && !ended; ++i) {
      if ((ended = testing::WaitProcess(a, 0ms))) winner = b;
      else if ((ended = testing::WaitProcess(b, 0ms))) winner = a;
      else std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(ended) << "both shells still run";
    EXPECT_TRUE(ended->exited && ended->code == 0);
    ASSERT_NE(s.WaitForWindow("Lumora_VC", 10s), 0u);
    EXPECT_TRUE(Alive(winner));
    EXPECT_EQ(windowsTitled("Lumora_Main"), 1);
    EXPECT_EQ(windowsTitled("Lumora_VC"), 1);
    kill(winner, SIGTERM);
    ExpectEndsWithCodeZero(winner, 10s, "the running saver");
    EXPECT_TRUE(s.WaitForWindowGone("Lumora_VC", 10s));
    EXPECT_TRUE(s.WaitForWindowGone("Lumora_Main", 10s));
  }
}

}  // namespace
}  // namespace veltrane
