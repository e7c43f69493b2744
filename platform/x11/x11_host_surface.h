// A HostSurface on X11 with GLX: attaches to a window another program owns (a
// saver host's window or the root window) and draws in it, or, where the
// window's visual cannot show a double-buffered RGBA GL picture as drawn, in a
// child window of a visual that can, with its own colormap, covering the window
// and following its size. A window larger than the GL driver can draw (its
// viewport and renderbuffer limits; X allows 32767 pixels a side) is drawn in a
// child of at most that size, centred, the rest left to the window's
// background. Nothing else is touched: the host window's input is not selected,
// no top-level window is made, the pointer, the display mode and the X screen
// saver are left alone.
#pragma once

#include <memory>
#include <string>

#include <X11/Xlib.h>

#include "platform/host_surface.h"
#include "platform/window_system.h"

namespace veltrane::platform {

struct HostSurfaceSettings {
    bool root = false;          // draw in the screen's root window
    unsigned long window = 0;   // else in this window
    int stopFd = -1;            // stop_signals.h: its bytes end the surface
    bool forceChildWindow = false;  // draw in a child even where the window's visual would do
    bool swapControl = true;        // ask for swaps synchronised to the display where offered
};

// Where the drawing area lies in a host window of `host` size when the driver
// draws at most `limit`: the window itself when it fits, else the largest part
// that does, centred.
struct DrawingArea {
    int x = 0, y = 0;
    SurfaceSize size;
};
DrawingArea FitDrawingArea(SurfaceSize host, SurfaceSize limit);

class X11HostSurface final : public HostSurface {
public:
    // Opens the display ($DISPLAY), attaches and makes a GL context current.
    // nullptr on failure, with a one-line reason in `error`. From here on, a lost
    // X connection ends the process at once with exit code 0.
    static std::unique_ptr<X11HostSurface> Attach(const HostSurfaceSettings& settings,
                                                  const PixelFormatRequest& request, std::string& error);
    ~X11HostSurface() override;
    X11HostSurface(const X11HostSurface&) = delete;
    X11HostSurface& operator=(const X11HostSurface&) = delete;

    void Update() override;
    bool Ended() const override { return ended_; }
    bool Visible() const override { return visible_; }
    // The drawn part: the window's size, or less where the driver's limits are.
    SurfaceSize Size() const override { return area_.size; }
    void WaitUntil(Clock::time_point deadline) override;
    Clock::time_point Now() override { return Clock::now(); }
    std::int64_t CalendarSeconds() override;
    void Present() override;

    ::Display* display() const { return display_; }
    ::Window HostWindow() const { return host_; }
    // The window GL draws in: the host window itself, or the child covering it.
    ::Window DrawingWindow() const { return child_ != 0 ? child_ : host_; }
    bool UsesChildWindow() const { return child_ != 0; }
    // True when a swap interval of 1 was set through GLX_EXT_swap_control or
    // GLX_MESA_swap_control.
    bool SwapSynchronised() const { return swapSynchronised_; }

private:
    X11HostSurface() = default;
    bool Open(const HostSurfaceSettings& settings, const PixelFormatRequest& request, std::string& error);
    void SetSwapInterval();
    void Translate(const XEvent& event);
    bool MakeChild();
    void PlaceChild();
    void ReadDrawingLimits();
    // The host's size changed: a window grown past the limits moves the drawing
    // into a centred child; an existing child follows.
    void FollowHostSize(SurfaceSize hostSize);

    ::Display* display_ = nullptr;
    ::Window host_ = 0;
    ::Window child_ = 0;
    ::Colormap childColormap_ = 0;
    Visual* visual_ = nullptr;  // of the GL configuration, for a child window
    int depth_ = 0;
    void* context_ = nullptr;  // GLXContext
    int screen_ = 0;
    int stopFd_ = -1;
    bool ended_ = false;
    bool visible_ = true;
    bool swapControl_ = true;
    bool swapSynchronised_ = false;
    SurfaceSize hostSize_;
    SurfaceSize limit_;  // the largest area the driver draws
    DrawingArea area_;
};

}  // namespace veltrane::platform
