// What the launcher's tests on each kind of session share: the saver it runs,
// its output, its programs staged side by side, its start-and-again run, and
// its end on SIGTERM or with its compositor.
#pragma once

#include <signal.h>

#include <functional>
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

// No saver for `held` while another client holds the launcher off (a state
// that holds, so watched the whole while); once `letGo` has run, one within
// `within`; SIGTERM then ends both.
inline void ExpectHeldOffUntilLetGo(pid_t launcher, std::chrono::milliseconds held,
                                    const std::function<void()>& letGo, std::chrono::milliseconds within) {
  EXPECT_FALSE(WaitUntil([&] { return SaverOf(launcher) > 0; }, held)) << "the saver started while held off";
  letGo();
  pid_t saver = -1;
  EXPECT_TRUE(WaitUntil([&] { return (saver = SaverOf(launcher)) > 0; }, within)) << "no saver once let go";
  ExpectEndsWithZero(launcher, saver);
}

// The launcher with a 2 s time-out: the saver starts with no input, says it
// uses `clock` and `covered()` comes true; `escape(saver)` ends the saver with
// Escape (it returns the process that holds the key down, to be ended with
// SIGTERM once the saver has gone, or -1); the next idle period starts it again;
// SIGTERM then ends both.
template <typename Session, typename Covered, typename Escape>
void ExpectStartsEndsOnEscapeAndStartsAgain(Session& s, const std::string& clock, Covered covered, Escape escape) {
  using namespace std::chrono_literals;
  const std::string log = s.PathFor("launcher.out");
  const pid_t launcher = s.Start({StageLauncher(s), "--timeout", "2"}, {}, log);

  pid_t first = -1;
  ASSERT_TRUE(WaitUntil([&] { return (first = SaverOf(launcher)) > 0; }, 60s)) << ReadFile(log);
  EXPECT_NE(ReadFile(log).find("veltrane-idle: idle clock: " + clock), std::string::npos) << ReadFile(log);
  EXPECT_TRUE(WaitUntil(covered, 60s, 100ms)) << "the saver does not cover every output";

  const pid_t key = escape(first);
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(first) && SaverOf(launcher) != first; }, 60s));
  if (key > 0) {
    // Asked to end, the key lets go; a key left down would repeat, and
    // compositors count each repeat as input.
    kill(key, SIGTERM);
    EXPECT_TRUE(WaitProcess(key, 20s).has_value());
  }

  pid_t second = -1;
  EXPECT_TRUE(WaitUntil([&] { return (second = SaverOf(launcher)) > 0 && second != first; }, 60s))
      << "no saver after the next idle period";
  EXPECT_TRUE(WaitUntil(covered, 60s, 100ms));
  ExpectEndsWithZero(launcher, second);
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
