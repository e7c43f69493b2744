// Veltrane.scr end to end on private Xvfb servers, with and without a window
// manager, with stand-in renderers: the cover, the pointer, the duplicate-start
// check, the missing renderer, the preview and outside close requests.
#include "shell_test_support.h"

namespace veltrane {
namespace {

using namespace shelltest;

class WithAndWithoutManager : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Shell, WithAndWithoutManager, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithManager" : "NoManager"; });

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
  Bridge bridge(s);
  pid_t shell = s.Start({folder.scr(), "/s"});
  ASSERT_NE(s.WaitForWindow("Lumora_Main", 10s), 0u);
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 20s), 0u);
  bridge.Close();
  reaper.pids.push_back(folder.RendererPid());
  const std::vector<std::pair<int, int>> points{{5, 5}, {512, 384}, {1018, 5}, {5, 760}, {700, 600}};
  auto black = [&](const testing::Picture& screen) {
    for (auto [x, y] : points)
      if (!(screen.at(x, y) == testing::Rgb{0, 0, 0})) return false;
    return true;
  };
  testing::WaitUntil([&] { return black(s.Capture()); }, 10s, 50ms);  // the cover painted
  auto screen = s.Capture();
  for (auto [x, y] : points) EXPECT_EQ(screen.at(x, y), (testing::Rgb{0, 0, 0})) << x << "," << y;
  EXPECT_TRUE(PointerHidden(s, 300, 300)) << "the pointer should be hidden in saver mode";

  s.MovePointer(400, 420);
  s.TapKey("a", 50ms);
  s.Button(1, true);
  s.Button(1, false);
  s.MovePointer(300, 300);
  std::this_thread::sleep_for(700ms);
  EXPECT_TRUE(Alive(shell)) << "input over the cover must not end the saver";

  kill(reaper.pids[0], SIGTERM);  // the renderer ends
  ExpectEndsWithCodeZero(shell, 10s, "shell after the stand-in ended");
  EXPECT_TRUE(PointerShown(s, 300, 300)) << "the pointer should be back";
}

TEST(Shell, AnEmptyCommandLineRunsTheSaverWithThePointerVisible) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("empty");
  folder.SetRenderer(WindowStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  Bridge bridge(s);
  pid_t shell = s.Start({folder.scr()});
  ASSERT_NE(s.WaitForWindow("Lumora_Main", 10s), 0u);
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 20s), 0u);
  bridge.Close();
  reaper.pids.push_back(folder.RendererPid());
  EXPECT_TRUE(PointerShown(s, 300, 300));
  kill(reaper.pids[0], SIGTERM);
  ExpectEndsWithCodeZero(shell, 10s, "shell");
}

TEST(Shell, ARendererThatNeverOpensAWindowEndsTheSaverAtTheFirstTick) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("silent");
  folder.SetRenderer(SilentStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  pid_t shell = s.Start({folder.scr(), "/s"});
  ExpectEndsWithCodeZero(shell, 10s, "shell with a windowless renderer");
  pid_t standIn = folder.RendererPid();
  reaper.pids.push_back(standIn);
  EXPECT_TRUE(Alive(standIn)) << "the shell never stops the renderer";
  EXPECT_TRUE(PointerShown(s, 300, 300));
}

// A close request from outside ends the saver through its query-unload handler:
// the pointer comes back; a signal also stops the renderer, a window close does not.
class OutsideClose : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};
INSTANTIATE_TEST_SUITE_P(Shell, OutsideClose,
                         ::testing::Values(std::tuple{"SIGTERM", false}, std::tuple{"SIGHUP", false},
                                           std::tuple{"SIGTERM", true}, std::tuple{"WindowClose", true}),
                         [](const auto& info) {
                           return std::get<0>(info.param) + (std::get<1>(info.param) ? "WithManager" : "NoManager");
                         });

TEST_P(OutsideClose, EndsTheSaverAndStopsTheRendererOnlyOnASignal) {
  auto [how, manager] = GetParam();
  XvfbSession s({1024, 768, 24, manager});
  VELTRANE_REQUIRE_XVFB(s);
  ShellFolder folder("close");
  folder.SetRenderer(WindowStandIn(folder.pidFile()));
  Reaper reaper;
  PointerPad(s, 300, 300);
  Bridge bridge(s);
  pid_t shell = s.Start({folder.scr(), "/s"});
  ::Window cover = s.WaitForWindow("Lumora_Main", 10s);
  ASSERT_NE(cover, 0u);
  ASSERT_NE(s.WaitForWindow("Lumora_VC", 20s), 0u);
  bridge.Close();
  pid_t standIn = folder.RendererPid();
  reaper.pids.push_back(standIn);
  ASSERT_TRUE(PointerHidden(s, 300, 300));
  if (how == "SIGTERM") kill(shell, SIGTERM);
  else if (how == "SIGHUP") kill(shell, SIGHUP);
  else s.SendClose(cover);
  ExpectEndsWithCodeZero(shell, 10s, "shell after " + how);
  EXPECT_TRUE(PointerShown(s, 300, 300));
  // A host stops a saver by signalling the shell, and the renderer stops with it;
  // a window closed from outside lets the renderer run on.
  if (how == "WindowClose") {
    EXPECT_TRUE(Alive(standIn));
    EXPECT_NE(s.FindWindow("Lumora_VC"), 0u);
  } else {
    EXPECT_TRUE(s.WaitForWindowGone("Lumora_VC", 5s));
  }
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
    ExpectEndsWithCodeZero(pid, 10s, "start with " + what);
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
    // Return dismisses the box once it has the keyboard focus, which a window
    // manager gives it in its own time; pressed again until the program ends.
    std::optional<testing::ExitStatus> st;
    for (int i = 0; i < 20 && !st; ++i) {
      s.TapKey("Return", 50ms);
      st = testing::WaitProcess(pid, 1s);
    }
    if (!st) testing::KillProcess(pid);
    ASSERT_TRUE(st.has_value()) << "message box for " << what << ": still running";
    EXPECT_TRUE(st->exited && st->code == 0) << "message box for " << what;
  }
  ::Window host = MakeWindow(s, "host", 300, 200, 200, 150);
  pid_t preview = s.Start({folder.scr(), "/p", std::to_string(host)});
  EXPECT_NE(WaitForChild(s, host, "Preview Window", 10s), 0u);
  EXPECT_EQ(s.FindWindow("Veltrane(ScreenSaver)"), 0u);
  XDestroyWindow(s.display(), host);
  XSync(s.display(), False);
  ExpectEndsWithCodeZero(preview, 10s, "preview after its host went");
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
  auto litPixels = [&] {
    int lit = 0;
    for (const auto& p : s.Capture(100, 80, w, h).pixels) lit += p.sum() > 150 ? 1 : 0;
    return lit;
  };
  testing::WaitUntil([&] { return litPixels() > w * h / 50; }, 10s, 50ms);  // the still painted
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
  ExpectEndsWithCodeZero(preview, 10s, "preview after its host went");
}

TEST(Shell, APreviewWithoutAUsableHandleEndsAtOnceWithNoWindow) {
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  for (std::vector<std::string> args : {std::vector<std::string>{"/p", "0"}, {"/p", "abc"}, {"/p", "12345"},
                                        {"/p"}, {"/p1234"}, {"/p", "99999999999"}}) {
    std::vector<std::string> argv{kScr};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = s.Start(argv);
    ExpectEndsWithCodeZero(pid, 10s, "preview with " + args.back());
    EXPECT_EQ(s.FindWindow("Preview Window", false), 0u);
  }
}

}  // namespace
}  // namespace veltrane
