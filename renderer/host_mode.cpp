#include "renderer/host_mode.h"

namespace veltrane {

using platform::HostSurface;
using platform::SurfaceSize;

FramePacer::Clock::duration FramePacer::Offset(std::int64_t frames) {
    // Whole nanoseconds from the grid's origin, so 1/60 s never accumulates rounding.
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(frames * 1'000'000'000LL / kHostFramesPerSecond));
}

FramePacer::Clock::time_point FramePacer::Next(Clock::time_point now) {
    ++frames_;
    const Clock::time_point deadline = origin_ + Offset(frames_);
    if (now - deadline >= Offset(1)) {
        origin_ = now;
        frames_ = 0;
        return now;
    }
    return deadline;
}

int RunHostMode(HostSurface& surface, RendererScene& scene, const HostModeSettings& settings) {
    // The scene records a window and a key table for the full-screen Escape check;
    // here they are only records: the host owns input and the window.
    KeyStates keys;
    RendererWindow window;
    window.keys = &keys;
    SurfaceSize projected = surface.Size();
    window.width = projected.width;
    window.height = projected.height;
    window.visible = 1;
    scene.PrepareScene(window, keys);
    scene.SetProjection(projected.width, projected.height);

    FramePacer pacer(surface.Now());
    bool waited = false;
    for (;;) {
        surface.Update();
        if (surface.Ended()) return 0;
        if (!surface.Visible()) {
            surface.WaitUntil(HostSurface::Clock::time_point::max());
            waited = true;
            continue;
        }
        if (waited) {
            pacer = FramePacer(surface.Now());  // a fresh grid after a pause
            waited = false;
        }
        if (const SurfaceSize size = surface.Size(); !(size == projected)) {
            projected = size;
            scene.SetProjection(size.width, size.height);
        }
        scene.StepAndDraw(surface.CalendarSeconds());
        surface.Present();
        if (!settings.pace) continue;
        const auto deadline = pacer.Next(surface.Now());
        while (surface.Now() < deadline) {
            surface.WaitUntil(deadline);
            surface.Update();
            if (surface.Ended()) return 0;
        }
    }
}

}  // namespace veltrane
