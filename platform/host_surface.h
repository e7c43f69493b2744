// A drawing surface in a window that another program owns (a saver host's
// window or the root window), with a current GL context. The host owns the
// window's input, size and life; the surface reports what the host does to it
// and presents frames. The X11 implementation is x11/x11_host_surface.h; tests use
// a fake.
#pragma once

#include <chrono>
#include <cstdint>

namespace veltrane::platform {

struct SurfaceSize {
    int width = 0, height = 0;
    bool operator==(const SurfaceSize&) const = default;
};

class HostSurface {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~HostSurface() = default;

    // Takes in, without blocking, what has happened since the last call: size and
    // map changes of the window, its destruction, stop signals.
    virtual void Update() = 0;
    // The window is gone or a stop signal came: no more frames.
    virtual bool Ended() const = 0;
    // The host shows the window; nothing is drawn while it does not.
    virtual bool Visible() const = 0;
    // The size of the drawing area as last reported.
    virtual SurfaceSize Size() const = 0;

    // Blocks until something may have happened or `deadline` has passed.
    virtual void WaitUntil(Clock::time_point deadline) = 0;
    virtual Clock::time_point Now() = 0;
    // Calendar time in whole seconds, for the particle field's reseed.
    virtual std::int64_t CalendarSeconds() = 0;

    // Presents the frame drawn into the back buffer.
    virtual void Present() = 0;
};

}  // namespace veltrane::platform
