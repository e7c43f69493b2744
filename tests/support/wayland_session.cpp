#include "support/wayland_session.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace veltrane::testing {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

}  // namespace


bool Covered(const Picture& p) {
  if (p.empty()) return false;
  for (auto [x, y] : {std::pair{0, 0}, {p.width - 1, 0}, {0, p.height - 1}, {p.width - 1, p.height - 1}})
    if (p.at(x, y) == kDesktopColour) return false;
  std::size_t desktop = 0;
  for (const Rgb& c : p.pixels) desktop += c == kDesktopColour;
  return desktop * 1000 < p.pixels.size();
}

bool MiddleLit(const Picture& p) {
  for (int y = p.height / 2 - 16; y < p.height / 2 + 16; ++y)
    for (int x = p.width / 2 - 16; x < p.width / 2 + 16; ++x)
      if (x >= 0 && y >= 0 && x < p.width && y < p.height && p.at(x, y).sum() > 30 && !(p.at(x, y) == kDesktopColour))
        return true;
  return false;
}

bool ProgramInstalled(const std::string& name) {
  return RunProcess({"sh", "-c", "command -v \"$0\" >/dev/null", name}).code == 0;
}

WaylandSession::WaylandSession() {
  // Out of the build tree: a checkout in a private folder is out of the session
  // user's reach.
  char templ[] = "/tmp/veltrane-wl-XXXXXX";
  if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
  dir_ = templ;
  runtime_ = dir_ + "/run";
  programs_ = dir_ + "/bin";
  if (geteuid() == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) throw std::runtime_error("no user \"nobody\" to run the compositor as");
    user_ = RunAs{nobody->pw_uid, nobody->pw_gid};
  }
  for (const std::string& d : {dir_, runtime_, programs_, dir_ + "/home", dir_ + "/home/.config",
                               dir_ + "/home/.cache", dir_ + "/home/.local", dir_ + "/home/.local/share",
                               dir_ + "/home/.local/state"}) {
    mkdir(d.c_str(), 0700);
    chmod(d.c_str(), d == programs_ ? 0755 : 0700);
    if (user_ && chown(d.c_str(), user_->uid, user_->gid) != 0) throw std::runtime_error("chown failed");
  }
}

void WaylandSession::EndCompositor() {
  if (compositor_ <= 0) return;
  kill(compositor_, SIGTERM);
  if (!WaitProcess(compositor_, 5s)) KillProcess(compositor_);
  compositor_ = -1;
}

WaylandSession::~WaylandSession() {
  EndCompositor();
  // Whatever still runs in the session (helpers the compositor started, a
  // renderer a test left behind) goes with it.
  for (pid_t pid : SessionProcesses()) kill(pid, SIGKILL);
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::vector<std::string> WaylandSession::env() const {
  const std::string home = dir_ + "/home";
  return {"WAYLAND_DISPLAY=" + socket_, "XDG_RUNTIME_DIR=" + runtime_, "HOME=" + home,
          "XDG_CONFIG_HOME=" + home + "/.config", "XDG_CACHE_HOME=" + home + "/.cache",
          "XDG_DATA_HOME=" + home + "/.local/share", "XDG_STATE_HOME=" + home + "/.local/state",
          "DISPLAY=", "WAYLAND_SOCKET=", "SWAYSOCK=", "VELTRANE_BACKEND=",
          "DBUS_SESSION_BUS_ADDRESS=" + (bus_.empty() ? std::string("disabled:") : bus_)};
}

std::string WaylandSession::StartBus(const std::string& socket) {
  const std::string log = socket + ".log";
  StartProcess({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket},
               WaylandSession::env(), log, user_, dir_);
  if (!WaitUntil([&] { return fs::is_socket(socket); }, 30s, 20ms)) {
    why_ = "dbus-daemon did not start on " + socket + ":\n" + Tail(ReadFile(log));
    return "";
  }
  return "unix:path=" + socket;
}

bool WaylandSession::StartSessionBus() {
  bus_ = StartBus(runtime_ + "/bus");
  return !bus_.empty();
}

std::string WaylandSession::Stage(const std::string& program, const std::string& name) {
  const std::string target = programs_ + "/" + (name.empty() ? fs::path(program).filename().string() : name);
  fs::copy_file(program, target, fs::copy_options::overwrite_existing);
  chmod(target.c_str(), 0755);
  return target;
}

std::string WaylandSession::StageScript(const std::string& name, const std::string& text) {
  const std::string target = programs_ + "/" + name;
  std::ofstream(target) << text;
  chmod(target.c_str(), 0755);
  return target;
}

pid_t WaylandSession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                            const std::string& outputPath) {
  std::vector<std::string> e = env();
  e.insert(e.end(), extraEnv.begin(), extraEnv.end());
  return StartProcess(argv, e, outputPath, user_, dir_);
}

ExitStatus WaylandSession::Run(const std::vector<std::string>& argv, std::string* output,
                               std::chrono::milliseconds timeout, const std::string& cwd) {
  return RunProcess(argv, env(), timeout, output, user_, cwd.empty() ? dir_ : cwd);
}

