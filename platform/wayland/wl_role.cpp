#include "platform/wayland/wl_role.h"

#include <wayland-client.h>

#include "platform/wayland/wl_layer_shell.h"
#include "xdg-shell-client-protocol.h"

namespace veltrane::platform {

struct RoleEvents {
    static void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                               std::uint32_t height) {
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        static_cast<SurfaceRole*>(data)->listener_.Configured(static_cast<std::int32_t>(width),
                                                              static_cast<std::int32_t>(height));
    }
    static void LayerClosed(void* data, zwlr_layer_surface_v1*) {
        static_cast<SurfaceRole*>(data)->listener_.Closed();
    }
    static void ToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
        auto* role = static_cast<SurfaceRole*>(data);
        role->pendingWidth_ = width;
        role->pendingHeight_ = height;
    }
    static void ToplevelClose(void* data, xdg_toplevel*) { static_cast<SurfaceRole*>(data)->listener_.Closed(); }
    static void SurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
        xdg_surface_ack_configure(surface, serial);
        auto* role = static_cast<SurfaceRole*>(data);
        role->listener_.Configured(role->pendingWidth_, role->pendingHeight_);
    }
};

namespace {

const zwlr_layer_surface_v1_listener kLayerListener = {RoleEvents::LayerConfigure, RoleEvents::LayerClosed};
const xdg_surface_listener kXdgSurfaceListener = {RoleEvents::SurfaceConfigure};
const xdg_toplevel_listener kToplevelListener = {RoleEvents::ToplevelConfigure, RoleEvents::ToplevelClose, nullptr,
                                                 nullptr};

constexpr std::uint32_t kAllEdges = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

}  // namespace

SurfaceRole::SurfaceRole(WaylandGlobals& globals, wl_surface* surface, const RoleSettings& settings,
                         RoleListener& listener)
    : listener_(listener) {
    if (settings.kind != RoleKind::Window && globals.layerShell() != nullptr) {
        // Size 0 x 0 anchored to every edge: the compositor sizes it to the output,
        // and exclusive zone -1 lets it lie over panels too.
        layer_ = zwlr_layer_shell_v1_get_layer_surface(globals.layerShell(), surface, settings.output,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "veltrane");
        zwlr_layer_surface_v1_add_listener(layer_, &kLayerListener, this);
        zwlr_layer_surface_v1_set_size(layer_, 0, 0);
        zwlr_layer_surface_v1_set_anchor(layer_, kAllEdges);
        zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            layer_, settings.kind == RoleKind::FullScreen ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                                                          : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
        return;
    }
    xdgSurface_ = xdg_wm_base_get_xdg_surface(globals.wmBase(), surface);
    xdg_surface_add_listener(xdgSurface_, &kXdgSurfaceListener, this);
    toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
    xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
    if (!settings.title.empty()) xdg_toplevel_set_title(toplevel_, settings.title.c_str());
    if (!settings.appId.empty()) xdg_toplevel_set_app_id(toplevel_, settings.appId.c_str());
    if (settings.kind != RoleKind::Window) xdg_toplevel_set_fullscreen(toplevel_, settings.output);
}

SurfaceRole::~SurfaceRole() {
    if (layer_ != nullptr) zwlr_layer_surface_v1_destroy(layer_);
    if (toplevel_ != nullptr) xdg_toplevel_destroy(toplevel_);
    if (xdgSurface_ != nullptr) xdg_surface_destroy(xdgSurface_);
}

}  // namespace veltrane::platform
