#include "platform/wayland/wl_egl.h"

#include <cstring>

#include <EGL/eglext.h>
#include <wayland-egl.h>

namespace veltrane::platform {
namespace {

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint attribute) {
    EGLint value = 0;
    if (!eglGetConfigAttrib(display, config, attribute, &value)) return 0;
    return value;
}

bool HasExtension(const char* extensions, const char* name) {
    if (extensions == nullptr) return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(extensions, name); at != nullptr; at = std::strstr(at + length, name)) {
        const bool starts = at == extensions || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

EGLDisplay WaylandDisplay(wl_display* display) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (HasExtension(clientExtensions, "EGL_KHR_platform_wayland") ||
        HasExtension(clientExtensions, "EGL_EXT_platform_wayland")) {
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay != nullptr) return getPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, display, nullptr);
    }
    return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
}

}  // namespace

GlConfigTraits ReadEglConfigTraits(EGLDisplay display, EGLConfig config) {
    GlConfigTraits t;
    t.redBits = Attribute(display, config, EGL_RED_SIZE);
    t.greenBits = Attribute(display, config, EGL_GREEN_SIZE);
    t.blueBits = Attribute(display, config, EGL_BLUE_SIZE);
    t.alphaBits = Attribute(display, config, EGL_ALPHA_SIZE);
    t.depthBits = Attribute(display, config, EGL_DEPTH_SIZE);
    t.stencilBits = Attribute(display, config, EGL_STENCIL_SIZE);
    t.samples = Attribute(display, config, EGL_SAMPLES);
    t.rgba = Attribute(display, config, EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER &&
             (Attribute(display, config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) != 0;
    t.drawsToWindow = (Attribute(display, config, EGL_SURFACE_TYPE) & EGL_WINDOW_BIT) != 0;
    t.doubleBuffer = t.drawsToWindow;
    t.slow = Attribute(display, config, EGL_CONFIG_CAVEAT) == EGL_SLOW_CONFIG;
    t.hasVisual = t.alphaBits == 0;
    t.visualDepthIsScreenDepth = true;
    return t;
}

int ChooseWaylandGlConfig(const std::vector<GlConfigTraits>& configs, const PixelFormatRequest& request) {
    constexpr std::uint8_t kXrgb8888ColourBits = 24;
    PixelFormatRequest wayland = request;
    wayland.cColorBits = kXrgb8888ColourBits;
    wayland.cAlphaBits = 0;
    return ChooseGlConfig(configs, wayland);
}

WaylandEgl::~WaylandEgl() {
    if (display_ == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglTerminate(display_);
    eglReleaseThread();
}

std::string WaylandEgl::Initialize(wl_display* display) {
    display_ = WaylandDisplay(display);
    if (display_ == EGL_NO_DISPLAY) return "EGL has no display for the Wayland connection";
    if (!eglInitialize(display_, nullptr, nullptr)) {
        display_ = EGL_NO_DISPLAY;
        return "EGL cannot be initialised on the Wayland connection";
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return "EGL offers no desktop OpenGL on the Wayland connection";
    EGLint count = 0;
    if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) return "EGL offers no configuration";
    configs_.resize(static_cast<std::size_t>(count));
    eglGetConfigs(display_, configs_.data(), count, &count);
    configs_.resize(static_cast<std::size_t>(count));
    traits_.reserve(configs_.size());
    for (EGLConfig config : configs_) traits_.push_back(ReadEglConfigTraits(display_, config));
    return {};
}

int WaylandEgl::ChooseFormat(const PixelFormatRequest& request) const {
    return ChooseWaylandGlConfig(traits_, request) + 1;
}

EGLConfig WaylandEgl::ConfigAt(int format) const {
    if (format < 1 || format > static_cast<int>(configs_.size())) return nullptr;
    return configs_[static_cast<std::size_t>(format - 1)];
}

EGLContext WaylandEgl::CreateContext(int format) const {
    EGLConfig config = ConfigAt(format);
    if (config == nullptr) return EGL_NO_CONTEXT;
    eglBindAPI(EGL_OPENGL_API);
    // No version asked: a compatibility context, which runs OpenGL 1.1 calls.
    return eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
}

EGLSurface WaylandEgl::CreateSurface(int format, wl_egl_window* window) const {
    EGLConfig config = ConfigAt(format);
    if (config == nullptr || window == nullptr) return EGL_NO_SURFACE;
    return eglCreateWindowSurface(display_, config, reinterpret_cast<EGLNativeWindowType>(window), nullptr);
}

void WaylandEgl::DestroySurface(EGLSurface surface) const {
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display_, surface);
}

bool WaylandEgl::IsCurrent(EGLSurface surface) const {
    return surface != EGL_NO_SURFACE && eglGetCurrentSurface(EGL_DRAW) == surface;
}

bool WaylandEgl::MakeCurrent(EGLSurface surface, EGLContext context) const {
    if (context == EGL_NO_CONTEXT) {
        return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
    }
    if (eglMakeCurrent(display_, surface, surface, context) != EGL_TRUE) return false;
    // Frames are paced by the compositor's frame callbacks, never by a blocking swap.
    eglSwapInterval(display_, 0);
    return true;
}

bool WaylandEgl::DestroyContext(EGLContext context) const {
    return context != EGL_NO_CONTEXT && eglDestroyContext(display_, context) == EGL_TRUE;
}

bool WaylandEgl::Swap(EGLSurface surface) const { return eglSwapBuffers(display_, surface) == EGL_TRUE; }

}  // namespace veltrane::platform
