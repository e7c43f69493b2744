// Every way the renderer can end gives the display back: its window destroyed by
// another program, its connection killed, renderers that overlap or die without
// cleaning up. And without a window manager it stays above later windows.
// Each run switches a real mode: 1280 x 1024 with a 1024 x 768 mode added.
#include "support/xvfb_session.h"
#include "support/randr_state.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <tuple>
#include <thread>

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
constexpr const char* kTitle = "Lumora_VC";

// A server whose display the renderer really switches, with or without openbox.
struct SwitchingServer {
  explicit SwitchingServer(bool manager = false) : s({1280, 1024, 24, manager}) {
    if (!s.ok()) return;
    if (manager) {
      for (int i = 0; i < 1500 && !Managed(); ++i) std::this_thread::sleep_for(10ms);
    }
    ready = AddRealMode1024x768(s.display()) && (!manager || Managed());
    original = ReadScreenState(s.display());
  }
  bool Managed() {
    XWindowAttributes a{};
    return XGetWindowAttributes(s.display(), DefaultRootWindow(s.display()), &a) &&
           (a.all_event_masks & SubstructureRedirectMask);
  }
  // Starts a renderer and waits for its window and the switched mode.
  pid_t StartRenderer(::Window* window = nullptr, ::Window previous = 0) {
    const pid_t pid = s.Start({kRenderer});
    ::Window w = 0;
    for (int i = 0; i < 1000 && (w == 0 || w == previous); ++i) {
      w = s.FindWindow(kTitle);
      if (w == 0 || w == previous) std::this_thread::sleep_for(10ms);
    }
    if (window != nullptr) *window = w == previous ? 0 : w;
    return pid;
  }
  bool Switched() { return ReadScreenState(s.display()).width == 1024; }
  // The display comes back as the program ends; give it a moment on a busy machine.
  bool BackToOriginal() { return WaitForScreenState(s.display(), original); }
  XvfbSession s;
  bool ready = false;
  ScreenState original;
};

void ExpectEndsWithZero(pid_t pid, const char* what) {
  const auto status = WaitProcess(pid, 15s);
  if (!status) KillProcess(pid);
  ASSERT_TRUE(status.has_value()) << what << ": still running";
  EXPECT_TRUE(status->exited) << what << ": ended by signal " << status->signal;
  EXPECT_EQ(status->code, 0) << what;
}

// Another program destroys the window (XDestroyWindow, a manager's destroy): that
// is a close request, not a minimise to wait out for ever. xkill or a manager's
// force-quit cuts the connection: a fresh one gives the mode back.
class RendererWaysOut : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};
INSTANTIATE_TEST_SUITE_P(FromOutside, RendererWaysOut,
                         ::testing::Combine(::testing::Values("WindowDestroyed", "ConnectionKilled"),
                                            ::testing::Values(false, true)),
                         [](const auto& info) {
                           return std::get<0>(info.param) + (std::get<1>(info.param) ? "Openbox" : "NoManager");
                         });

TEST_P(RendererWaysOut, EndsWithZeroAndGivesTheModeBack) {
  const auto& [how, manager] = GetParam();
  SwitchingServer x(manager);
  ASSERT_TRUE(x.ready);
  ::Window w = 0;
  const pid_t pid = x.StartRenderer(&w);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(x.Switched());
  if (how == "WindowDestroyed") XDestroyWindow(x.s.display(), w);
  else XKillClient(x.s.display(), w);
  XSync(x.s.display(), False);
  ExpectEndsWithZero(pid, how.c_str());
  EXPECT_TRUE(x.BackToOriginal());
}

