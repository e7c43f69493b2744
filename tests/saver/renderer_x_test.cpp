// Veltrane.scr with the real renderer Veltrane.dll, on private Xvfb servers. These
// tests run alone (RUN_SERIAL): the shell gives the renderer one 500 ms tick to
// open its window, which a loaded machine can miss.
#include "shell_test_support.h"

#include <optional>

namespace veltrane {
namespace {

using namespace shelltest;

// A saver started with the real renderer, past the shell's first tick.
struct RunningSaver {
  pid_t shell = -1;
  pid_t renderer = -1;
  ::Window cover = 0, rendererWindow = 0;
};

// Starts `Veltrane.scr /s` and waits until the shell has made its first check for
// the renderer's window. The shell gives the renderer 500 ms to open it; a
// renderer slowed down by a busy machine misses that and the shell ends, as it
// should. Such a start tells nothing about the shell, so it is tried again.
std::optional<RunningSaver> StartSaver(XvfbSession& s, std::string& why) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    RunningSaver r;
    r.shell = s.Start({kScr, "/s"});
    r.cover = s.WaitForWindow("Lumora_Main", 10s);
    for (int i = 0; i < 200 && r.renderer < 0; ++i) {
      auto children = ChildrenOf(r.shell);
      if (!children.empty()) r.renderer = children[0];
      else std::this_thread::sleep_for(10ms);
    }
    r.rendererWindow = s.WaitForWindow("Lumora_VC", 10s);
    std::this_thread::sleep_for(700ms);
    if (r.cover && r.rendererWindow && Alive(r.shell)) return r;
    why = !r.cover ? "no cover window" : !r.rendererWindow ? "no renderer window"
                                                           : "the renderer missed the shell's first tick";
    if (r.renderer > 0) kill(r.renderer, SIGKILL);
    testing::KillProcess(r.shell);
    s.WaitForWindowGone("Lumora_VC", 5s);
  }
  return std::nullopt;
}

class WithAndWithoutManager : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Renderer, WithAndWithoutManager, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithManager" : "NoManager"; });

// The real renderer: it comes up above the black cover, Escape ends it, and the
// shell follows at its next tick.
TEST_P(WithAndWithoutManager, SaverModeEndToEndWithTheRenderer) {
  REQUIRE_RENDERER();
  XvfbSession s({1024, 768, 24, GetParam()});
  VELTRANE_REQUIRE_XVFB(s);
  std::string why;
  auto saver = StartSaver(s, why);
  ASSERT_TRUE(saver) << why;
  pid_t shell = saver->shell;
  ::Window cover = saver->cover, renderer = saver->rendererWindow;
  auto info = s.Info(cover);
  EXPECT_EQ(info.x, 0);
  EXPECT_EQ(info.y, 0);
  EXPECT_EQ(info.width, 1024);
  EXPECT_EQ(info.height, 768);
  EXPECT_GT(StackIndex(s, renderer), StackIndex(s, cover)) << "the renderer must be above the cover";
  EXPECT_TRUE(Alive(shell));

  std::this_thread::sleep_for(600ms);  // more supervision ticks pass while the renderer runs
  EXPECT_TRUE(Alive(shell));
  s.TapKey("Escape", 300ms);
  EXPECT_TRUE(s.WaitForWindowGone("Lumora_VC", 5s));
  ExpectEndsWithCodeZero(shell, 3s, "shell after the renderer ended");
  EXPECT_TRUE(s.WaitForWindowGone("Lumora_Main", 2s));
}

TEST(Shell, TheSaverEndsWhenTheRendererIsKilled) {
  REQUIRE_RENDERER();
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  PointerPad(s, 300, 300);
  std::string why;
  auto saver = StartSaver(s, why);
  ASSERT_TRUE(saver) << why;
  pid_t shell = saver->shell;
  auto children = ChildrenOf(shell);
  ASSERT_EQ(children.size(), 1u) << "the shell starts exactly one renderer";
  kill(children[0], SIGKILL);
  ExpectEndsWithCodeZero(shell, 3s, "shell after the renderer was killed");
  EXPECT_TRUE(PointerShown(s, 300, 300));
}

}  // namespace
}  // namespace veltrane
