// Veltrane.dll: the renderer program. Without arguments it runs its own
// full-screen window; saver hosts start it with -root or -window-id to draw in
// their window instead (host_options.h).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "platform/x11/display_guard.h"
#include "platform/x11/x11_host_surface.h"
#include "platform/x11/x11_window_system.h"
#include "renderer/host_mode.h"
#include "renderer/host_options.h"
#include "renderer/renderer_main.h"

namespace {

int RunOwnWindow() {
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
    return RunRenderer(0);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "Veltrane.dll: %s\n", message.c_str());
    return 1;
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
    if (argc <= 1) return RunOwnWindow();

    const std::vector<std::string> args(argv + 1, argv + argc);
    const HostOptionsResult parsed = ParseHostOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (!parsed.options) return Fail(parsed.error);
    const HostOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(HostUsage(), stdout);
        return 0;
    }
    if (!options.displayName.empty()) setenv("DISPLAY", options.displayName.c_str(), 1);
    if (options.target == DrawTarget::OwnWindow) return RunOwnWindow();
    return RunInHostWindow(options);
}
