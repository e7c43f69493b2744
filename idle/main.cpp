// veltrane-idle: starts the Veltrane screen saver each time the session has been
// idle for the time-out, on the session's own idle clock, with one poll loop over
// the clock's connection, the stop signals and the started saver.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "idle/ext_idle_notify.h"
#include "idle/gnome_idle_monitor.h"
#include "idle/idle_policy.h"
#include "idle/kde_idle.h"
#include "idle/saver_process.h"
#include "idle/x11_screensaver.h"

namespace {

using namespace veltrane::idle;

SaverProcess* g_saver = nullptr;

void Say(const std::string& line) {
  std::printf("veltrane-idle: %s\n", line.c_str());
  std::fflush(stdout);
}

int Fail(const std::string& line) {
  std::fprintf(stderr, "veltrane-idle: %s\n", line.c_str());
  return 1;
}

// The X server going away ends the program from inside Xlib: end the saver too.
int LostX(Display*) {
  if (g_saver != nullptr) g_saver->Stop(std::chrono::seconds(5));
  Say("the X connection is gone");
  std::exit(0);
}

// GNOME's clock first (its session bus has it on Wayland and on Xorg), then the
// compositor's, then X11's.
std::unique_ptr<IdleSource> ChooseSource(std::chrono::milliseconds timeout) {
  if (auto gnome = GnomeIdleMonitor::Connect(timeout)) return gnome;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland != nullptr && *wayland != '\0') {
    std::unique_ptr<WaylandGlobals> globals = ConnectWayland();
    if (auto ext = ExtIdleNotify::Take(globals, timeout)) return ext;
    if (auto kde = KdeIdle::Take(globals, timeout)) return kde;
  }
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') {
    if (auto x = X11ScreenSaver::Connect(timeout)) return x;
  }
  return nullptr;
}

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::string LauncherFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto* error = std::get_if<std::string>(&parsed)) return Fail(*error);
  const Options options = std::get<Options>(parsed);
  if (options.help) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }

  const std::string folder = LauncherFolder();
  if (folder.empty()) return Fail("cannot read its own path (/proc/self/exe)");
  SaverProcess saver(SaverPath(folder, VELTRANE_INSTALLED_SAVER_FOLDER, &Executable));
  if (!Executable(saver.path())) return Fail("the saver " + saver.path() + " is missing");

  // The stop signals and the saver's end arrive as readable file descriptors.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&signals, s);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signalFd < 0) return Fail(std::string("no signal descriptor: ") + std::strerror(errno));

  XSetIOErrorHandler(&LostX);
  std::unique_ptr<IdleSource> source = ChooseSource(options.timeout);
  if (!source) return Fail("this session has no idle clock (no GNOME IdleMonitor, Wayland idle protocol or X server)");

  IdlePolicy policy;
  g_saver = &saver;
  bool lost = false;
  auto act = [&](Happening h) {
    switch (policy.On(h)) {
      case Action::StartSaver:
        if (!saver.Start()) {
          Say("could not start " + saver.path() + ": " + std::strerror(errno));
          if (policy.On(Happening::SaverFailed) == Action::CountAgain) source->CountAgain();
        }
        break;
      case Action::CountAgain:
        source->CountAgain();
        break;
      case Action::Nothing:
        break;
    }
  };
  const std::string seconds =
      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(options.timeout).count());
  if (!source->Start([&](IdleSource::Report r) {
        if (r == IdleSource::Report::Active) return act(Happening::Active);
        // Inhibitors the clock does not honour itself are asked only when the
        // saver would start.
        if (policy.saverRunning()) return act(Happening::Idle);
        act(source->Inhibited() ? Happening::IdleInhibited : Happening::Idle);
      }))
    return Fail("the idle clock (" + source->Name() + ") refused a time-out of " + seconds + " s");
  Say("idle clock: " + source->Name() + "; the saver starts after " + seconds + " s idle");

  bool stop = false;
  while (!stop && !lost) {
    int timeoutMs = -1;
    const short events = source->PrepareWait(timeoutMs);
    std::vector<pollfd> fds = {{signalFd, POLLIN, 0}, {source->Fd(), events, 0}};
    if (saver.Fd() >= 0) fds.push_back({saver.Fd(), POLLIN, 0});
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info;
      while (read(signalFd, &info, sizeof info) == sizeof info)
        if (info.ssi_signo != SIGCHLD) stop = true;
    }
    if (saver.Reap()) act(Happening::SaverEnded);
    // A source's own time limit (or messages it already holds) wants a dispatch
    // too, with nothing to read.
    if (!stop && (fds[1].revents != 0 || ready == 0) && !source->Dispatch()) lost = true;
  }
  if (lost) Say("the session's idle clock " + source->Name() + " is gone");
  saver.Stop(std::chrono::seconds(5));
  g_saver = nullptr;
  return 0;
}
