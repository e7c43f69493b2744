// Veltrane.scr end to end on private Xvfb servers, with and without a window
// manager: saver mode with the real renderer and with stand-ins, the pointer, the
// duplicate-start check, the missing renderer, the preview and outside close requests.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/xvfb_session.h"
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using testing::XvfbSession;

const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";
const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

// Stand-in renderers: one shows a small window titled "Lumora_VC" in a corner,
// leaving the cover visible; one never opens a window. Both note their pid.
std::string WindowStandIn(const std::string& pidFile) {
  return "#!/bin/sh\necho $$ > '" + pidFile +
         "'\nexec xmessage -geometry 150x40+860+720 -title Lumora_VC stand-in\n";
}
std::string SilentStandIn(const std::string& pidFile) {
  return "#!/bin/sh\necho $$ > '" + pidFile + "'\nexec sleep 60\n";
}

// A folder holding a copy of Veltrane.scr and, unless `renderer` is empty, a
// Veltrane.dll with that script text.
struct ShellFolder {
  explicit ShellFolder(const std::string& prefix) : dir(testing::MakeTempDir(prefix)) {
    std::filesystem::copy_file(kScr, dir + "/Veltrane.scr");
    chmod((dir + "/Veltrane.scr").c_str(), 0755);
  }
  void SetRenderer(const std::string& script) {
    std::ofstream(dir + "/Veltrane.dll") << script;
    chmod((dir + "/Veltrane.dll").c_str(), 0755);
  }
  std::string scr() const { return dir + "/Veltrane.scr"; }
  std::string pidFile() const { return dir + "/renderer.pid"; }
  // The stand-in's pid once it has started; 0 before.
  pid_t RendererPid(std::chrono::milliseconds wait = 3s) const {
    auto deadline = std::chrono::steady_clock::now() + wait;
    do {
      std::ifstream in(pidFile());
      pid_t pid = 0;
      if (in >> pid && pid > 0) return pid;
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
  }
  std::string dir;
};

// Stops a stand-in renderer that the test started through the shell.
struct Reaper {
  std::vector<pid_t> pids;
  ~Reaper() {
    for (pid_t p : pids)
      if (p > 0) kill(p, SIGKILL);
  }
};

bool Alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

// The pointer shows in Xvfb's framebuffer but not in what the server hands out
// for the screen, so a difference around its position means it is drawn.
bool PointerShown(XvfbSession& s, int x, int y) {
  s.Sync();
  std::this_thread::sleep_for(100ms);
  auto fb = s.Framebuffer();
  auto screen = s.Capture();
  if (fb.empty() || screen.empty()) return false;
  for (int j = std::max(0, y - 4); j < std::min(fb.height, y + 28); ++j)
    for (int i = std::max(0, x - 4); i < std::min(fb.width, x + 24); ++i)
      if (!(fb.at(i, j) == screen.at(i, j))) return true;
  return false;
}

// The position of the top-level window holding `w` among the root's children
// (bottom first); -1 when it is not found.
int StackIndex(XvfbSession& s, ::Window w) {
  ::Display* d = s.display();
  ::Window root = DefaultRootWindow(d), top = w;
  for (;;) {
    ::Window r, parent, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, top, &r, &parent, &kids, &n)) return -1;
    if (kids) XFree(kids);
    if (parent == root) break;
    top = parent;
  }
  ::Window r, parent, *kids = nullptr;
  unsigned n = 0;
  XQueryTree(d, root, &r, &parent, &kids, &n);
  int index = -1;
  for (unsigned i = 0; i < n; ++i)
    if (kids[i] == top) index = static_cast<int>(i);
  if (kids) XFree(kids);
  return index;
}

// A plain window of the test's own, titled and mapped.
::Window MakeWindow(XvfbSession& s, const std::string& title, int x, int y, int w, int h) {
  ::Display* d = s.display();
  ::Window win = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, BlackPixel(d, DefaultScreen(d)));
  XStoreName(d, win, title.c_str());
  XMapWindow(d, win);
  XSync(d, False);
  return win;
}

// The bare root shows no pointer at all, so the pointer checks keep a window with
// an arrow pointer of the test's own under the pointer, below the saver's windows.
void PointerPad(XvfbSession& s, int x, int y) {
  ::Window pad = MakeWindow(s, "pointer pad", x - 50, y - 50, 100, 100);
  XDefineCursor(s.display(), pad, XCreateFontCursor(s.display(), XC_left_ptr));
  XSync(s.display(), False);
  s.MovePointer(x, y);
}

::Window ChildTitled(XvfbSession& s, ::Window parent, const std::string& title) {
  ::Display* d = s.display();
  ::Window r, p, *kids = nullptr;
  unsigned n = 0;
  ::Window found = 0;
  if (XQueryTree(d, parent, &r, &p, &kids, &n)) {
    for (unsigned i = 0; i < n && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(d, kids[i], &name) && name) {
        if (title == name) found = kids[i];
        XFree(name);
      }
    }
    if (kids) XFree(kids);
  }
  return found;
}

