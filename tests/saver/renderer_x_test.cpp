// Veltrane.scr with the real renderer Veltrane.dll, on private Xvfb servers.
#include "shell_test_support.h"

#include <map>
#include <optional>
#include <set>

namespace veltrane {
namespace {

using namespace shelltest;

// A saver started with the real renderer, both windows up.
struct RunningSaver {
  pid_t shell = -1;
  ::Window cover = 0, rendererWindow = 0;
};

// Starts `Veltrane.scr /s` and waits until the cover and the renderer's window
// are up, with a bridge for the shell's first look.
std::optional<RunningSaver> StartSaver(XvfbSession& s, std::string& why,
                                       const std::vector<std::string>& command = {kScr, "/s"}) {
  Bridge bridge(s);
  RunningSaver r;
  r.shell = s.Start(command);
  r.cover = s.WaitForWindow("Lumora_Main", 20s);
  r.rendererWindow = s.WaitForWindow("Lumora_VC", 20s);  // mapped: the renderer's, not the bridge
  bridge.Close();
  if (r.cover && r.rendererWindow && Alive(r.shell)) return r;
  why = !r.cover ? "no cover window" : !r.rendererWindow ? "no renderer window" : "the shell ended";
  for (pid_t child : ChildrenOf(r.shell)) kill(child, SIGKILL);
  testing::KillProcess(r.shell);
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
  // A window manager may still be placing and stacking the two windows.
  testing::WaitUntil(
      [&] {
        auto i = s.Info(cover);
        return i.x == 0 && i.y == 0 && i.width == 1024 && i.height == 768 &&
               StackIndex(s, renderer) > StackIndex(s, cover);
      },
      10s);
  auto info = s.Info(cover);
  EXPECT_EQ(info.x, 0);
  EXPECT_EQ(info.y, 0);
  EXPECT_EQ(info.width, 1024);
  EXPECT_EQ(info.height, 768);
  EXPECT_GT(StackIndex(s, renderer), StackIndex(s, cover)) << "the renderer must be above the cover";
  EXPECT_TRUE(Alive(shell));

  std::this_thread::sleep_for(1200ms);  // supervision ticks that find the renderer's window pass
  EXPECT_TRUE(Alive(shell));
  // Escape held until the renderer's window is gone, however slow its frames are.
  s.Key("Escape", true);
  EXPECT_TRUE(s.WaitForWindowGone("Lumora_VC", 20s));
  s.Key("Escape", false);
  ExpectEndsWithCodeZero(shell, 10s, "shell after the renderer ended");
  EXPECT_TRUE(s.WaitForWindowGone("Lumora_Main", 10s));
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
  ExpectEndsWithCodeZero(shell, 10s, "shell after the renderer was killed");
  EXPECT_TRUE(PointerShown(s, 300, 300));
}

// What each open descriptor of a process refers to.
std::map<int, std::string> OpenFiles(pid_t pid) {
  std::map<int, std::string> files;
  const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error) files[std::stoi(entry.path().filename().string())] = target.string();
  }
  return files;
}

// Descriptors the shell's own parent left open are not passed on to the
// renderer; its lifeline, a pipe shared with the shell, is.
TEST(Shell, TheRendererGetsItsLifelineAndNoDescriptorOfTheShellsParent) {
  REQUIRE_RENDERER();
  XvfbSession s({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  const std::string marker = testing::MakeTempDir("inherited") + "/marker";
  std::ofstream(marker) << "x";
  std::string why;
  auto saver = StartSaver(s, why, {"/bin/sh", "-c", R"(exec 5<"$1" 6<"$1" 7<"$1" 9<"$1" && exec "$0" /s)", kScr, marker});
  ASSERT_TRUE(saver) << why;
  const auto children = ChildrenOf(saver->shell);
  ASSERT_EQ(children.size(), 1u);
  const auto shellFiles = OpenFiles(saver->shell), rendererFiles = OpenFiles(children[0]);
  for (int fd : {5, 6, 7, 9}) EXPECT_EQ(shellFiles.count(fd) ? shellFiles.at(fd) : "", marker) << "shell fd " << fd;
  std::set<std::string> shellPipes;
  for (const auto& [fd, file] : shellFiles)
    if (file.starts_with("pipe:")) shellPipes.insert(file);
  int lifelines = 0;
  for (const auto& [fd, file] : rendererFiles) {
    EXPECT_NE(file, marker) << "the renderer holds the shell's parent's descriptor " << fd;
    lifelines += fd > 2 && shellPipes.count(file) ? 1 : 0;  // 0-2 may be a pipe of the test's
  }
  EXPECT_EQ(lifelines, 1) << "the renderer should hold its lifeline";
  kill(saver->shell, SIGTERM);
  ExpectEndsWithCodeZero(saver->shell, 10s, "shell");
}

}  // namespace
}  // namespace veltrane
