// What the launcher's tests on each kind of session share: the saver it runs,
// its output, its programs staged side by side, and its end on SIGTERM or with
// its compositor.
#pragma once

#include <signal.h>

#include <string>

#include "support/child_process.h"
#include "support/xvfb_session.h"  // WaitUntil

namespace veltrane::testing {

// The saver the launcher runs now, or -1.
inline pid_t SaverOf(pid_t launcher) {
  const std::vector<pid_t> children = ChildrenOf(launcher);
  return children.empty() ? -1 : children.front();
}

// The three programs side by side where the session's user reaches them, as in
// the build tree; returns the launcher's path.
template <typename Session>
std::string StageLauncher(Session& s) {
  s.Stage(std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll");
  s.Stage(std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr");
  return s.Stage(std::string(VELTRANE_BIN_DIR) + "/veltrane-idle");
}

// SIGTERM ends the launcher with 0 and the saver it runs (if any) with it.
inline void ExpectEndsWithZero(pid_t launcher, pid_t saver) {
  using namespace std::chrono_literals;
  kill(launcher, SIGTERM);
  const std::optional<ExitStatus> end = WaitProcess(launcher, 20s);
  ASSERT_TRUE(end.has_value()) << "still running after SIGTERM";
  EXPECT_TRUE(end->exited && end->code == 0) << "signal " << end->signal << ", code " << end->code;
  if (saver > 0) {
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(saver); }, 20s)) << "the saver outlived it";
  }
}

// Once it has said which idle clock it uses, the launcher ends with 0 when the
// session's compositor goes: the session is gone.
template <typename Session>
void ExpectEndsWithItsCompositor(Session& s) {
  using namespace std::chrono_literals;
  const std::string log = s.PathFor("launcher.out");
  const pid_t launcher = s.Start({StageLauncher(s), "--timeout", "600"}, {}, log);
  ASSERT_TRUE(WaitUntil([&] { return ReadFile(log).find("idle clock:") != std::string::npos; }, 30s)) << ReadFile(log);
  s.EndCompositor();
  const std::optional<ExitStatus> end = WaitProcess(launcher, 30s);
  ASSERT_TRUE(end.has_value()) << "still running without its compositor";
  EXPECT_TRUE(end->exited && end->code == 0) << "signal " << end->signal << ", code " << end->code;
}

}  // namespace veltrane::testing
