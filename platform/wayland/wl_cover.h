// A black surface over one output, so no output shows the desktop beside the
// full-screen surface. Its buffer has the output's size: a tiny buffer scaled
// up leaves the last rows uncovered on software compositors, whose fixed-point
// scale overshoots a one-pixel source.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/wayland/wl_globals.h"
#include "platform/wayland/wl_role.h"

struct wl_buffer;
struct wl_surface;

namespace veltrane::platform {

// A zero-filled (black, opaque) XRGB8888 buffer; null when no memory could be had.
wl_buffer* CreateBlackBuffer(wl_shm* shm, std::int32_t width, std::int32_t height);

class BlackCover final : public RoleListener {
public:
    BlackCover(WaylandGlobals& globals, wl_output* output);
    ~BlackCover() override;
    BlackCover(const BlackCover&) = delete;
    BlackCover& operator=(const BlackCover&) = delete;

    wl_surface* surface() const { return surface_; }

    void Configured(std::int32_t width, std::int32_t height) override;
    void Closed() override {}  // its output is going away; the owner drops it then

private:
    WaylandGlobals& globals_;
    wl_surface* surface_ = nullptr;
    std::unique_ptr<SurfaceRole> role_;
    wl_buffer* buffer_ = nullptr;
    std::int32_t bufferWidth_ = 0, bufferHeight_ = 0;
};

}  // namespace veltrane::platform
