// Veltrane.dll's full-screen run in Wayland sessions, alone and under
// Veltrane.scr /s: on a private headless sway (layer shell) it covers every
// output with a moving field, sway manages no window of it, the output modes
// stay, and it ends with 0 leaving nothing behind, also when its compositor
// goes; on headless KWin it covers every output and ends on Escape; on
// headless weston (no layer shell) the full-screen toplevel covers the output;
// with no compositor to reach it says so and fails. A stopped or silent
// compositor never holds it up, and only Escape (as the keymap says) ends it.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "support/wayland_session.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using namespace testing;

enum class Ending { HeldEscape, Sigterm };

bool EveryOutput(WaylandSession& s, bool (*test)(const Picture&)) {
  for (const std::string& name : s.outputNames())
    if (!test(s.Capture(name))) return false;
  return true;
}

bool ShowsDesktop(const Picture& p) { return !p.empty() && p.at(p.width / 2, p.height / 2) == kDesktopColour; }

// Every output of `s` covered, the first with a moving, lit field.
void ExpectCoveredWithMovingField(WaylandSession& s) {
  EXPECT_TRUE(WaitUntil([&] { return EveryOutput(s, Covered); }, 30s, 100ms)) << "an output shows the desktop";
  const std::string first = s.outputNames().front();
  const Picture earlier = s.Capture(first);
  EXPECT_TRUE(WaitUntil(
      [&] {
        const Picture later = s.Capture(first);
        return MiddleLit(later) && later.pixels != earlier.pixels;
      },
      20s, 50ms))
      << "no moving field on " << first;
}

// `pid` ends with 0 (once `holder`, a process holding a key, if any, is no longer
// needed) and leaves no process and no surface behind.
void ExpectEndedCleanly(WaylandSession& s, pid_t pid, std::optional<pid_t> holder = std::nullopt) {
  const std::optional<ExitStatus> end = WaitProcess(pid, 20s);
  if (holder) KillProcess(*holder);
  ASSERT_TRUE(end.has_value()) << "still running";
  EXPECT_TRUE(end->exited) << "ended by signal " << end->signal;
  EXPECT_EQ(end->code, 0);
  EXPECT_TRUE(WaitUntil([&] { return s.Clients().empty(); }, 10s)) << "a process is left";
  EXPECT_TRUE(WaitUntil([&] { return EveryOutput(s, ShowsDesktop); }, 10s, 50ms)) << "a surface is left";
}

// `pid` is the program under test (the renderer, or the shell that runs it),
// started by the test in `s` just now; `modes` are the outputs before it started.
void ExpectSaverRun(SwaySession& s, pid_t pid, const std::vector<OutputInfo>& modes, Ending ending) {
  ExpectCoveredWithMovingField(s);
  EXPECT_EQ(s.Views(), std::vector<std::string>{}) << "sway manages a window of ours";
  EXPECT_EQ(s.Outputs(), modes);

  std::optional<pid_t> holder;
  if (ending == Ending::HeldEscape) {
    // Escape stays down on one virtual keyboard until the program has ended.
    holder = s.Start({"wtype", "-P", "Escape", "-s", "20000", "-p", "Escape"});
  } else {
    kill(pid, SIGTERM);
  }
  ExpectEndedCleanly(s, pid, holder);
}

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";

struct Case {
  bool viaShell;  // Veltrane.scr /s, which runs the renderer without a cover
  int outputs;
  Ending ending;
};

std::string NameOf(const Case& c) {
  return std::string(c.viaShell ? "Shell" : "Renderer") + std::to_string(c.outputs) + "Outputs" +
         (c.ending == Ending::HeldEscape ? "Escape" : "Sigterm");
}
void PrintTo(const Case& c, std::ostream* os) { *os << NameOf(c); }

