// The renderer in a window of a saver host: the same field, scene and sprite as
// full screen, drawn into a HostSurface at the surface's size. Nothing else of
// the display changes: no mode switch, no pointer change, no input, no window of
// its own. Frames are paced to 60 per second on a fixed grid.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/host_surface.h"
#include "renderer/renderer_main.h"

namespace veltrane {

inline constexpr int kHostFramesPerSecond = 60;

// Deadlines on a fixed grid of 1/60 s from a start point, so the rate does not
// drift with how late each wait wakes. A frame that ends more than a whole period
// behind its deadline starts a new grid from now instead of drawing a burst of
// frames to catch up.
class FramePacer {
public:
    using Clock = platform::HostSurface::Clock;
    explicit FramePacer(Clock::time_point start) : origin_(start) {}
    static Clock::duration Offset(std::int64_t frames);
    // The time the next frame may start, given that the last one ended at `now`.
    Clock::time_point Next(Clock::time_point now);

private:
    Clock::time_point origin_;
    std::int64_t frames_ = 0;
};

struct HostModeSettings {
    bool pace = true;  // off only for measuring the unpaced rate
};

// Draws frames into `surface` until it ends; returns the exit code (0). The
// surface's context must be current.
int RunHostMode(platform::HostSurface& surface, RendererScene& scene, const HostModeSettings& settings = {});

}  // namespace veltrane