::Window WaitForChild(XvfbSession& s, ::Window parent, const std::string& title, std::chrono::milliseconds t) {
  auto deadline = std::chrono::steady_clock::now() + t;
  do {
    if (::Window w = ChildTitled(s, parent, title)) {
      if (s.Info(w).viewable) return w;
    }
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return 0;
}

void SendClose(XvfbSession& s, ::Window w) {
  ::Display* d = s.display();
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> out;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) out.push_back(std::stoi(name));
  }
  return out;
}

void ExpectEndsWithCodeZero(pid_t pid, std::chrono::milliseconds t, const std::string& what) {
  auto st = testing::WaitProcess(pid, t);
  if (!st) {
    testing::KillProcess(pid);
    ADD_FAILURE() << what << ": still running";
    return;
  }
  EXPECT_TRUE(st->exited) << what << ": ended by signal " << st->signal;
  EXPECT_EQ(st->code, 0) << what;
}

#define REQUIRE_RENDERER()                                                                       \
  do {                                                                                           \
    if (access(kRenderer.c_str(), X_OK) != 0)                                                    \
      GTEST_FAIL() << "the renderer " << kRenderer << " is not built (target veltrane_renderer)"; \
  } while (0)

class WithAndWithoutManager : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Shell, WithAndWithoutManager, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithManager" : "NoManager"; });

// The real renderer: it comes up above the black cover, Escape ends it, and the
// shell follows at its next tick.
TEST_P(WithAndWithoutManager, SaverModeEndToEndWithTheRenderer) {
  REQUIRE_RENDERER();
  XvfbSession s({1024, 768, 24, GetParam()});
  VELTRANE_REQUIRE_XVFB(s);
  pid_t shell = s.Start({kScr, "/s"});
  ::Window cover = s.WaitForWindow("Lumora_Main", 10s);
  ::Window renderer = s.WaitForWindow("Lumora_VC", 10s);
  ASSERT_NE(cover, 0u);
  ASSERT_NE(renderer, 0u);
  auto info = s.Info(cover);
  EXPECT_EQ(info.x, 0);
  EXPECT_EQ(info.y, 0);
  EXPECT_EQ(info.width, 1024);
  EXPECT_EQ(info.height, 768);
  EXPECT_GT(StackIndex(s, renderer), StackIndex(s, cover)) << "the renderer must be above the cover";
  EXPECT_TRUE(Alive(shell));

  std::this_thread::sleep_for(600ms);  // a few supervision ticks pass while the renderer runs
  EXPECT_TRUE(Alive(shell));
  s.TapKey("Escape", 300ms);
  EXPECT_TRUE(s.WaitForWindowGone("Lumora_VC", 5s));
  ExpectEndsWithCodeZero(shell, 3s, "shell after the renderer ended");
  EXPECT_TRUE(s.WaitForWindowGone("Lumora_Main", 2s));
}

// With a stand-in renderer in a corner: the cover is black over the whole
// screen, ignores input, and hides the pointer until the renderer is gone.
TEST_P(WithAndWithoutManager, CoverIsBlackHidesThePointerAndIgnoresInput) {
  XvfbSession s({1024, 768, 24, GetParam()});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("cover");
  folder.SetRenderer(WindowStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  ASSERT_TRUE(PointerShown(s, 300, 300)) << "the pointer should show before the saver starts";
  pid_t shell = s.Start({folder.scr(), "/s"});
  ASSERT_NE(s.WaitForWindow("Lumora_Main", 10s), 0u);
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 10s), 0u);
  reaper.pids.push_back(folder.RendererPid());
  std::this_thread::sleep_for(200ms);
  auto screen = s.Capture();
  for (auto [x, y] : {std::pair{5, 5}, {512, 384}, {1018, 5}, {5, 760}, {700, 600}})
    EXPECT_EQ(screen.at(x, y), (testing::Rgb{0, 0, 0})) << x << "," << y;
  EXPECT_FALSE(PointerShown(s, 300, 300)) << "the pointer should be hidden in saver mode";

  s.MovePointer(400, 420);
  s.TapKey("a", 50ms);
  s.Button(1, true);
  s.Button(1, false);
  s.MovePointer(300, 300);
  std::this_thread::sleep_for(700ms);
  EXPECT_TRUE(Alive(shell)) << "input over the cover must not end the saver";

  kill(reaper.pids[0], SIGTERM);  // the renderer ends
  ExpectEndsWithCodeZero(shell, 3s, "shell after the stand-in ended");
  EXPECT_TRUE(PointerShown(s, 300, 300)) << "the pointer should be back";
}

