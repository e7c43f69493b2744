// EGL on the Wayland connection with desktop OpenGL bound, so the renderer's
// OpenGL 1.1 scene draws as it does under GLX: the configurations as pixel
// formats, contexts, and window surfaces over wl_egl_window.
#pragma once

#include <string>
#include <vector>

#include <EGL/egl.h>

#include "platform/gl_config.h"
#include "platform/window_system.h"

struct wl_display;
struct wl_egl_window;

namespace veltrane::platform {

// What ChooseGlConfig weighs, read from an EGL configuration. A window surface
// is always double-buffered; a configuration with alpha would let the desktop
// show through the surface, so it counts as having no usable visual.
GlConfigTraits ReadEglConfigTraits(EGLDisplay display, EGLConfig config);

// Index of the configuration a Wayland window gets for `request`, -1 when none
// serves: 8 bits a channel without alpha (the compositor's XRGB8888) whatever
// colour bits are asked, since no Wayland client switches an output to fewer
// and the compositor would convert a 16-bit buffer on every frame; depth and
// the rest as ChooseGlConfig weighs them.
int ChooseWaylandGlConfig(const std::vector<GlConfigTraits>& configs, const PixelFormatRequest& request);

class WaylandEgl {
public:
    WaylandEgl() = default;
    ~WaylandEgl();
    WaylandEgl(const WaylandEgl&) = delete;
    WaylandEgl& operator=(const WaylandEgl&) = delete;

    // Empty when EGL runs desktop OpenGL on `display`, else why not.
    std::string Initialize(wl_display* display);

    // 1-based index of the best configuration for the request; 0 when none fits.
    int ChooseFormat(const PixelFormatRequest& request) const;
    EGLContext CreateContext(int format) const;
    EGLSurface CreateSurface(int format, wl_egl_window* window) const;
    void DestroySurface(EGLSurface surface) const;
    bool IsCurrent(EGLSurface surface) const;
    bool MakeCurrent(EGLSurface surface, EGLContext context) const;
    bool DestroyContext(EGLContext context) const;
    bool Swap(EGLSurface surface) const;

private:
    EGLConfig ConfigAt(int format) const;

    EGLDisplay display_ = EGL_NO_DISPLAY;
    std::vector<EGLConfig> configs_;
    std::vector<GlConfigTraits> traits_;
};

}  // namespace veltrane::platform
