// Veltrane.dll: the renderer program. Without arguments it runs its own
// full-screen window, on the session's Wayland compositor when there is one and
// on X11 otherwise; saver hosts start it with -root or -window-id to draw in
// their window instead (host_options.h), always on X11.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/gnome_overview.h"
#include "platform/session_inhibit.h"
#include "platform/session_kind.h"
#include "platform/stop_signals.h"
#include "platform/wayland/wl_window_system.h"
#include "platform/x11/display_guard.h"
#include "platform/x11/x11_host_surface.h"
#include "platform/x11/x11_window_system.h"
#include "renderer/host_mode.h"
#include "renderer/host_options.h"
#include "renderer/renderer_main.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "Veltrane.dll: %s\n", message.c_str());
    return 1;
}

// The full-screen window's run, once its window system is in place. GNOME's
// overview would show the window as a thumbnail and keep the keyboard, so it is
// closed first. Where the window system cannot hold the session's idle actions
// off (mutter has no idle inhibitor, and on Xorg GNOME's idle actions follow
// mutter's own idle clock, which the X screen saver's suspension does not stop),
// the session's screen-saver service holds them for as long as the window shows.
int RunFullScreenWindow(bool windowSystemInhibits) {
    using namespace veltrane;
    platform::LeaveGnomeOverview();
    std::unique_ptr<platform::SessionInhibit> inhibit;
    if (!windowSystemInhibits) inhibit = platform::SessionInhibit::Hold("Veltrane", "The screen saver is showing");
    return RunRenderer(0);
}

// `noWayland` says why the run is not on Wayland, when a Wayland compositor was
// looked for and not reached.
int RunOwnWindow(const std::string& noWayland = "") {
    using namespace veltrane;
    // Before anything touches X: gives the display back if we are killed outright.
    // Released as it goes out of scope, after the window system has restored.
    platform::DisplayGuard guard = platform::DisplayGuard::Start();
    // Signals first: from the first mode switch on, every way out must restore it.
    const int stopFd = platform::InstallStopSignals();
    // Started by the saver shell: end with it if it is killed.
    platform::WatchShellLifeline();
    platform::X11WindowSystem windowSystem(RendererPixelFormat(kRendererColorBits), stopFd);
    UseRendererServices(&windowSystem, &RealRendererScene());
    const int code = RunFullScreenWindow(false);
    // The display opens with the first window: none means it could not be
    // reached, and the run ended with its code for that; say why.
    if (windowSystem.display() != nullptr) return code;
    const char* name = std::getenv("DISPLAY");
    std::string line = name != nullptr && *name != '\0' ? "cannot open the X display \"" + std::string(name) + "\""
                                                       : "no X display (DISPLAY is not set)";
    if (!noWayland.empty()) line = noWayland + ", and " + line;
    std::fprintf(stderr, "Veltrane.dll: %s\n", line.c_str());
    return code;
}

// The own window on a Wayland compositor; nullopt when none answers and the
// run goes on X11 instead (unless Wayland was asked for by name), with `why`.
std::optional<int> RunOwnWindowOnWayland(bool forced, std::string& why) {
    using namespace veltrane;
    const int stopFd = platform::InstallStopSignals();
    platform::WatchShellLifeline();
    platform::WaylandConnectError error;
    std::unique_ptr<platform::WaylandWindowSystem> windowSystem =
        platform::WaylandWindowSystem::Connect(RendererPixelFormat(kRendererColorBits), stopFd, error);
    if (!windowSystem) {
        if (error.stopped) return 0;  // stopped before anything showed
        if (!error.connected && !forced) {
            why = error.reason;
            return std::nullopt;
        }
        return Fail(error.reason);
    }
    UseRendererServices(windowSystem.get(), &RealRendererScene());
    return RunFullScreenWindow(windowSystem->HasIdleInhibitor());
}

// The full-screen run, on the window system of the session.
int RunFullScreen() {
    using namespace veltrane;
    std::string error;
    const platform::SessionKind kind = platform::DetectSessionKind(error);
    if (!error.empty()) return Fail(error);
    std::string noWayland = "no Wayland compositor";
    if (kind == platform::SessionKind::Wayland) {
        const bool forced = platform::ForcedSessionKind(std::getenv(platform::kBackendVariable), error).has_value();
        if (const std::optional<int> code = RunOwnWindowOnWayland(forced, noWayland)) return *code;
    } else if (platform::ForcedSessionKind(std::getenv(platform::kBackendVariable), error).has_value()) {
        noWayland.clear();  // X11 asked for by name
    }
    return RunOwnWindow(noWayland);
}

int RunInHostWindow(const veltrane::HostOptions& options) {
    using namespace veltrane;
    platform::HostSurfaceSettings settings;
    settings.root = options.target == DrawTarget::RootWindow;
    settings.window = options.windowId;
    // Before the window is looked up, so a host's stop signal is never lost.
    settings.stopFd = platform::InstallStopSignals();
    std::string error;
    std::unique_ptr<platform::X11HostSurface> surface =
        platform::X11HostSurface::Attach(settings, RendererPixelFormat(kRendererColorBits), error);
    if (!surface) return Fail(error);
    return RunHostMode(*surface, RealRendererScene());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veltrane;
    // Before any descriptor of ours exists.
    platform::ClaimShellLifeline();
    if (argc <= 1) return RunFullScreen();

    const std::vector<std::string> args(argv + 1, argv + argc);
    const HostOptionsResult parsed = ParseHostOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (!parsed.options) return Fail(parsed.error);
    const HostOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(HostUsage(), stdout);
        return 0;
    }
    if (!options.displayName.empty()) setenv("DISPLAY", options.displayName.c_str(), 1);
    if (options.target == DrawTarget::OwnWindow) {
        // -display names an X display: that run is X11's.
        return options.displayName.empty() ? RunFullScreen() : RunOwnWindow();
    }
    return RunInHostWindow(options);
}
