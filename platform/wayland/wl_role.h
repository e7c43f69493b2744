// What a surface is to the compositor: a layer-shell surface on the overlay
// layer covering its output, or an xdg-shell toplevel (full screen on an
// output, or an ordinary window) where the compositor has no layer shell.
// Configure events are acknowledged here, before the owner hears of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wayland/wl_globals.h"

struct wl_surface;
struct zwlr_layer_surface_v1;
struct xdg_surface;
struct xdg_toplevel;

namespace veltrane::platform {

enum class RoleKind {
    FullScreen,  // above everything on its output, with the keyboard
    Cover,       // above everything on its output, black, without the keyboard
    Window,      // an ordinary titled window
};

struct RoleSettings {
    RoleKind kind = RoleKind::Window;
    wl_output* output = nullptr;  // null: the compositor picks
    std::string title;
    std::string appId;
};

class RoleListener {
public:
    virtual ~RoleListener() = default;
    // The size the compositor suggests (0: the client's choice), acknowledged.
    virtual void Configured(std::int32_t width, std::int32_t height) = 0;
    // The compositor will not show the surface again, or asks it to close.
    virtual void Closed() = 0;
};

class SurfaceRole {
public:
    // Gives `surface` its role; the caller commits it (without a buffer) once its
    // other state is set. Uses the layer shell when the compositor has one.
    SurfaceRole(WaylandGlobals& globals, wl_surface* surface, const RoleSettings& settings, RoleListener& listener);
    ~SurfaceRole();
    SurfaceRole(const SurfaceRole&) = delete;
    SurfaceRole& operator=(const SurfaceRole&) = delete;

    bool layered() const { return layer_ != nullptr; }

private:
    friend struct RoleEvents;

    RoleListener& listener_;
    zwlr_layer_surface_v1* layer_ = nullptr;
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    std::int32_t pendingWidth_ = 0, pendingHeight_ = 0;  // from the toplevel's configure
};

}  // namespace veltrane::platform
