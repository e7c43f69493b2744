#include "platform/x11/x11_window_system.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iterator>
#include <unordered_set>

#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/scrnsaver.h>

#include "platform/x11/cursor.h"
#include "platform/gl_config.h"
#include "platform/x11/glx_config_traits.h"
#include "platform/x11/keymap.h"
#include "platform/stop_signals.h"
#include "platform/x11/window_message.h"
#include "platform/x11/x_error_trap.h"

namespace veltrane::platform {
namespace {

// A failing request (a window a manager destroyed under us, a mode the server
// refuses) is not a reason to end the program; the caller sees the failure.
int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

// The display the program runs on, kept for the connection-lost handler.
char g_displayName[256] = "";

// The connection is gone: nothing can be drawn, so the program ends at once
// rather than spin on a dead connection. The server may still be alive (xkill, a
// manager's force-quit): then a fresh connection gives back the display mode we
// held. The pointer and the screen saver follow our connection by themselves.
int ConnectionLost(::Display*) {
    if (g_displayName[0] != '\0') {
        if (::Display* fresh = XOpenDisplay(g_displayName)) {
            XSetErrorHandler(IgnoreXError);
            RestoreAbandonedDisplayMode(fresh);
            XCloseDisplay(fresh);
        }
    }
    _exit(0);
}

constexpr long kEventMask = StructureNotifyMask | KeyPressMask | KeyReleaseMask | FocusChangeMask | PropertyChangeMask;
// Without a manager the full-screen window learns it was covered, to rise again.
constexpr long kUnmanagedPopupEventMask = kEventMask | VisibilityChangeMask;
constexpr auto kFrameExtentsWait = std::chrono::milliseconds(250);

GLXFBConfig ConfigAt(const std::vector<void*>& configs, int format) {
    if (format < 1 || format > static_cast<int>(configs.size())) return nullptr;
    return static_cast<GLXFBConfig>(configs[static_cast<std::size_t>(format - 1)]);
}

bool SameRequest(const PixelFormatRequest& a, const PixelFormatRequest& b) {
    return a.dwFlags == b.dwFlags && a.iPixelType == b.iPixelType && a.cColorBits == b.cColorBits &&
           a.cAlphaBits == b.cAlphaBits && a.cAccumBits == b.cAccumBits && a.cDepthBits == b.cDepthBits &&
           a.cStencilBits == b.cStencilBits && a.cAuxBuffers == b.cAuxBuffers && a.iLayerType == b.iLayerType;
}

int Attribute(::Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    if (glXGetFBConfigAttrib(display, config, attribute, &value) != Success) return 0;
    return value;
}

}  // namespace

X11WindowSystem::X11WindowSystem(const PixelFormatRequest& visualRequest, int stopFd)
    : visualRequest_(visualRequest), stopFd_(stopFd) {}

X11WindowSystem::~X11WindowSystem() {
    if (display_ == nullptr) return;
    while (!windows_.empty()) DestroyWindow(windows_.begin()->first);
    modeSwitch_.Restore();
    XCloseDisplay(display_);  // also undoes a pointer hide of ours
}

bool X11WindowSystem::OpenDisplay() {
    if (display_ != nullptr) return true;
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    XSetErrorHandler(IgnoreXError);
    const char* name = DisplayString(display_);
    if (name != nullptr && std::strlen(name) < sizeof g_displayName) std::strcpy(g_displayName, name);
    XSetIOErrorHandler(ConnectionLost);
    // Every atom the windows use, in one round trip rather than one each.
    const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "UTF8_STRING", "_NET_WM_NAME", "_NET_WM_PID",
                           "_NET_SUPPORTED", "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_ABOVE",
                           "_NET_WM_BYPASS_COMPOSITOR", "_MOTIF_WM_HINTS", "_NET_ACTIVE_WINDOW",
                           "_NET_REQUEST_FRAME_EXTENTS", "_NET_FRAME_EXTENTS", "WM_LOCALE_NAME", kWindowMessageAtom};
    ::Atom atoms[std::size(names)];
    XInternAtoms(display_, const_cast<char**>(names), static_cast<int>(std::size(names)), False, atoms);
    return true;
}

