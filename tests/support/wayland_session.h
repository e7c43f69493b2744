// A private headless Wayland compositor for one test: sway (with swaymsg, grim
// and wtype to look and type) or weston (pictures through weston-screenshooter).
// Everything lives in a private folder of its own (runtime folder, HOME, XDG
// folders, configuration); nothing of the user's session is touched. sway refuses
// to run as root, so a test run as root runs the compositor and every client as
// the unprivileged user "nobody", from programs copied where that user can reach
// them (Stage).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/xvfb_session.h"  // Picture, Rgb, WaitUntil

namespace veltrane::testing {

struct WaylandOptions {
  int outputs = 1;  // 1 or 2, side by side
  int width = 1024, height = 768;
};

// The desktop's colour, so that a covered output can be told from an uncovered one.
inline constexpr Rgb kDesktopColour{0x33, 0x66, 0x99};

struct OutputInfo {
  std::string name;
  int x = 0, y = 0, width = 0, height = 0;  // position in the layout, current mode
  bool operator==(const OutputInfo&) const = default;
};

// True when no stretch of the desktop shows: none of the four corners is the
// desktop's colour and under 0.1% of the picture is (a ring may hit it by chance).
bool Covered(const Picture& p);
// True when a pixel of the 32 x 32 square at the middle is lit (not black, not the desktop).
bool MiddleLit(const Picture& p);

class WaylandSession {
 public:
  virtual ~WaylandSession();
  WaylandSession(const WaylandSession&) = delete;
  WaylandSession& operator=(const WaylandSession&) = delete;

  // False when the compositor could not start; why() says what went wrong.
  bool ok() const { return compositor_ > 0 && !socket_.empty(); }
  const std::string& why() const { return why_; }

  // Environment for clients: WAYLAND_DISPLAY, the private runtime, HOME and XDG
  // folders, no X display and no session bus.
  virtual std::vector<std::string> env() const;
  // Copies a program into the session's programs folder (reachable by the session's
  // user) under `name` (its own file name when empty) and returns the copy's path.
  std::string Stage(const std::string& program, const std::string& name = "");
  // Writes an executable script into the programs folder; returns its path.
  std::string StageScript(const std::string& name, const std::string& text);
  // A path in the session's private folder that the session's user may write.
  std::string PathFor(const std::string& name) const { return dir_ + "/" + name; }

  pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
              const std::string& outputPath = "");
  ExitStatus Run(const std::vector<std::string>& argv, std::string* output = nullptr,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20), const std::string& cwd = "");

  // The processes of the session's clients still running: every process with the
  // session's runtime folder but those running when the session became ready (the
  // compositor and the helpers it started itself).
  std::vector<pid_t> Clients() const;

  // Ends the compositor alone: its clients lose their connection.
  void EndCompositor();
  pid_t compositor() const { return compositor_; }

  virtual Picture Capture(const std::string& output) = 0;
  const std::vector<std::string>& outputNames() const { return outputNames_; }

 protected:
  WaylandSession();
  // Starts a private D-Bus daemon listening on `socket` and returns its address;
  // empty (and why() says so) when it did not come up.
  std::string StartBus(const std::string& socket);
  // A private session bus in the runtime folder, which env() then names.
  bool StartSessionBus();
  // Starts the compositor and waits up to `limit` for its socket (`socket`, or any
  // wayland-N when empty).
  void Launch(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& socket,
              std::chrono::milliseconds limit = std::chrono::seconds(20));
  std::string dir_, runtime_, programs_, socket_, why_;
  // Every process with the session's runtime folder in its environment.
  std::vector<pid_t> SessionProcesses() const;
  void MarkReady();
  std::optional<RunAs> user_;
  pid_t compositor_ = -1;
  std::vector<pid_t> helpers_;
  std::vector<std::string> outputNames_;
  std::string bus_;  // the private session bus's address; empty when there is none
};

class SwaySession : public WaylandSession {
 public:
  explicit SwaySession(const WaylandOptions& options = {});
  std::vector<std::string> env() const override;
  // The output as grim reads it.
  Picture Capture(const std::string& output) override;
  // Keys go through wtype, whose virtual keyboard lasts one call: to hold a key
  // while something happens, Start {"wtype", "-P", KEY, "-s", MS, "-p", KEY}.
  // The outputs' names, positions and current modes.
  std::vector<OutputInfo> Outputs();
  // The app_id or title of each window sway manages (tiled or floating).
  std::vector<std::string> Views();

 private:
  std::vector<std::string> Query(const std::string& type, const std::string& filter);
  std::string ipc_;
};

class WestonSession : public WaylandSession {
 public:
  explicit WestonSession(const WaylandOptions& options = {});
  // The whole desktop (one output) as weston-screenshooter reads it.
  Picture Capture(const std::string& output = "") override;
};

// KWin (KDE Plasma's compositor) on virtual outputs side by side, with a
// private session bus, swaybg's layer-shell background in the desktop colour
// (KWin alone draws none), keys through KWin's fake input and pictures through
// its ScreenShot2 interface. Debian's kwin_wayland carries a file capability a
// container may refuse, so a copy without it runs.
class KWinSession : public WaylandSession {
 public:
  explicit KWinSession(const WaylandOptions& options = {});
  // One output's part of the workspace; outputs are named "0", "1", ...
  Picture Capture(const std::string& output) override;
  // Holds the key with this evdev code (1 is Escape) until the returned process
  // is ended with SIGTERM, which lets the key go (SIGKILL would leave it down,
  // repeating).
  pid_t HoldKey(int evdevCode);
  // Presses and lets go of the key, and returns once KWin has both.
  void TapKey(int evdevCode);

 private:
  WaylandOptions options_;
};

// Skips the test when the compositor's programs are not installed; fails it when
// they are but the compositor did not start.
bool ProgramInstalled(const std::string& name);
#define VELTRANE_REQUIRE_WAYLAND(session, program)                                            \
  do {                                                                                        \
    if (!::veltrane::testing::ProgramInstalled(program)) GTEST_SKIP() << program << " is not installed"; \
    if (!(session).ok()) GTEST_FAIL() << program << " did not start: " << (session).why();  \
  } while (0)

}  // namespace veltrane::testing
