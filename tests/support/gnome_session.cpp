#include "support/gnome_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace veltrane::testing {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// gnome-shell starts slowly on a loaded machine with two cores.
constexpr auto kStartLimit = 120s;
constexpr const char* kSocket = "veltrane-gnome";
constexpr const char* kExtension = "veltrane-test@veltrane.invalid";

// Settings for a quiet test session: no idle actions of GNOME's own, no banners
// over the pictures, no animations to wait for, and the desktop in the colour
// tests tell it by.
constexpr const char* kKeyfile = R"([org/gnome/shell]
enabled-extensions=['veltrane-test@veltrane.invalid']
welcome-dialog-last-shown-version='999'
[org/gnome/desktop/session]
idle-delay=uint32 0
[org/gnome/desktop/screensaver]
lock-enabled=false
idle-activation-enabled=false
[org/gnome/desktop/notifications]
show-banners=false
[org/gnome/desktop/interface]
enable-animations=false
[org/gnome/desktop/background]
picture-uri=''
picture-uri-dark=''
picture-options='none'
primary-color='#336699'
color-shading-type='solid'
)";

// Pictures and Eval are closed to other programs unless the shell runs in unsafe mode.
constexpr const char* kExtensionCode = R"(function init() {}
function enable() { global.context.unsafe_mode = true; }
function disable() { global.context.unsafe_mode = false; }
)";

// A string in GVariant's text form, which gdbus reads its arguments in.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

}  // namespace

GnomeSession::GnomeSession(const GnomeOptions& options) : width_(options.width), height_(options.height) {
  // The settings keyfile and the unsafe-mode extension, in the session user's home.
  const std::string home = dir_ + "/home";
  const std::string extension = home + "/.local/share/gnome-shell/extensions/" + kExtension;
  fs::create_directories(home + "/.config/glib-2.0/settings");
  fs::create_directories(extension);
  std::ofstream(home + "/.config/glib-2.0/settings/keyfile") << kKeyfile;
  std::ofstream(extension + "/metadata.json")
      << R"({"uuid": ")" << kExtension
      << R"(", "name": "Veltrane tests", "description": "Unsafe mode for tests", "shell-version": ["43"]})";
  std::ofstream(extension + "/extension.js") << kExtensionCode;
  if (user_) {
    for (const auto& entry : fs::recursive_directory_iterator(home))
      if (chown(entry.path().c_str(), user_->uid, user_->gid) != 0) why_ = "chown failed";
  }

  // gnome-shell asks the system bus for logind: an empty one of its own says none runs.
  if (!StartSessionBus() || (systemBus_ = StartBus(dir_ + "/system-bus")).empty()) return;

  if (options.fakeSessionManager) {
    const std::string fake = Stage(VELTRANE_FAKE_SESSION_MANAGER);
    const std::string log = dir_ + "/fake-session-manager.log";
    const pid_t pid = StartProcess({fake}, env(), log, user_, dir_);
    // It prints the first count once it owns both names.
    if (!WaitUntil([&] { return ReadFile(log).find("inhibits 0") != std::string::npos || WaitProcess(pid, 0ms); },
                   30s, 20ms) ||
        ReadFile(log).find("inhibits 0") == std::string::npos) {
      why_ = "the fake session manager did not start:\n" + Tail(ReadFile(log));
      return;
    }
  }
  keyProgram_ = Stage(VELTRANE_GNOME_KEY);

  std::vector<std::string> argv = {"gnome-shell", "--headless", "--wayland", "--no-x11", "--wayland-display", kSocket};
  for (int i = 0; i < options.outputs; ++i) {
    argv.push_back("--virtual-monitor");
    argv.push_back(std::to_string(options.width) + "x" + std::to_string(options.height));
    outputNames_.push_back("Meta-" + std::to_string(i));
  }
  std::vector<std::string> e = env();
  e.push_back("WAYLAND_DISPLAY=");
  Launch(argv, e, kSocket, kStartLimit);
  if (!ok()) return;
  // Ready once the start-up is over and the extension has opened Eval and pictures.
  const bool ready = WaitUntil(
      [&] {
        if (WaitProcess(compositor_, 0ms)) return compositor_ = -1, true;
        return Eval("!Main.layoutManager._startingUp && global.context.unsafe_mode") == "true";
      },
      kStartLimit, 100ms);
  MarkReady();
  if (!ready || compositor_ <= 0 || !Eval("true")) {
    why_ = "gnome-shell did not finish starting:\n" + Tail(ReadFile(dir_ + "/compositor.log"));
    socket_.clear();
  }
}