::Atom X11WindowSystem::Intern(const char* name) { return XInternAtom(display_, name, False); }

X11WindowSystem::WindowEntry* X11WindowSystem::Find(WindowHandle hWnd) {
    auto it = windows_.find(hWnd);
    return it == windows_.end() ? nullptr : &it->second;
}

void X11WindowSystem::TimeBeginPeriod(unsigned int) {}

std::int64_t X11WindowSystem::Time() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool X11WindowSystem::RegisterClass(const std::string& className, InstanceHandle instance, WindowProc proc) {
    if (proc == nullptr || classes_.count(className) != 0 || !OpenDisplay()) return false;
    classes_[className] = ClassEntry{instance, proc};
    return true;
}

void X11WindowSystem::UnregisterClass(const std::string& className, InstanceHandle) { classes_.erase(className); }

bool X11WindowSystem::ChangeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t) {
    // An X screen's depth is fixed; the colour bits are asked of the GL visual instead.
    return display_ != nullptr && modeSwitch_.Enter(display_, width, height);
}

void X11WindowSystem::RestoreDisplayMode() { modeSwitch_.Restore(); }

int X11WindowSystem::ShowCursor(bool show) { return platform::ShowCursor(display_, show); }

bool X11WindowSystem::WindowManagerRuns() {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, DefaultRootWindow(display_), &attributes)) return false;
    return (attributes.all_event_masks & SubstructureRedirectMask) != 0;
}

bool X11WindowSystem::WindowManagerSupports(const char* atomName) {
    if (!WindowManagerRuns()) return false;
    const ::Atom wanted = Intern(atomName);
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), Intern("_NET_SUPPORTED"), 0, 4096, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* atoms = reinterpret_cast<const ::Atom*>(data);
        found = std::find(atoms, atoms + count, wanted) != atoms + count;
    }
    if (data != nullptr) XFree(data);
    return found;
}

// The manager's frame around a titled window, asked once per process with
// _NET_REQUEST_FRAME_EXTENTS on a window that is never shown.
const X11WindowSystem::FrameExtents& X11WindowSystem::Frame() {
    if (frameKnown_) return frame_;
    frameKnown_ = true;
    frame_ = FrameExtents{};
    if (!WindowManagerSupports("_NET_REQUEST_FRAME_EXTENTS")) return frame_;

    const ::Window root = DefaultRootWindow(display_);
    const ::Atom extentsAtom = Intern("_NET_FRAME_EXTENTS");
    const ::Window probe = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display_, probe, PropertyChangeMask);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = probe;
    request.xclient.message_type = Intern("_NET_REQUEST_FRAME_EXTENTS");
    request.xclient.format = 32;
    XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(display_);

    const auto deadline = std::chrono::steady_clock::now() + kFrameExtentsWait;
    bool answered = false;
    while (!answered && std::chrono::steady_clock::now() < deadline) {
        XEvent event;
        while (XCheckWindowEvent(display_, probe, PropertyChangeMask, &event)) {
            if (event.xproperty.atom == extentsAtom) answered = true;
        }
        if (!answered) {
            pollfd fd{ConnectionNumber(display_), POLLIN, 0};
            poll(&fd, 1, 10);
        }
    }
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, probe, extentsAtom, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 32 && count == 4) {
        const auto* values = reinterpret_cast<const long*>(data);
        frame_ = FrameExtents{static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
                              static_cast<int>(values[3])};
    }
    if (data != nullptr) XFree(data);
    XDestroyWindow(display_, probe);
    return frame_;
}

void X11WindowSystem::AdjustWindowRect(Rect& rect, std::uint32_t style, std::uint32_t) {
    if ((style & WS_POPUP) != 0 || display_ == nullptr) return;
    const FrameExtents& frame = Frame();
    rect.left -= frame.left;
    rect.top -= frame.top;
    rect.right += frame.right;
    rect.bottom += frame.bottom;
}