// However renderers overlap and in whatever order they end (by a signal, or by a
// SIGKILL that lets nothing run), the display ends as it was before the first.
TEST(RendererWaysOut, OverlappingAndKilledRenderersLeaveTheOriginalMode) {
  struct Case {
    const char* name;
    int firstSignal, secondSignal;
    bool secondEndsFirst;
  };
  const Case cases[] = {
      {"first ends first", SIGTERM, SIGTERM, false},
      {"second ends first", SIGTERM, SIGTERM, true},
      {"first killed, second ends", SIGKILL, SIGTERM, false},
      {"second killed last", SIGTERM, SIGKILL, false},
  };
  SwitchingServer x;
  ASSERT_TRUE(x.ready);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::Window first = 0, second = 0;
    const pid_t a = x.StartRenderer(&first);
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(x.Switched());
    const pid_t b = x.StartRenderer(&second, first);
    ASSERT_NE(second, 0u);
    auto end = [&](pid_t pid, int signal) {
      kill(pid, signal);
      const auto status = WaitProcess(pid, 15s);
      if (!status) KillProcess(pid);
      EXPECT_TRUE(status.has_value());
    };
    if (c.secondEndsFirst) {
      end(b, c.secondSignal);
      EXPECT_TRUE(x.Switched()) << "the mode went while a renderer still runs full screen";
      end(a, c.firstSignal);
    } else {
      end(a, c.firstSignal);
      EXPECT_TRUE(x.Switched()) << "the mode went while a renderer still runs full screen";
      end(b, c.secondSignal);
    }
    if (c.secondSignal == SIGKILL) {
      // Nobody is left to look: the next renderer to start finds the record and
      // gives it back before it switches again.
      ::Window next = 0;
      const pid_t n = x.StartRenderer(&next);
      ASSERT_NE(next, 0u);
      kill(n, SIGTERM);
      ExpectEndsWithZero(n, "renderer after a killed one");
    }
    EXPECT_TRUE(x.BackToOriginal());
  }
}

// A renderer started alone, with no shell to look after it, and killed outright
// leaves nothing of its own clean-up: its guard gives the display back. However
// the renderer ends, its guard ends with it; signals meant for the renderer's
// group (a Ctrl-C) or sent to the guard itself do not end the guard first.
TEST(RendererWaysOut, ALoneRendererKilledOutrightGivesTheModeBackAndLeavesNothingRunning) {
  enum class End { Kill, SignalGuardThenKill, GroupInterrupt, Terminate, Escape, WindowClosed };
  const std::pair<const char*, End> cases[] = {
      {"SIGKILL", End::Kill},           {"guard signalled, then SIGKILL", End::SignalGuardThenKill},
      {"Ctrl-C to the group", End::GroupInterrupt}, {"SIGTERM", End::Terminate},
      {"Escape", End::Escape},          {"WM_DELETE_WINDOW", End::WindowClosed},
  };
  SwitchingServer x;
  ASSERT_TRUE(x.ready);
  for (const auto& [name, end] : cases) {
    SCOPED_TRACE(name);
    ::Window w = 0;
    const pid_t pid = x.StartRenderer(&w);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(x.Switched());
    const std::vector<pid_t> guards = ChildrenOf(pid);
    EXPECT_EQ(guards.size(), 1u) << "the renderer should have exactly its guard as a child";
    const bool killed = end == End::Kill || end == End::SignalGuardThenKill;
    if (end == End::SignalGuardThenKill) {
      for (pid_t guard : guards)
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) kill(guard, signal);
    }
    if (killed) kill(pid, SIGKILL);
    else if (end == End::GroupInterrupt) kill(-pid, SIGINT);
    else if (end == End::Terminate) kill(pid, SIGTERM);
    else if (end == End::Escape) x.s.Key("Escape", true);
    else x.s.SendClose(w);
    const auto status = WaitProcess(pid, 15s);
    if (end == End::Escape) x.s.Key("Escape", false);
    if (!status) KillProcess(pid);
    ASSERT_TRUE(status.has_value()) << "still running";
    EXPECT_EQ(status->exited ? -1 : status->signal, killed ? SIGKILL : -1);
    EXPECT_EQ(status->code, 0);
    EXPECT_TRUE(WaitForScreenState(x.s.display(), x.original, 15s)) << "the display stayed switched";
    for (pid_t guard : guards) EXPECT_TRUE(WaitUntil([&] { return ProcessGone(guard); }, 15s)) << "the guard outlived it";
  }
}

// Without a manager the full-screen window rises again over a window mapped later.
TEST(RendererWaysOut, WithoutAManagerItStaysAboveLaterWindows) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  const pid_t pid = s.Start({kRenderer});
  const ::Window w = s.WaitForWindow(kTitle, 10s);
  ASSERT_NE(w, 0u);
  ::Display* d = s.display();
  const ::Window other = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 100, 400, 300, 0, 0, 0xFFFFFF);
  XMapRaised(d, other);
  XSync(d, False);
  auto topmost = [&] {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    ::Window top = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n) && n > 0) top = children[n - 1];
    if (children != nullptr) XFree(children);
    return top;
  };
  bool above = false;
  for (int i = 0; i < 500 && !above; ++i) {
    above = topmost() == w;
    if (!above) std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(above) << "a later window covers the full-screen renderer";
  kill(pid, SIGTERM);
  ExpectEndsWithZero(pid, "renderer");
}

}  // namespace
}  // namespace veltrane::testing
