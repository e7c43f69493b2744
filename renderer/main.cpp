// Veltrane.dll: the renderer program. It reads no arguments.
#include "platform/stop_signals.h"
#include "platform/x11_window_system.h"
#include "renderer/renderer_main.h"

int main() {
    using namespace veltrane;
    // Signals first: from the first mode switch on, every way out must restore it.
    const int stopFd = platform::InstallStopSignals();
    // Started by the saver shell: end with it if it is killed.
    platform::WatchShellLifeline();
    platform::X11WindowSystem windowSystem(RendererPixelFormat(kRendererColorBits), stopFd);
    UseRendererServices(&windowSystem, &RealRendererScene());
    return RunRenderer(0);
}
