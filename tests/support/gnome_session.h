// A private headless gnome-shell for one test, inside a private session bus (and
// a second, empty one as the system bus), with settings in a private keyfile.
// gnome-shell opens the Activities overview at start, as it does at log-in. A
// test-only extension puts the shell in unsafe mode, so that pictures and Eval
// are open to the test; keys go through mutter's remote-desktop interface. GNOME's
// settings daemon and session manager do not run headless: a small fake of their
// inhibit interfaces (veltrane_fake_session_manager) stands in for them.
#pragma once

#include <string>
#include <vector>

#include "support/wayland_session.h"

namespace veltrane::testing {

struct GnomeOptions {
  int outputs = 1;  // virtual monitors, side by side
  int width = 1280, height = 720;
  // The stand-in for org.freedesktop.ScreenSaver and org.gnome.SessionManager.
  bool fakeSessionManager = true;
};

class GnomeSession : public WaylandSession {
 public:
  explicit GnomeSession(const GnomeOptions& options = {});
  // Adds the private session bus and system bus and GNOME's session variables.
  std::vector<std::string> env() const override;

  // One output (Meta-0, Meta-1, ...) through org.gnome.Shell.Screenshot.
  Picture Capture(const std::string& output = "Meta-0") override;
  // Runs JavaScript in the shell; its JSON result, or nullopt when it failed.
  std::optional<std::string> Eval(const std::string& script);
  bool OverviewVisible();
  // Presses the key with this X keysym name, holds it and lets it go (returns
  // when released; false when mutter refused).
  bool Key(const std::string& keysym, std::chrono::milliseconds hold = std::chrono::milliseconds(100));
  // The command Key runs, for a test that starts it and goes on meanwhile.
  std::vector<std::string> KeyCommand(const std::string& keysym, std::chrono::milliseconds hold) const;

  // The inhibits the fake holds (ScreenSaver's and the session manager's together).
  int Inhibits();
  // A method call on the private session bus through gdbus, as the session's
  // user: its printed answer, or nullopt when the call failed.
  std::optional<std::string> Call(const std::string& destination, const std::string& path,
                                  const std::string& method, const std::vector<std::string>& args = {});

  const std::string& sessionBus() const { return bus_; }

 private:
  // A dbus-daemon listening on `socket`; its address is kept in `name`.address.
  pid_t StartBus(const std::string& name, const std::string& socket);
  std::string bus_, systemBus_, keyProgram_;
  int width_ = 0, height_ = 0;
};

}  // namespace veltrane::testing