std::vector<std::string> GnomeSession::env() const {
  std::vector<std::string> e = WaylandSession::env();
  e.insert(e.end(), {"DBUS_SYSTEM_BUS_ADDRESS=" + systemBus_,
                     "GSETTINGS_BACKEND=keyfile", "XDG_CURRENT_DESKTOP=GNOME", "XDG_SESSION_TYPE=wayland",
                     "XDG_SESSION_DESKTOP=gnome"});
  return e;
}

std::optional<std::string> GnomeSession::Call(const std::string& destination, const std::string& path,
                                              const std::string& method, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"gdbus", "call", "--session", "--dest", destination, "--object-path", path,
                                   "--method", method};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string output;
  if (Run(argv, &output, 30s).code != 0) return std::nullopt;
  return output;
}

std::optional<std::string> GnomeSession::Eval(const std::string& script) {
  // The answer reads (true, 'RESULT') or (false, 'ERROR').
  const std::optional<std::string> answer =
      Call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Eval", {Quoted(script)});
  const std::string ok = "(true, '";
  if (!answer || answer->rfind(ok, 0) != 0) return std::nullopt;
  const std::size_t end = answer->rfind("')");
  if (end == std::string::npos || end < ok.size()) return std::nullopt;
  return answer->substr(ok.size(), end - ok.size());
}

bool GnomeSession::OverviewVisible() { return Eval("Main.overview.visible") == "true"; }

Picture GnomeSession::Capture(const std::string& output) {
  static int count = 0;
  const std::string png = dir_ + "/shot-" + std::to_string(++count) + ".png";
  const std::string ppm = dir_ + "/shot-" + std::to_string(count) + ".ppm";
  // mutter lays the virtual monitors out left to right in the order given.
  int index = 0;
  for (std::size_t i = 0; i < outputNames_.size(); ++i)
    if (outputNames_[i] == output) index = static_cast<int>(i);
  const std::optional<std::string> answer =
      Call("org.gnome.Shell", "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot.ScreenshotArea",
           {std::to_string(index * width_), "0", std::to_string(width_), std::to_string(height_), "false", Quoted(png)});
  Picture p;
  if (answer && answer->rfind("(true", 0) == 0 && RunProcess({"convert", png, "-depth", "8", ppm}).code == 0)
    p = Picture::LoadPpm(ppm);
  std::remove(png.c_str());
  std::remove(ppm.c_str());
  return p;
}

std::vector<std::string> GnomeSession::KeyCommand(const std::string& keysym, std::chrono::milliseconds hold) const {
  return {keyProgram_, keysym, std::to_string(hold.count())};
}

bool GnomeSession::Key(const std::string& keysym, std::chrono::milliseconds hold) {
  return Run(KeyCommand(keysym, hold), nullptr, 30s).code == 0;
}

int GnomeSession::Inhibits() {
  const std::optional<std::string> answer =
      Call("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager.GetInhibitors");
  if (!answer) return -1;
  int count = 0;
  for (std::size_t at = answer->find("/Inhibitor"); at != std::string::npos; at = answer->find("/Inhibitor", at + 1))
    ++count;
  return count;
}

}  // namespace veltrane::testing