class SaverOnSway : public ::testing::TestWithParam<Case> {};
INSTANTIATE_TEST_SUITE_P(Wayland, SaverOnSway,
                         ::testing::ValuesIn(std::vector<Case>{
                             {false, 1, Ending::HeldEscape}, {false, 2, Ending::HeldEscape},
                             {false, 1, Ending::Sigterm}, {false, 2, Ending::Sigterm},
                             {true, 1, Ending::HeldEscape}, {true, 2, Ending::HeldEscape},
                             {true, 1, Ending::Sigterm}, {true, 2, Ending::Sigterm}}),
                         [](const auto& info) { return NameOf(info.param); });

TEST_P(SaverOnSway, CoversEveryOutputAndEndsCleanly) {
  SwaySession s({GetParam().outputs, 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const std::vector<OutputInfo> modes = s.Outputs();
  const std::string renderer = s.Stage(kRenderer);
  const pid_t pid = GetParam().viaShell ? s.Start({s.Stage(kScr), "/s"}) : s.Start({renderer});
  ExpectSaverRun(s, pid, modes, GetParam().ending);
}

// KWin, KDE Plasma's compositor, with the layer shell on one and two outputs.
class SaverOnKWin : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Wayland, SaverOnKWin, ::testing::Values(1, 2),
                         [](const auto& info) { return std::to_string(info.param) + "Outputs"; });

TEST_P(SaverOnKWin, CoversEveryOutputAndEndsOnEscape) {
  KWinSession s({GetParam(), 800, 600});
  VELTRANE_REQUIRE_WAYLAND(s, "kwin_wayland");
  const pid_t renderer = s.Start({s.Stage(kRenderer)});
  ExpectCoveredWithMovingField(s);
  constexpr int kEvdevEscape = 1;
  ExpectEndedCleanly(s, renderer, s.HoldKey(kEvdevEscape));
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

// A socket that takes connections and never answers: a compositor hung before
// its first word. Connections it accepted stay open until it goes.
class SilentCompositor {
 public:
  explicit SilentCompositor(const std::string& path) : path_(path) {
    sockaddr_un address{AF_UNIX, {}};
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    chmod(path.c_str(), 0777);  // the session's user connects
    listen(fd_, 8);
  }
  ~SilentCompositor() {
    for (int fd : accepted_) close(fd);
    close(fd_);
    unlink(path_.c_str());
  }
  // True once a client has connected and sent its first requests.
  bool ClientWaiting() {
    if (const int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK); fd >= 0) accepted_.push_back(fd);
    char byte;
    return std::any_of(accepted_.begin(), accepted_.end(), [&](int c) { return recv(c, &byte, 1, MSG_PEEK) == 1; });
  }

 private:
  std::string path_;
  int fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  std::vector<int> accepted_;
};

enum class Fault {
  StoppedCompositorThenSigterm, StoppedCompositorThenShellKilled, LifelineNamesOwnDescriptor,
  HeldLetterThenHeldEscape,  // through wtype's keyboard, whose keymap gives 'a' Escape's evdev code
  SilentCompositorForced, SilentCompositorNoX, SilentCompositorThenSigterm,
};
struct FaultCase {
  const char* name;
  Fault fault;
  int code;  // the renderer's exit code; one line on stderr when not 0
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class RendererFaultOnSway : public ::testing::TestWithParam<FaultCase> {};
INSTANTIATE_TEST_SUITE_P(Wayland, RendererFaultOnSway,
                         ::testing::ValuesIn(std::vector<FaultCase>{
                             {"StoppedCompositorThenSigterm", Fault::StoppedCompositorThenSigterm, 0},
                             {"StoppedCompositorThenShellKilled", Fault::StoppedCompositorThenShellKilled, 0},
                             {"LifelineNamesOwnDescriptor", Fault::LifelineNamesOwnDescriptor, 0},
                             {"HeldLetterThenHeldEscape", Fault::HeldLetterThenHeldEscape, 0},
                             {"SilentCompositorForced", Fault::SilentCompositorForced, 1},
                             {"SilentCompositorNoX", Fault::SilentCompositorNoX, 255},  // X11 fallback, no X
                             {"SilentCompositorThenSigterm", Fault::SilentCompositorThenSigterm, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

std::string Contents(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_P(RendererFaultOnSway, EndsAsItShouldAndSaysOneLineOnFailure) {
  SwaySession s;
  VELTRANE_REQUIRE_WAYLAND(s, "sway");
  const Fault fault = GetParam().fault;
  const std::string renderer = s.Stage(kRenderer), log = s.PathFor("renderer.log");
  const bool silent = fault >= Fault::SilentCompositorForced, viaShell = fault == Fault::StoppedCompositorThenShellKilled;
  std::optional<SilentCompositor> compositor;
  pid_t started = 0, pid = 0;
  std::optional<pid_t> holder;
  if (silent) {
    compositor.emplace(s.PathFor("silent-0"));
    std::vector<std::string> env{"WAYLAND_DISPLAY=" + s.PathFor("silent-0")};
    if (fault != Fault::SilentCompositorNoX) env.push_back("VELTRANE_BACKEND=wayland");
    pid = s.Start({renderer}, env, log);
    if (fault == Fault::SilentCompositorThenSigterm) {
      ASSERT_TRUE(WaitUntil([&] { return compositor->ClientWaiting(); }, 20s, 20ms)) << "never connected";
      kill(pid, SIGTERM);
    }
  } else {
    // With 3 and up closed, the renderer's first descriptor of its own (its stop pipe) is 3.
    started = pid = viaShell ? s.Start({s.Stage(kScr), "/s"})
                  : fault == Fault::LifelineNamesOwnDescriptor
                      ? s.Start({"sh", "-c", "exec 3<&- 4<&- 5<&- 6<&- 7<&- 8<&- 9<&-; exec \"$0\"", renderer},
                                {"VELTRANE_SHELL_LIFELINE=3"}, log)
                      : s.Start({renderer}, {}, log);
    ASSERT_TRUE(WaitUntil([&] { return Covered(s.Capture(s.outputNames().front())); }, 30s, 100ms));
    const auto rendererUnderShell = [&] {
      for (pid_t child : ChildrenOf(started))
        if (Contents("/proc/" + std::to_string(child) + "/cmdline").find("Veltrane.dll") != std::string::npos)
          return pid = child, true;
      return false;
    };
    ASSERT_TRUE(!viaShell || WaitUntil(rendererUnderShell, 10s)) << "no renderer under the shell";
    if (fault == Fault::HeldLetterThenHeldEscape) {
      EXPECT_EQ(s.Run({"wtype", "-P", "a", "-s", "1500", "-p", "a"}).code, 0);
      EXPECT_FALSE(WaitProcess(pid, 0ms).has_value()) << "a held letter ended it";
      holder = s.Start({"wtype", "-P", "Escape", "-s", "20000", "-p", "Escape"});
    } else {
      if (fault != Fault::LifelineNamesOwnDescriptor) kill(s.compositor(), SIGSTOP);
      kill(started, viaShell ? SIGKILL : SIGTERM);
    }
  }
  const bool ended = WaitUntil([&] { return ProcessGone(pid); }, 30s);
  kill(s.compositor(), SIGCONT);
  if (holder) KillProcess(*holder);
  ASSERT_TRUE(ended) << "still running";
  if (viaShell) return;  // not our child: gone is all we can see
  const std::optional<ExitStatus> end = WaitProcess(pid, 10s);
  ASSERT_TRUE(end.has_value());
  EXPECT_TRUE(end->exited && end->code == GetParam().code) << "signal " << end->signal << ", code " << end->code;
  const std::string text = Contents(log);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), GetParam().code == 0 ? 0 : 1) << text;
  EXPECT_TRUE(GetParam().code == 0 || text.rfind("Veltrane.dll: ", 0) == 0) << text;
}

}  // namespace
}  // namespace veltrane