void X11WindowSystem::LoadGlConfigs() {
    if (glConfigsLoaded_ || display_ == nullptr) return;
    glConfigsLoaded_ = true;
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(display_, &errorBase, &eventBase)) return;
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display_, DefaultScreen(display_), &count);
    if (configs == nullptr) return;
    glConfigs_.assign(configs, configs + count);
    XFree(configs);
}

int X11WindowSystem::ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) {
    return Find(dc) == nullptr ? 0 : BestFormat(request);
}

int X11WindowSystem::BestFormat(const PixelFormatRequest& request) {
    // The window's visual and the pixel format are both chosen for the same request.
    for (const auto& [asked, format] : bestFormats_) {
        if (SameRequest(asked, request)) return format;
    }
    LoadGlConfigs();
    // GLX rules out what can never serve (not RGBA, no window, no X visual, stereo,
    // the other buffering) without a call per attribute; only the rest are weighed.
    const int required[] = {GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_X_RENDERABLE, True,
                            GLX_DOUBLEBUFFER, (request.dwFlags & PFD_DOUBLEBUFFER) != 0 ? True : False,
                            GLX_STEREO, False, None};
    int matchCount = 0;
    GLXFBConfig* matching =
        glConfigs_.empty() ? nullptr : glXChooseFBConfig(display_, DefaultScreen(display_), required, &matchCount);
    std::vector<std::size_t> candidates;
    if (matching != nullptr) {
        const std::unordered_set<void*> usable(matching, matching + matchCount);
        XFree(matching);
        for (std::size_t i = 0; i < glConfigs_.size(); ++i) {
            if (usable.count(glConfigs_[i]) != 0) candidates.push_back(i);  // in format order, as ties are broken
        }
    }

    std::vector<GlConfigTraits> traits;
    traits.reserve(candidates.size());
    const int screenDepth = DefaultDepth(display_, DefaultScreen(display_));
    for (std::size_t index : candidates) {
        traits.push_back(ReadGlConfigTraits(display_, static_cast<GLXFBConfig>(glConfigs_[index]), screenDepth));
    }
    const int best = ChooseGlConfig(traits, request);
    const int format = best < 0 ? 0 : static_cast<int>(candidates[static_cast<std::size_t>(best)]) + 1;
    bestFormats_.emplace_back(request, format);
    return format;
}

bool X11WindowSystem::SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest&) {
    WindowEntry* entry = Find(dc);
    GLXFBConfig config = ConfigAt(glConfigs_, format);
    if (entry == nullptr || config == nullptr) return false;
    if (entry->pixelFormat != 0) return entry->pixelFormat == format;  // a window's format is set once
    // The window was made with a visual; only formats of that visual can draw to it.
    if (static_cast<unsigned long>(Attribute(display_, config, GLX_VISUAL_ID)) != entry->visualId) return false;
    entry->pixelFormat = format;
    return true;
}