std::vector<pid_t> WaylandSession::SessionProcesses() const {
  std::vector<pid_t> pids;
  const std::string marker = "XDG_RUNTIME_DIR=" + runtime_ + '\0';
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ReadFile(entry.path() / "environ").find(marker) != std::string::npos) pids.push_back(std::stoi(name));
  }
  return pids;
}

std::vector<pid_t> WaylandSession::Clients() const {
  std::vector<pid_t> clients = SessionProcesses();
  std::erase_if(clients, [&](pid_t pid) { return std::find(helpers_.begin(), helpers_.end(), pid) != helpers_.end(); });
  return clients;
}

void WaylandSession::MarkReady() { helpers_ = SessionProcesses(); }

void WaylandSession::Launch(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                            const std::string& socket, std::chrono::milliseconds limit) {
  const std::string log = dir_ + "/compositor.log";
  compositor_ = StartProcess(argv, env, log, user_, dir_);
  std::optional<ExitStatus> ended;
  WaitUntil(
      [&] {
        if ((ended = WaitProcess(compositor_, 0ms))) return true;
        for (const auto& entry : fs::directory_iterator(runtime_)) {
          const std::string name = entry.path().filename();
          const bool wanted = socket.empty() ? name.rfind("wayland-", 0) == 0 : name == socket;
          if (wanted && entry.is_socket()) socket_ = name;
        }
        return !socket_.empty();
      },
      limit, 20ms);
  if (ended) compositor_ = -1;
  if (!ok()) {
    why_ = argv[0] + (ended ? " ended" : " made no socket") + ":\n" + Tail(ReadFile(log));
    socket_.clear();
  }
}

// ---- sway ----

SwaySession::SwaySession(const WaylandOptions& options) {
  std::ostringstream config;
  config << "xwayland disable\n";
  for (int i = 1; i <= options.outputs; ++i) {
    outputNames_.push_back("HEADLESS-" + std::to_string(i));
    config << "output HEADLESS-" << i << " mode " << options.width << 'x' << options.height << " position "
           << (i - 1) * options.width << " 0\n";
  }
  config << "output * bg #336699 solid_color\n";
  std::ofstream(dir_ + "/sway.conf") << config.str();

  std::vector<std::string> e = WaylandSession::env();
  e.insert(e.end(), {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
                     "WLR_HEADLESS_OUTPUTS=" + std::to_string(options.outputs), "WAYLAND_DISPLAY="});
  // sway names its socket itself: the first free wayland-N of the private runtime folder.
  Launch({"sway", "-c", dir_ + "/sway.conf"}, e, "");
  if (!ok()) return;
  WaitUntil(
      [&] {
        for (const auto& entry : fs::directory_iterator(runtime_))
          if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) ipc_ = entry.path();
        return !ipc_.empty();
      },
      10s, 20ms);
  // Ready once every output has its mode and shows the desktop.
  const bool ready = WaitUntil(
      [&] {
        const std::vector<OutputInfo> outputs = Outputs();
        if (outputs.size() != outputNames_.size()) return false;
        for (const OutputInfo& o : outputs) {
          if (o.width != options.width || o.height != options.height) return false;
          const Picture p = Capture(o.name);
          if (p.empty() || !(p.at(p.width / 2, p.height / 2) == kDesktopColour)) return false;
        }
        return true;
      },
      20s, 50ms);
  MarkReady();
  if (!ready) {
    why_ = "sway's outputs did not come up as configured:\n" + Tail(ReadFile(dir_ + "/compositor.log"));
    socket_.clear();
  }
}

std::vector<std::string> SwaySession::env() const {
  std::vector<std::string> e = WaylandSession::env();
  e.push_back("SWAYSOCK=" + ipc_);
  return e;
}

Picture SwaySession::Capture(const std::string& output) {
  static int count = 0;
  const std::string file = dir_ + "/shot-" + std::to_string(++count) + ".ppm";
  Picture p;
  if (Run({"grim", "-t", "ppm", "-o", output, file}).code == 0) p = Picture::LoadPpm(file);
  std::remove(file.c_str());
  return p;
}

