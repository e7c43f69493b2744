// Veltrane.dll as the saver module of a real host, XSecureLock, on a private Xvfb:
// the locker starts it with -root in its own saver window, it draws there without
// touching the display mode, and it ends when the locker ends.
#include "support/xvfb_session.h"
#include "support/randr_state.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
constexpr const char* kXSecureLock = "/usr/bin/xsecurelock";

// Every process below `root`, with its command line.
void Descendants(pid_t root, std::vector<std::pair<pid_t, std::string>>& out) {
  for (pid_t child : ChildrenOf(root)) {
    std::ifstream in("/proc/" + std::to_string(child) + "/cmdline");
    std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : cmdline) c = c == '\0' ? ' ' : c;
    out.emplace_back(child, cmdline);
    Descendants(child, out);
  }
}

pid_t RendererBelow(pid_t root) {
  std::vector<std::pair<pid_t, std::string>> all;
  Descendants(root, all);
  for (const auto& [pid, cmdline] : all)
    if (cmdline.rfind(kRenderer + " -root", 0) == 0) return pid;
  return -1;
}

bool Running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

TEST(RealHost, XSecureLockRunsItAsItsSaverAndEndsIt) {
  ASSERT_EQ(access(kXSecureLock, X_OK), 0) << "xsecurelock is not installed (scripts/deps.sh installs it)";
  XvfbSession s({1280, 1024, 24, false});
  VELTRANE_REQUIRE_XVFB(s);
  ASSERT_TRUE(AddRealMode1024x768(s.display()));
  const ScreenState original = ReadScreenState(s.display());
  const pid_t locker = s.Start({kXSecureLock}, {"XSECURELOCK_SAVER=" + kRenderer, "XSECURELOCK_NO_COMPOSITE=1"});

  pid_t renderer = -1;
  for (int i = 0; i < 1000 && renderer < 0; ++i) {
    renderer = RendererBelow(locker);
    if (renderer < 0) std::this_thread::sleep_for(10ms);
  }
  ASSERT_GT(renderer, 0) << "the locker did not start the renderer";

  // The field streams out of the middle of the locker's window.
  auto litCentre = [&] {
    const Picture p = s.Capture(640 - 64, 512 - 64, 128, 128);
    int lit = 0;
    for (const Rgb& px : p.pixels) lit += px.sum() > 60 ? 1 : 0;
    return lit;
  };
  int lit = 0;
  for (int i = 0; i < 300 && lit < 200; ++i) {
    lit = litCentre();
    if (lit < 200) std::this_thread::sleep_for(50ms);
  }
  EXPECT_GE(lit, 200) << "nothing drawn in the locker's window";
  EXPECT_EQ(ReadScreenState(s.display()), original) << "the display mode changed under the locker";

  kill(locker, SIGTERM);
  const auto status = WaitProcess(locker, 20s);
  if (!status) KillProcess(locker);
  ASSERT_TRUE(status.has_value()) << "the locker did not end";
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    gone = !Running(renderer);
    if (!gone) std::this_thread::sleep_for(10ms);
  }
  if (!gone) kill(renderer, SIGKILL);
  EXPECT_TRUE(gone) << "the renderer outlived its locker";
  EXPECT_EQ(ReadScreenState(s.display()), original);
}

}  // namespace
}  // namespace veltrane::testing