WindowHandle X11WindowSystem::CreateWindow(std::uint32_t, const std::string& className,
                                           const std::string& windowName, std::uint32_t style, std::int32_t x,
                                           std::int32_t y, std::int32_t width, std::int32_t height, InstanceHandle,
                                           void* createParam) {
    auto cls = classes_.find(className);
    if (display_ == nullptr || cls == classes_.end()) return 0;
    const int screen = DefaultScreen(display_);
    const ::Window root = RootWindow(display_, screen);
    const bool popup = (style & WS_POPUP) != 0;

    // The visual of the GL format windows are asked for; the screen's own without GL.
    Visual* visual = DefaultVisual(display_, screen);
    int depth = DefaultDepth(display_, screen);
    unsigned long visualId = XVisualIDFromVisual(visual);
    {
        XVisualInfo* info = nullptr;
        if (GLXFBConfig config = ConfigAt(glConfigs_, BestFormat(visualRequest_))) {
            info = glXGetVisualFromFBConfig(display_, config);
        }
        if (info != nullptr) {
            visual = info->visual;
            depth = info->depth;
            visualId = info->visualid;
            XFree(info);
        }
    }

    // A full-screen window sits above everything: through the manager's
    // full-screen state where one offers it, else past any manager.
    const bool managedFullScreen = popup && WindowManagerSupports("_NET_WM_STATE_FULLSCREEN");
    int clientWidth = width, clientHeight = height;
    if (!popup) {
        const FrameExtents& frame = Frame();
        clientWidth -= frame.left + frame.right;
        clientHeight -= frame.top + frame.bottom;
    }
    clientWidth = std::max(clientWidth, 1);
    clientHeight = std::max(clientHeight, 1);

    WindowEntry entry;
    entry.proc = cls->second.proc;
    entry.colormap = XCreateColormap(display_, root, visual, AllocNone);
    entry.visualId = visualId;
    entry.popup = popup;
    entry.keepAbove = popup && !managedFullScreen;
    entry.clientWidth = clientWidth;
    entry.clientHeight = clientHeight;

    XSetWindowAttributes attributes{};
    attributes.colormap = entry.colormap;
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    const bool overrideRedirect = popup && !managedFullScreen;
    attributes.event_mask = overrideRedirect ? kUnmanagedPopupEventMask : kEventMask;
    attributes.override_redirect = overrideRedirect ? True : False;
    ::Window window = 0;
    bool failed = false;
    {
        XErrorTrap trap(display_);
        window = XCreateWindow(display_, root, x, y, static_cast<unsigned>(clientWidth),
                               static_cast<unsigned>(clientHeight), 0, depth, InputOutput, visual,
                               CWColormap | CWBackPixel | CWBorderPixel | CWEventMask | CWOverrideRedirect,
                               &attributes);
        failed = window == 0 || trap.Failed();
    }
    if (failed) {
        if (window != 0) XDestroyWindow(display_, window);
        XFreeColormap(display_, entry.colormap);
        return 0;
    }

    // Title, class and the manager's hints.
    XTextProperty title{};
    char* titleText = const_cast<char*>(windowName.c_str());
    XStringListToTextProperty(&titleText, 1, &title);
    XSizeHints* sizeHints = XAllocSizeHints();
    sizeHints->flags = USPosition | PPosition | PSize | PWinGravity;
    sizeHints->x = x;
    sizeHints->y = y;
    sizeHints->width = clientWidth;
    sizeHints->height = clientHeight;
    sizeHints->win_gravity = NorthWestGravity;
    XWMHints* wmHints = XAllocWMHints();
    wmHints->flags = InputHint | StateHint;
    wmHints->input = True;
    wmHints->initial_state = NormalState;
    XClassHint* classHint = XAllocClassHint();
    char instanceName[] = "veltrane";
    classHint->res_name = instanceName;
    classHint->res_class = const_cast<char*>(className.c_str());
    XSetWMProperties(display_, window, &title, &title, nullptr, 0, sizeHints, wmHints, classHint);
    XFree(title.value);
    XFree(sizeHints);
    XFree(wmHints);
    XFree(classHint);
    XChangeProperty(display_, window, Intern("_NET_WM_NAME"), Intern("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(windowName.data()), static_cast<int>(windowName.size()));
    ::Atom deleteWindow = Intern("WM_DELETE_WINDOW");
    XSetWMProtocols(display_, window, &deleteWindow, 1);
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display_, window, Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    if (managedFullScreen) {
        const ::Atom states[] = {Intern("_NET_WM_STATE_FULLSCREEN"), Intern("_NET_WM_STATE_ABOVE")};
        XChangeProperty(display_, window, Intern("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states), 2);
        const long bypassCompositor = 1;
        XChangeProperty(display_, window, Intern("_NET_WM_BYPASS_COMPOSITOR"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&bypassCompositor), 1);
        const long motifHints[5] = {2 /* decorations */, 0, 0 /* none */, 0, 0};
        XChangeProperty(display_, window, Intern("_MOTIF_WM_HINTS"), Intern("_MOTIF_WM_HINTS"), 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(motifHints), 5);
    }

    windows_[window] = entry;
    if (windows_.size() == 1) HoldScreenSaver(true);
    if (stopRequested_) Enqueue(window, WM_CLOSE, 0, 0);

    CreateStruct create{createParam};
    if (entry.proc(window, WM_CREATE, 0, reinterpret_cast<LParam>(&create)) == -1) {
        DestroyWindow(window);
        return 0;
    }
    return window;
}

bool X11WindowSystem::ShowWindow(WindowHandle hWnd, int) {
    WindowEntry* entry = Find(hWnd);
    if (entry == nullptr) return false;
    XMapRaised(display_, hWnd);
    XFlush(display_);
    if (entry->cursor == 0) {
        // The arrow, and the key settings below, are made once the window is on its
        // way to the screen: they are not needed before it is there, and loading
        // the cursor theme would only hold the mapping up.
        entry->cursor = XCreateFontCursor(display_, XC_left_ptr);
        XDefineCursor(display_, hWnd, entry->cursor);
        if (!keyRepeatSet_) {
            // Held keys repeat as presses only, without the release X puts between them.
            keyRepeatSet_ = true;
            Bool supported = False;
            XkbSetDetectableAutoRepeat(display_, True, &supported);
        }
        XFlush(display_);
    }
    if (!entry->shown) {
        // The first showing reports the client size at once, before any frame.
        entry->shown = true;
        entry->proc(hWnd, WM_SIZE, SIZE_RESTORED,
                    MakeLParam(static_cast<std::uint16_t>(entry->clientWidth),
                               static_cast<std::uint16_t>(entry->clientHeight)));
    }
    return true;
}

bool X11WindowSystem::DestroyWindow(WindowHandle hWnd) {
    WindowEntry* entry = Find(hWnd);
    if (entry == nullptr) return false;
    entry->proc(hWnd, WM_DESTROY, 0, 0);
    entry = Find(hWnd);
    if (entry == nullptr) return true;
    const WindowEntry gone = *entry;
    windows_.erase(hWnd);
    if (!gone.destroyed) XDestroyWindow(display_, hWnd);
    XFreeColormap(display_, gone.colormap);
    if (gone.cursor != 0) XFreeCursor(display_, gone.cursor);
    // What was posted to the window dies with it.
    queue_.Drop(hWnd);
    if (windows_.empty()) HoldScreenSaver(false);
    XSync(display_, False);  // gone for every other client from here on
    return true;
}

void X11WindowSystem::SetUserData(WindowHandle hWnd, void* data) {
    if (WindowEntry* entry = Find(hWnd)) entry->userData = data;
}

void* X11WindowSystem::GetUserData(WindowHandle hWnd) {
    WindowEntry* entry = Find(hWnd);
    return entry == nullptr ? nullptr : entry->userData;
}

DeviceContext X11WindowSystem::GetDC(WindowHandle hWnd) { return Find(hWnd) != nullptr ? hWnd : 0; }

void X11WindowSystem::ReleaseDC(WindowHandle, DeviceContext) {}

RenderingContext X11WindowSystem::CreateContext(DeviceContext dc) {
    WindowEntry* entry = Find(dc);
    if (entry == nullptr) return 0;
    GLXFBConfig config = ConfigAt(glConfigs_, entry->pixelFormat);
    if (config == nullptr) return 0;
    XErrorTrap trap(display_);
    GLXContext context = glXCreateNewContext(display_, config, GLX_RGBA_TYPE, nullptr, True);
    if (trap.Failed() && context != nullptr) {
        glXDestroyContext(display_, context);
        context = nullptr;
    }
    return reinterpret_cast<RenderingContext>(context);
}

bool X11WindowSystem::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (display_ == nullptr) return false;
    if (rc == 0) return glXMakeCurrent(display_, None, nullptr) != False;
    if (Find(dc) == nullptr) return false;
    XErrorTrap trap(display_);
    const bool made = glXMakeCurrent(display_, dc, reinterpret_cast<GLXContext>(rc)) != False;
    return made && !trap.Failed();
}

bool X11WindowSystem::DeleteContext(RenderingContext rc) {
    if (display_ == nullptr || rc == 0) return false;
    glXDestroyContext(display_, reinterpret_cast<GLXContext>(rc));
    return true;
}

bool X11WindowSystem::SwapBuffers(DeviceContext dc) {
    const WindowEntry* entry = Find(dc);
    if (entry == nullptr || entry->destroyed) return false;
    glXSwapBuffers(display_, dc);
    return true;
}

void X11WindowSystem::Enqueue(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) {
    queue_.Post(Message{hWnd, message, wParam, lParam});
}

void X11WindowSystem::Focus(::Window window) {
    XErrorTrap trap(display_);  // refused if the window is not viewable after all
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
}

void X11WindowSystem::TakeStopRequests() {
    if (!TakeStopSignals(stopFd_)) return;
    stopRequested_ = true;
    for (const auto& [hWnd, entry] : windows_) Enqueue(hWnd, WM_CLOSE, 0, 0);
}

void X11WindowSystem::HoldScreenSaver(bool hold) {
    if (display_ == nullptr || hold == screenSaverHeld_) return;
    int eventBase = 0, errorBase = 0;
    if (!XScreenSaverQueryExtension(display_, &eventBase, &errorBase)) return;
    // Suspending also stops display power management, and the server lifts it by
    // itself if this connection closes.
    XScreenSaverSuspend(display_, hold ? True : False);
    screenSaverHeld_ = hold;
}

void X11WindowSystem::Translate(const XEvent& event) {
    const WindowHandle hWnd = event.xany.window;
    WindowEntry* entry = Find(hWnd);
    if (entry == nullptr) return;
    auto reportRestored = [&](int width, int height) {
        entry->clientWidth = width;
        entry->clientHeight = height;
        Enqueue(hWnd, WM_SIZE, SIZE_RESTORED,
                MakeLParam(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)));
    };
    switch (event.type) {
        case ConfigureNotify:
            if (event.xconfigure.window != hWnd) return;
            if (!entry->minimised &&
                (event.xconfigure.width != entry->clientWidth || event.xconfigure.height != entry->clientHeight)) {
                reportRestored(event.xconfigure.width, event.xconfigure.height);
            }
            return;
        case MapNotify: {
            if (event.xmap.window != hWnd) return;
            XWindowAttributes attributes{};
            const bool known = XGetWindowAttributes(display_, hWnd, &attributes) != 0;
            const int width = known ? attributes.width : entry->clientWidth;
            const int height = known ? attributes.height : entry->clientHeight;
            if (entry->minimised || width != entry->clientWidth || height != entry->clientHeight) {
                entry->minimised = false;
                reportRestored(width, height);
            }
            // Without a manager to hand out the focus, take it, so Escape reaches us;
            // with one, ask it for the focus for the full-screen window.
            if ((known && attributes.override_redirect) || !WindowManagerRuns()) {
                Focus(hWnd);
            } else if (entry->popup) {
                XEvent activate{};
                activate.xclient.type = ClientMessage;
                activate.xclient.window = hWnd;
                activate.xclient.message_type = Intern("_NET_ACTIVE_WINDOW");
                activate.xclient.format = 32;
                activate.xclient.data.l[0] = 1;  // from an application
                activate.xclient.data.l[1] = CurrentTime;
                XSendEvent(display_, DefaultRootWindow(display_), False,
                           SubstructureRedirectMask | SubstructureNotifyMask, &activate);
            }
            return;
        }
        case DestroyNotify:
            // Destroyed by another program or a manager: that is a close request,
            // so the close path gives back the mode, the pointer and the screen saver.
            if (event.xdestroywindow.window != hWnd || entry->destroyed) return;
            entry->destroyed = true;
            Enqueue(hWnd, WM_CLOSE, 0, 0);
            return;
        case VisibilityNotify:
            if (entry->keepAbove && event.xvisibility.state != VisibilityUnobscured && NormalWindowAbove(hWnd)) {
                XRaiseWindow(display_, hWnd);
                XFlush(display_);
            }
            return;
        case UnmapNotify:
            if (event.xunmap.window != hWnd || !entry->shown || entry->minimised) return;
            entry->minimised = true;
            Enqueue(hWnd, WM_SIZE, SIZE_MINIMIZED, 0);
            return;
        case KeyPress:
        case KeyRelease: {
            XKeyEvent key = event.xkey;
            const KeySym keysym = XLookupKeysym(&key, 0);
            const bool down = event.type == KeyPress;
            // Repeat count 1 and the key code; a release also sets the previous-state and transition bits.
            LParam lParam = 1 | (static_cast<LParam>(key.keycode & 0xFF) << 16);
            if (!down) lParam |= static_cast<LParam>(0xC0000000u);
            Enqueue(hWnd, down ? WM_KEYDOWN : WM_KEYUP, VirtualKeyFromKeySym(keysym), lParam);
            return;
        }
        case ClientMessage: {
            const XClientMessageEvent& client = event.xclient;
            if (client.format != 32) return;
            if (client.message_type == Intern("WM_PROTOCOLS") &&
                static_cast<::Atom>(client.data.l[0]) == Intern("WM_DELETE_WINDOW")) {
                Enqueue(hWnd, WM_CLOSE, 0, 0);
            } else if (client.message_type == Intern(kWindowMessageAtom)) {
                // Only private message numbers come from outside: system messages
                // carry pointers and states that no other program may fake.
                const long number = client.data.l[0];
                if (number >= static_cast<long>(WM_USER) && number <= 0x7FFF) {
                    Enqueue(hWnd, static_cast<std::uint32_t>(number), static_cast<WParam>(client.data.l[1]),
                            static_cast<LParam>(client.data.l[2]));
                }
            }
            return;
        }
        default:
            return;
    }
}

// True when a mapped, ordinary (not override-redirect) top-level window lies
// above `window`. Without a manager nothing else keeps the full-screen window
// over later windows; other override-redirect windows (menus, lockers, another
// full-screen program) are left where they are, as a manager's above layer would.
bool X11WindowSystem::NormalWindowAbove(::Window window) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return false;
    bool above = false, passed = false;
    for (unsigned int i = 0; i < count && !above; ++i) {  // bottom to top
        if (children[i] == window) {
            passed = true;
            continue;
        }
        if (!passed) continue;
        XWindowAttributes attributes{};
        XErrorTrap trap(display_);  // it may vanish while we look
        above = XGetWindowAttributes(display_, children[i], &attributes) && !trap.Failed() &&
                attributes.map_state == IsViewable && !attributes.override_redirect &&
                attributes.c_class == InputOutput;
    }
    if (children != nullptr) XFree(children);
    return above;
}

void X11WindowSystem::DrainEvents() {
    if (display_ == nullptr) return;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        Translate(event);
    }
}

bool X11WindowSystem::PeekMessage(Message& message, WindowHandle filter) {
    TakeStopRequests();
    DrainEvents();
    return queue_.Take(message, filter);
}

LResult X11WindowSystem::DispatchMessage(const Message& message) {
    WindowEntry* entry = Find(message.hwnd);
    if (entry == nullptr) return 0;
    return entry->proc(message.hwnd, message.message, message.wParam, message.lParam);
}

void X11WindowSystem::WaitMessage() {
    if (display_ == nullptr) return;
    if (XPending(display_) > 0) return;  // also sends what is still buffered
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const nfds_t count = stopFd_ >= 0 ? 2 : 1;
    // A hang-up or error on the connection wakes us too, and the next XPending
    // meets the closed connection and ends the program. An interrupted poll
    // returns as well: the caller looks again and waits again if need be.
    poll(fds, count, -1);
}

bool X11WindowSystem::PostMessage(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) {
    if (hWnd != 0 && Find(hWnd) == nullptr) return false;
    Enqueue(hWnd, message, wParam, lParam);
    return true;
}

LResult X11WindowSystem::DefWindowProc(WindowHandle, std::uint32_t, WParam, LParam) { return 0; }

}  // namespace veltrane::platform