// swaymsg's answer to `type`, run through the jq `filter`, one line per result.
std::vector<std::string> SwaySession::Query(const std::string& type, const std::string& filter) {
  std::string text;
  const std::string answer = PathFor("answer.json");
  if (Run({"sh", "-c", "swaymsg -r -t \"$0\" > \"$1\" && jq -r \"$2\" \"$1\"", type, answer, filter}, &text).code != 0) {
    return {"(no answer: " + text + ")"};
  }
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<OutputInfo> SwaySession::Outputs() {
  std::vector<OutputInfo> outputs;
  for (const std::string& line :
       Query("get_outputs", R"jq(.[] | "\(.name) \(.rect.x) \(.rect.y) \(.current_mode.width) \(.current_mode.height)")jq")) {
    OutputInfo o;
    std::istringstream fields(line);
    if (!(fields >> o.name >> o.x >> o.y >> o.width >> o.height)) return {};
    outputs.push_back(o);
  }
  return outputs;
}

// Windows are the containers of sway's tree with no containers inside.
std::vector<std::string> SwaySession::Views() {
  return Query("get_tree", R"jq(.. | objects | select(.type == "con" or .type == "floating_con")
                                | select((.nodes | length) == 0 and (.floating_nodes | length) == 0)
                                | (.app_id // .name // "?"))jq");
}

// ---- weston ----

WestonSession::WestonSession(const WaylandOptions& options) {
  outputNames_.push_back("headless");
  std::ofstream(dir_ + "/weston.ini") << "[core]\nidle-time=0\n"
                                         "[shell]\nbackground-color=0xff336699\nbackground-image=/nonexistent\n"
                                         "panel-position=none\nlocking=false\nanimation=none\n"
                                         "startup-animation=none\n";
  std::vector<std::string> e = WaylandSession::env();
  e.push_back("WAYLAND_DISPLAY=");
  Launch({"weston", "--config=" + dir_ + "/weston.ini", "--backend=headless-backend.so", "--use-pixman", "--debug",
          "--width=" + std::to_string(options.width), "--height=" + std::to_string(options.height),
          "--socket=veltrane-wl"},
         e, "veltrane-wl");
  if (!ok()) return;
  if (!WaitUntil(
          [&] {
            const Picture p = Capture();
            return !p.empty() && p.at(p.width / 2, p.height / 2) == kDesktopColour;
          },
          20s, 50ms)) {
    why_ = "weston did not show its desktop:\n" + Tail(ReadFile(dir_ + "/compositor.log"));
    socket_.clear();
  }
  MarkReady();
}

Picture WestonSession::Capture(const std::string&) {
  // weston-screenshooter writes its PNG into the folder it runs in.
  static int count = 0;
  const std::string folder = dir_ + "/shot-" + std::to_string(++count);
  mkdir(folder.c_str(), 0700);
  if (user_ && chown(folder.c_str(), user_->uid, user_->gid) != 0) return {};
  Picture p;
  if (Run({"weston-screenshooter"}, nullptr, 20s, folder).code == 0) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() != ".png") continue;
      const std::string ppm = folder + "/shot.ppm";
      if (RunProcess({"convert", entry.path(), "-depth", "8", ppm}).code == 0) p = Picture::LoadPpm(ppm);
      break;
    }
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return p;
}

// ---- KWin ----

KWinSession::KWinSession(const WaylandOptions& options) : options_(options) {
  for (int i = 0; i < options.outputs; ++i) outputNames_.push_back(std::to_string(i));
  if (!StartSessionBus()) return;
  std::vector<std::string> e = WaylandSession::env();
  e.insert(e.end(), {"WAYLAND_DISPLAY=", "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1",
                     "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1"});
  Launch({Stage("/usr/bin/kwin_wayland"), "--virtual", "--width", std::to_string(options.width), "--height",
          std::to_string(options.height), "--output-count", std::to_string(options.outputs), "--socket",
          "veltrane-kw", "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"},
         e, "veltrane-kw");
  if (!ok()) return;
  Stage(VELTRANE_KWIN_KEY, "kwin_key");
  Stage(VELTRANE_KWIN_CAPTURE, "kwin_capture");
  Start({"swaybg", "-c", "#336699"}, {}, dir_ + "/swaybg.log");
  const bool ready = WaitUntil(
      [&] {
        for (const std::string& name : outputNames_) {
          const Picture p = Capture(name);
          if (p.width != options.width || p.height != options.height) return false;
          if (!(p.at(p.width / 2, p.height / 2) == kDesktopColour)) return false;
        }
        return true;
      },
      30s, 100ms);
  MarkReady();
  if (!ready) {
    why_ = "KWin's outputs did not show the desktop:\n" + Tail(ReadFile(dir_ + "/compositor.log"));
    socket_.clear();
  }
}

Picture KWinSession::Capture(const std::string& output) {
  static int count = 0;
  const std::string file = dir_ + "/shot-" + std::to_string(++count) + ".ppm";
  Picture whole;
  std::string said;  // until KWin's interface is up it says so on every try
  if (Run({programs_ + "/kwin_capture", file}, &said).code == 0) whole = Picture::LoadPpm(file);
  std::remove(file.c_str());
  // The outputs lie side by side in the order of their names.
  const int index = std::stoi(output);
  Picture p;
  if (whole.width < (index + 1) * options_.width || whole.height < options_.height) return p;
  p.width = options_.width;
  p.height = options_.height;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.pixels.push_back(whole.at(index * options_.width + x, y));
  return p;
}

pid_t KWinSession::HoldKey(int evdevCode) { return Start({programs_ + "/kwin_key", std::to_string(evdevCode)}); }

void KWinSession::TapKey(int evdevCode) { Run({programs_ + "/kwin_key", std::to_string(evdevCode), "0"}); }

}  // namespace veltrane::testing
