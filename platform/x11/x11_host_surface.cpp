#include "platform/x11/x11_host_surface.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include <GL/gl.h>
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xutil.h>

#include "platform/gl_config.h"
#include "platform/x11/glx_config_traits.h"
#include "platform/quoted_text.h"
#include "platform/stop_signals.h"
#include "platform/x11/x_error_trap.h"

namespace veltrane::platform {
namespace {

// A request that fails because the host destroyed its window under us is not a
// reason to end: the DestroyNotify that follows ends the surface in order.
int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

// The server is gone: nothing can be drawn or given back, and a saver has no one
// to report to, so the process ends at once and cleanly.
int ConnectionLost(::Display*) { _exit(0); }

// A visual that shows a GL picture as drawn: true colour, and no bits beyond red,
// green and blue. Other visuals go through a colormap the host owns (direct
// colour) or carry alpha that a compositor would blend with what lies below.
bool ShowsColoursAsDrawn(const XVisualInfo& visual) {
    const int colourBits = std::popcount(visual.red_mask | visual.green_mask | visual.blue_mask);
    return visual.c_class == TrueColor && visual.depth == colourBits;
}

std::string Hex(unsigned long id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

bool HasExtension(const char* list, const char* name) {
    if (list == nullptr) return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

// The GL configuration for the request among those whose visual `accept`s, or
// nullptr; `visual` receives its visual.
template <typename Accept>
GLXFBConfig ChooseConfig(::Display* display, int screen, const PixelFormatRequest& request, Accept accept,
                         XVisualInfo& visual) {
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    if (configs == nullptr) return nullptr;
    std::vector<GlConfigTraits> traits(static_cast<std::size_t>(count));
    std::vector<XVisualInfo> visuals(static_cast<std::size_t>(count));
    const int screenDepth = DefaultDepth(display, screen);
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        traits[index] = ReadGlConfigTraits(display, configs[i], screenDepth, &visuals[index]);
        traits[index].hasVisual = traits[index].hasVisual && accept(visuals[index]);
    }
    const int best = ChooseGlConfig(traits, request);
    GLXFBConfig chosen = best >= 0 ? configs[best] : nullptr;
    if (best >= 0) visual = visuals[static_cast<std::size_t>(best)];
    XFree(configs);
    return chosen;
}

}  // namespace

DrawingArea FitDrawingArea(SurfaceSize host, SurfaceSize limit) {
    DrawingArea area;
    area.size = SurfaceSize{std::min(host.width, limit.width), std::min(host.height, limit.height)};
    area.x = (host.width - area.size.width) / 2;
    area.y = (host.height - area.size.height) / 2;
    return area;
}

std::unique_ptr<X11HostSurface> X11HostSurface::Attach(const HostSurfaceSettings& settings,
                                                       const PixelFormatRequest& request, std::string& error) {
    std::unique_ptr<X11HostSurface> surface(new X11HostSurface());
    if (!surface->Open(settings, request, error)) return nullptr;
    return surface;
}

bool X11HostSurface::Open(const HostSurfaceSettings& settings, const PixelFormatRequest& request,
                          std::string& error) {
    stopFd_ = settings.stopFd;
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        error = "cannot open display " + QuotedText(XDisplayName(nullptr));
        return false;
    }
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(ConnectionLost);

    host_ = settings.root ? DefaultRootWindow(display_) : static_cast<::Window>(settings.window);
    XWindowAttributes attributes{};
    {
        // Structure events first, then the attributes: a change or destruction after
        // the read is then sure to be reported. Only structure events: the host owns
        // the window's input, and other clients may select these as well.
        XErrorTrap trap(display_);
        XSelectInput(display_, host_, StructureNotifyMask);
        const bool known = XGetWindowAttributes(display_, host_, &attributes) != 0;
        if (trap.Failed() || !known) {
            error = "no window " + Hex(host_) + " on display " + QuotedText(DisplayString(display_));
            host_ = 0;
            return false;
        }
    }
    if (attributes.c_class == InputOnly) {
        error = "window " + Hex(host_) + " is input-only and cannot be drawn in";
        return false;
    }
    screen_ = XScreenNumberOfScreen(attributes.screen);
    visible_ = attributes.map_state != IsUnmapped;

    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(display_, &errorBase, &eventBase)) {
        error = "the X server offers no OpenGL (GLX)";
        return false;
    }
    XVisualInfo visual{};
    GLXFBConfig config = nullptr;
    if (!settings.forceChildWindow) {
        const VisualID hostVisual = XVisualIDFromVisual(attributes.visual);
        config = ChooseConfig(
            display_, screen_, request,
            [hostVisual](const XVisualInfo& v) { return v.visualid == hostVisual && ShowsColoursAsDrawn(v); },
            visual);
    }
    const bool visualNeedsChild = config == nullptr;
    if (visualNeedsChild) {
        config = ChooseConfig(display_, screen_, request, ShowsColoursAsDrawn, visual);
        if (config == nullptr) {
            error = "no double-buffered RGBA OpenGL visual on this screen";
            return false;
        }
    }
    visual_ = visual.visual;
    depth_ = visual.depth;