TEST(Shell, AnEmptyCommandLineRunsTheSaverWithThePointerVisible) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("empty");
  folder.SetRenderer(WindowStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  pid_t shell = s.Start({folder.scr()});
  ASSERT_NE(s.WaitForWindow("Lumora_Main", 10s), 0u);
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 10s), 0u);
  reaper.pids.push_back(folder.RendererPid());
  EXPECT_TRUE(PointerShown(s, 300, 300));
  kill(reaper.pids[0], SIGTERM);
  ExpectEndsWithCodeZero(shell, 3s, "shell");
}

TEST(Shell, TheSaverEndsWhenTheRendererIsKilled) {
  REQUIRE_RENDERER();
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  PointerPad(s, 300, 300);
  pid_t shell = s.Start({kScr, "/s"});
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 10s), 0u);
  auto children = ChildrenOf(shell);
  ASSERT_EQ(children.size(), 1u) << "the shell starts exactly one renderer";
  kill(children[0], SIGKILL);
  ExpectEndsWithCodeZero(shell, 3s, "shell after the renderer was killed");
  EXPECT_TRUE(PointerShown(s, 300, 300));
}

TEST(Shell, ARendererThatNeverOpensAWindowEndsTheSaverAtTheFirstTick) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("silent");
  folder.SetRenderer(SilentStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  pid_t shell = s.Start({folder.scr(), "/s"});
  ExpectEndsWithCodeZero(shell, 3s, "shell with a windowless renderer");
  pid_t standIn = folder.RendererPid();
  reaper.pids.push_back(standIn);
  EXPECT_TRUE(Alive(standIn)) << "the shell never stops the renderer";
  EXPECT_TRUE(PointerShown(s, 300, 300));
}

// A close request from outside ends the saver through its query-unload handler:
// the pointer comes back and the renderer is left running.
class OutsideClose : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};
INSTANTIATE_TEST_SUITE_P(Shell, OutsideClose,
                         ::testing::Values(std::tuple{"SIGTERM", false}, std::tuple{"SIGHUP", false},
                                           std::tuple{"SIGTERM", true}, std::tuple{"WindowClose", true}),
                         [](const auto& info) {
                           return std::get<0>(info.param) + (std::get<1>(info.param) ? "WithManager" : "NoManager");
                         });

TEST_P(OutsideClose, EndsTheSaverAndLeavesTheRendererRunning) {
  auto [how, manager] = GetParam();
  XvfbSession s({1024, 768, 24, manager});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("close");
  folder.SetRenderer(WindowStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  pid_t shell = s.Start({folder.scr(), "/s"});
  ::Window cover = s.WaitForWindow("Lumora_Main", 10s);
  ASSERT_NE(cover, 0u);
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 10s), 0u);
  pid_t standIn = folder.RendererPid();
  reaper.pids.push_back(standIn);
  ASSERT_FALSE(PointerShown(s, 300, 300));
  if (how == "SIGTERM") kill(shell, SIGTERM);
  else if (how == "SIGHUP") kill(shell, SIGHUP);
  else SendClose(s, cover);
  ExpectEndsWithCodeZero(shell, 3s, "shell after " + how);
  EXPECT_TRUE(PointerShown(s, 300, 300));
  EXPECT_TRUE(Alive(standIn));
  EXPECT_NE(s.FindWindow("Lumora_VC"), 0u);
}

// While a cover form or a configuration dialog is on screen, every start ends at
// once: no renderer, no message, no preview.
class DuplicateStart : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};
INSTANTIATE_TEST_SUITE_P(Shell, DuplicateStart,
                         ::testing::Combine(::testing::Values("Lumora_Main", "<Veltrane>"), ::testing::Values(false, true)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == "Lumora_Main" ? "Cover" : "Dialog") +
                                  (std::get<1>(info.param) ? "WithManager" : "NoManager");
                         });