    // The driver's limits are read with the context current on a small child, not
    // on the host window: a driver may fail outright on a window past them. The
    // child stays as the drawing window where one is needed.
    if (!MakeChild()) {
        error = "cannot make a drawing window in " + Hex(host_);
        return false;
    }
    XErrorTrap trap(display_);
    GLXContext context = glXCreateNewContext(display_, config, GLX_RGBA_TYPE, nullptr, True);
    context_ = context;
    if (context == nullptr || trap.Failed() || !glXMakeCurrent(display_, child_, context) || trap.Failed()) {
        error = "cannot draw with OpenGL in window " + Hex(host_);
        return false;
    }
    ReadDrawingLimits();
    hostSize_ = SurfaceSize{attributes.width, attributes.height};
    area_ = FitDrawingArea(hostSize_, limit_);
    if (!visualNeedsChild && area_.size == hostSize_) {
        if (!glXMakeCurrent(display_, host_, context) || trap.Failed()) {
            error = "cannot draw with OpenGL in window " + Hex(host_);
            return false;
        }
        XDestroyWindow(display_, child_);
        XFreeColormap(display_, childColormap_);
        child_ = 0;
        childColormap_ = 0;
    } else {
        PlaceChild();
        XMapWindow(display_, child_);
    }
    swapControl_ = settings.swapControl;
    if (swapControl_) SetSwapInterval();
    return true;
}

// An unmapped child of the host of the GL configuration's visual, with its own
// colormap; no events selected, so input still reaches the host.
bool X11HostSurface::MakeChild() {
    XErrorTrap trap(display_);
    childColormap_ = XCreateColormap(display_, host_, visual_, AllocNone);
    XSetWindowAttributes childAttributes{};
    childAttributes.colormap = childColormap_;
    childAttributes.background_pixel = 0;
    childAttributes.border_pixel = 0;
    child_ = XCreateWindow(display_, host_, 0, 0, 1, 1, 0, depth_, InputOutput, visual_,
                           CWColormap | CWBackPixel | CWBorderPixel, &childAttributes);
    return !trap.Failed();
}

void X11HostSurface::PlaceChild() {
    XMoveResizeWindow(display_, child_, area_.x, area_.y, static_cast<unsigned>(std::max(area_.size.width, 1)),
                      static_cast<unsigned>(std::max(area_.size.height, 1)));
}

void X11HostSurface::ReadDrawingLimits() {
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    // Window buffers are renderbuffers to the driver; older contexts do not know
    // the query and leave the value at 0.
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    while (glGetError() != GL_NO_ERROR) {
    }
    auto limit = [renderbuffer](GLint dimension) {
        int value = dimension > 0 ? dimension : std::numeric_limits<int>::max();
        return renderbuffer > 0 ? std::min(value, static_cast<int>(renderbuffer)) : value;
    };
    limit_ = SurfaceSize{limit(viewport[0]), limit(viewport[1])};
}

void X11HostSurface::FollowHostSize(SurfaceSize hostSize) {
    hostSize_ = hostSize;
    area_ = FitDrawingArea(hostSize_, limit_);
    if (child_ == 0) {
        if (area_.size == hostSize_) return;
        // Grown past the limits: from now on the drawing goes to a centred child
        // of the same visual, which the context can be made current on.
        if (!MakeChild() || !glXMakeCurrent(display_, child_, static_cast<GLXContext>(context_))) {
            ended_ = true;  // nothing can be drawn safely any more
            return;
        }
        XMapWindow(display_, child_);
        if (swapControl_) SetSwapInterval();
    }
    PlaceChild();
}

void X11HostSurface::SetSwapInterval() {
    const char* extensions = glXQueryExtensionsString(display_, screen_);
    if (HasExtension(extensions, "GLX_EXT_swap_control")) {
        auto setInterval = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
        if (setInterval != nullptr) {
            XErrorTrap trap(display_);
            setInterval(display_, DrawingWindow(), 1);
            swapSynchronised_ = !trap.Failed();
            if (swapSynchronised_) return;
        }
    }
    if (HasExtension(extensions, "GLX_MESA_swap_control")) {
        auto setInterval = reinterpret_cast<PFNGLXSWAPINTERVALMESAPROC>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
        if (setInterval != nullptr) swapSynchronised_ = setInterval(1) == 0;
    }
}

X11HostSurface::~X11HostSurface() {
    if (display_ == nullptr) return;
    if (context_ != nullptr) {
        glXMakeCurrent(display_, None, nullptr);
        glXDestroyContext(display_, static_cast<GLXContext>(context_));
    }
    if (child_ != 0) XDestroyWindow(display_, child_);  // already gone with a destroyed host
    if (childColormap_ != 0) XFreeColormap(display_, childColormap_);
    XCloseDisplay(display_);
}

void X11HostSurface::Translate(const XEvent& event) {
    switch (event.type) {
        case DestroyNotify:
            if (event.xdestroywindow.window == host_) ended_ = true;
            return;
        case ConfigureNotify:
            if (event.xconfigure.window != host_) return;
            FollowHostSize(SurfaceSize{event.xconfigure.width, event.xconfigure.height});
            return;
        case MapNotify:
            if (event.xmap.window == host_) visible_ = true;
            return;
        case UnmapNotify:
            if (event.xunmap.window == host_) visible_ = false;
            return;
        default:
            return;
    }
}

void X11HostSurface::Update() {
    if (TakeStopSignals(stopFd_)) ended_ = true;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        Translate(event);
    }
}

void X11HostSurface::WaitUntil(Clock::time_point deadline) {
    if (XPending(display_) > 0) return;  // also sends what is still buffered
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const nfds_t count = stopFd_ >= 0 ? 2 : 1;
    if (deadline == Clock::time_point::max()) {
        ppoll(fds, count, nullptr, nullptr);
        return;
    }
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    // A hang-up on the connection wakes us too; the next XPending then meets the
    // closed connection and the process ends.
    ppoll(fds, count, &timeout, nullptr);
}

std::int64_t X11HostSurface::CalendarSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

void X11HostSurface::Present() { glXSwapBuffers(display_, DrawingWindow()); }

}  // namespace veltrane::platform