TEST_P(DuplicateStart, EveryModeEndsAtOnce) {
  auto [title, manager] = GetParam();
  XvfbSession s({1024, 768, 24, manager});
  VELTRANE_REQUIRE_XVFB(s);
  // No renderer in the folder: a start that got past the check would show the
  // message box and wait for it.
  ShellFolder folder("duplicate");
  MakeWindow(s, title, 10, 10, 200, 100);
  ::Window host = MakeWindow(s, "host", 400, 300, 152, 112);
  ASSERT_NE(s.WaitForWindow(title, 5s), 0u);
  const std::vector<std::vector<std::string>> starts{
      {"/s"}, {"/S"}, {"/c"}, {"/C:1234"}, {}, {"/a"}, {"/p", std::to_string(host)}};
  for (const auto& args : starts) {
    std::vector<std::string> argv{folder.scr()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string what = args.empty() ? "(empty)" : args[0];
    pid_t pid = s.Start(argv);
    ExpectEndsWithCodeZero(pid, 5s, "start with " + what);
    EXPECT_EQ(s.FindWindow("Veltrane(ScreenSaver)"), 0u) << what;
    EXPECT_EQ(ChildTitled(s, host, "Preview Window"), 0u) << what;
  }
}

// Without Veltrane.dll beside it the shell shows the one message and ends when it
// is dismissed; the preview does not need the renderer.
TEST_P(WithAndWithoutManager, AMissingRendererIsReportedInEveryModeButThePreview) {
  XvfbSession s({1024, 768, 24, GetParam()});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("missing");
  for (std::vector<std::string> args :
       {std::vector<std::string>{"/s"}, {"/c"}, {"/C:1234"}, {"/a"}, std::vector<std::string>{}}) {
    std::vector<std::string> argv{folder.scr()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string what = args.empty() ? "(empty)" : args[0];
    pid_t pid = s.Start(argv);
    ::Window box = s.WaitForWindow("Veltrane(ScreenSaver)", 10s);
    ASSERT_NE(box, 0u) << what;
    EXPECT_EQ(s.FindWindow("Lumora_Main", false), 0u) << what;
    auto info = s.Info(box);
    s.MovePointer(info.x + info.width / 2, info.y + info.height / 2);
    std::this_thread::sleep_for(150ms);
    s.TapKey("Return", 50ms);
    ExpectEndsWithCodeZero(pid, 5s, "message box for " + what);
  }
  ::Window host = MakeWindow(s, "host", 300, 200, 200, 150);
  pid_t preview = s.Start({folder.scr(), "/p", std::to_string(host)});
  EXPECT_NE(WaitForChild(s, host, "Preview Window", 10s), 0u);
  EXPECT_EQ(s.FindWindow("Veltrane(ScreenSaver)"), 0u);
  XDestroyWindow(s.display(), host);
  XSync(s.display(), False);
  ExpectEndsWithCodeZero(preview, 5s, "preview after its host went");
}

// The preview: a child of the host, exactly its size, showing the violet still,
// and gone with the host.
class PreviewSize : public ::testing::TestWithParam<std::pair<int, int>> {};
INSTANTIATE_TEST_SUITE_P(Shell, PreviewSize, ::testing::Values(std::pair{152, 112}, std::pair{200, 150}),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

TEST_P(PreviewSize, FillsTheHostAndEndsWithIt) {
  auto [w, h] = GetParam();
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ::Window host = MakeWindow(s, "Display Settings Preview", 100, 80, w, h);
  pid_t preview = s.Start({kScr, "/p", std::to_string(host)});
  ::Window form = WaitForChild(s, host, "Preview Window", 10s);
  ASSERT_NE(form, 0u) << "the preview form should be a child of the host";
  std::this_thread::sleep_for(300ms);
  auto info = s.Info(form);
  EXPECT_EQ(info.x, 100);
  EXPECT_EQ(info.y, 80);
  EXPECT_EQ(info.width, w);
  EXPECT_EQ(info.height, h);
  auto pic = s.Capture(100, 80, w, h);
  long red = 0, green = 0, blue = 0;
  int lit = 0;
  for (const auto& p : pic.pixels) {
    red += p.r, green += p.g, blue += p.b;
    if (p.sum() > 150) ++lit;
  }
  EXPECT_GT(lit, w * h / 50) << "the still should show bright rings";
  EXPECT_GT(red, 2 * green) << "violet: red well above green";
  EXPECT_GT(blue, 2 * green) << "violet: blue well above green";
  // The corners of a stretched still come from the picture's corners, not from
  // an unpainted background: the picture covers the whole host.
  auto centre = s.Capture(100 + w / 4, 80 + h / 4, w / 2, h / 2);
  long centreSum = 0;
  for (const auto& p : centre.pixels) centreSum += p.sum();
  EXPECT_GT(centreSum / static_cast<long>(centre.pixels.size()), 20) << "densest around the centre";

  XDestroyWindow(s.display(), host);
  XSync(s.display(), False);
  ExpectEndsWithCodeZero(preview, 5s, "preview after its host went");
}

TEST(Shell, APreviewWithoutAUsableHandleEndsAtOnceWithNoWindow) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  for (std::vector<std::string> args : {std::vector<std::string>{"/p", "0"}, {"/p", "abc"}, {"/p", "12345"},
                                        {"/p"}, {"/p1234"}, {"/p", "99999999999"}}) {
    std::vector<std::string> argv{kScr};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = s.Start(argv);
    ExpectEndsWithCodeZero(pid, 5s, "preview with " + args.back());
    EXPECT_EQ(s.FindWindow("Preview Window", false), 0u);
  }
}

}  // namespace
}  // namespace veltrane
