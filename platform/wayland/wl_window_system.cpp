#include "platform/wayland/wl_window_system.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include <wayland-client.h>
#include <wayland-egl.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "platform/stop_signals.h"
#include "platform/wayland/wl_cover.h"
#include "platform/wayland/wl_egl.h"
#include "platform/wayland/wl_layout.h"
#include "platform/wayland/wl_role.h"
#include "viewporter-client-protocol.h"

namespace veltrane::platform {

struct WaylandWindowSystem::Window final : RoleListener {
    WaylandWindowSystem* owner = nullptr;
    WindowHandle handle = 0;
    WindowProc proc = nullptr;
    void* userData = nullptr;
    bool popup = false;  // full screen, above everything
    SurfaceSize asked;
    wl_surface* surface = nullptr;
    wp_viewport* viewport = nullptr;
    zwp_idle_inhibitor_v1* inhibitor = nullptr;
    std::unique_ptr<SurfaceRole> role;
    wl_egl_window* eglWindow = nullptr;
    EGLSurface eglSurface = EGL_NO_SURFACE;
    int pixelFormat = 0;  // 1-based, 0 until SetPixelFormat
    bool configured = false;
    bool shown = false;
    bool closed = false;  // the close request has been queued
    SurfaceSize configuredSize;
    SurfaceLayout layout;
    wl_callback* frame = nullptr;     // the last presented frame's callback, until it comes
    std::vector<wl_output*> outputs;  // the outputs the surface is on

    void Configured(std::int32_t width, std::int32_t height) override { owner->Configured(*this, width, height); }
    void Closed() override { RequestClose(); }
    void RequestClose() {
        if (closed) return;
        closed = true;
        owner->Enqueue(handle, WM_CLOSE, 0, 0);
    }
};

struct WindowEvents {
    using Window = WaylandWindowSystem::Window;

    static void Enter(void* data, wl_surface*, wl_output* output) {
        auto* window = static_cast<Window*>(data);
        if (window->owner->globals_->FindOutput(output) == nullptr) return;
        if (std::find(window->outputs.begin(), window->outputs.end(), output) == window->outputs.end()) {
            window->outputs.push_back(output);
        }
        window->owner->UpdateCovers();
    }
    static void Leave(void* data, wl_surface*, wl_output* output) {
        auto* window = static_cast<Window*>(data);
        std::erase(window->outputs, output);
        window->owner->UpdateCovers();
    }
    static void FrameDone(void* data, wl_callback* callback, std::uint32_t) {
        wl_callback_destroy(callback);
        static_cast<Window*>(data)->frame = nullptr;
    }
};

namespace {

// How long the first exchange may take before the compositor counts as silent,
// and how long a destroyed window waits to be gone from the screen.
constexpr int kConnectTimeoutMs = 4000;
constexpr int kDestroyTimeoutMs = 500;

const wl_surface_listener kSurfaceListener = {WindowEvents::Enter, WindowEvents::Leave};
const wl_callback_listener kFrameListener = {WindowEvents::FrameDone};

// The connection is gone: nothing is left to give back (the compositor drops
// our surfaces, the hidden pointer and the inhibitor with it), so the program
// ends at once. A protocol error is our fault; libwayland has said which.
[[noreturn]] void ConnectionLost(wl_display* display) {
    _exit(wl_display_get_error(display) == EPROTO ? 1 : 0);
}

LParam SizeLParam(SurfaceSize size) {
    return MakeLParam(static_cast<std::uint16_t>(size.width), static_cast<std::uint16_t>(size.height));
}

bool SameSize(SurfaceSize a, SurfaceSize b) { return a.width == b.width && a.height == b.height; }

}  // namespace

std::unique_ptr<WaylandWindowSystem> WaylandWindowSystem::Connect(const PixelFormatRequest& request, int stopFd,
                                                                  WaylandConnectError& error) {
    error = WaylandConnectError{};
    std::unique_ptr<WaylandGlobals> globals = WaylandGlobals::Connect(error.reason);
    if (!globals) return nullptr;
    const Exchange exchange = globals->Bind(stopFd, kConnectTimeoutMs, error.reason);
    error.stopped = exchange == Exchange::Stopped;
    // A socket that takes connections and never answers is no compositor.
    error.connected = exchange == Exchange::Answered || exchange == Exchange::Lost;
    if (exchange != Exchange::Answered || !error.reason.empty()) return nullptr;
    std::unique_ptr<WaylandWindowSystem> system(new WaylandWindowSystem(std::move(globals), stopFd));
    error.reason = system->egl_->Initialize(system->globals_->display());
    if (!error.reason.empty()) return nullptr;
    if (system->egl_->ChooseFormat(request) == 0) {
        error.reason = "EGL offers no configuration for the renderer's pixel format";
        return nullptr;
    }
    return system;
}

WaylandWindowSystem::WaylandWindowSystem(std::unique_ptr<WaylandGlobals> globals, int stopFd)
    : globals_(std::move(globals)), stopFd_(stopFd) {
    input_ = std::make_unique<WaylandInput>(*globals_, static_cast<KeyTarget&>(*this));
    egl_ = std::make_unique<WaylandEgl>();
    globals_->SetListeners(this, input_.get());
}

WaylandWindowSystem::~WaylandWindowSystem() {
    while (!windows_.empty()) DestroyWindow(windows_.begin()->first);
    covers_.clear();
    input_.reset();
    egl_.reset();  // EGL lets go of the connection before it closes
    globals_->SetListeners(nullptr, nullptr);
    globals_.reset();
}

WaylandWindowSystem::Window* WaylandWindowSystem::Find(WindowHandle hWnd) {
    auto it = windows_.find(hWnd);
    return it == windows_.end() ? nullptr : it->second.get();
}

WaylandWindowSystem::Window* WaylandWindowSystem::FindBySurface(const wl_surface* surface) {
    for (auto& [handle, window] : windows_) {
        if (window->surface == surface) return window.get();
    }
    return nullptr;
}

void WaylandWindowSystem::TimeBeginPeriod(unsigned int) {}

std::int64_t WaylandWindowSystem::Time() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool WaylandWindowSystem::RegisterClass(const std::string& className, InstanceHandle, WindowProc proc) {
    if (proc == nullptr || classes_.count(className) != 0) return false;
    classes_[className] = proc;
    return true;
}

void WaylandWindowSystem::UnregisterClass(const std::string& className, InstanceHandle) { classes_.erase(className); }

// A Wayland client cannot set an output's mode. The mode's size becomes the size
// the full-screen surface is drawn at, scaled to the output by the compositor,
// so the picture is what a mode switch would show; the output is never touched.
bool WaylandWindowSystem::ChangeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t) {
    modeWidth_ = width;
    modeHeight_ = height;
    return true;
}

void WaylandWindowSystem::RestoreDisplayMode() {
    modeWidth_ = 0;
    modeHeight_ = 0;
}

int WaylandWindowSystem::ShowCursor(bool show) { return input_->ShowCursor(show); }

// Our windows carry no decorations of their own; a compositor that frames them
// does so outside the surface.
void WaylandWindowSystem::AdjustWindowRect(Rect&, std::uint32_t, std::uint32_t) {}

WindowHandle WaylandWindowSystem::CreateWindow(std::uint32_t, const std::string& className,
                                               const std::string& windowName, std::uint32_t style, std::int32_t,
                                               std::int32_t, std::int32_t width, std::int32_t height, InstanceHandle,
                                               void* createParam) {
    auto cls = classes_.find(className);
    if (cls == classes_.end() || width <= 0 || height <= 0) return 0;
    auto window = std::make_unique<Window>();
    window->owner = this;
    window->handle = nextHandle_++;
    window->proc = cls->second;
    window->popup = (style & WS_POPUP) != 0;
    window->asked = SurfaceSize{width, height};
    window->surface = wl_compositor_create_surface(globals_->compositor());
    wl_surface_add_listener(window->surface, &kSurfaceListener, window.get());
    if (globals_->viewporter() != nullptr) {
        window->viewport = wp_viewporter_get_viewport(globals_->viewporter(), window->surface);
    }
    if (globals_->idleInhibitManager() != nullptr) {
        window->inhibitor =
            zwp_idle_inhibit_manager_v1_create_inhibitor(globals_->idleInhibitManager(), window->surface);
    }
    const RoleSettings settings{window->popup ? RoleKind::FullScreen : RoleKind::Window, nullptr, windowName,
                                className};
    window->role = std::make_unique<SurfaceRole>(*globals_, window->surface, settings, *window);
    window->layout = PlanSurface({}, window->asked, {modeWidth_, modeHeight_}, window->viewport != nullptr);
    // The first commit carries no buffer; the compositor answers it with the
    // surface's size, which arrives while the GL context is being made.
    wl_surface_commit(window->surface);
    wl_display_flush(globals_->display());

    const WindowHandle handle = window->handle;
    const WindowProc proc = window->proc;
    windows_[handle] = std::move(window);
    if (stopRequested_) Enqueue(handle, WM_CLOSE, 0, 0);

    CreateStruct create{createParam};
    if (proc(handle, WM_CREATE, 0, reinterpret_cast<LParam>(&create)) == -1) {
        DestroyWindow(handle);
        return 0;
    }
    return handle;
}

void WaylandWindowSystem::Configured(Window& window, std::int32_t width, std::int32_t height) {
    window.configuredSize = SurfaceSize{width, height};
    window.configured = true;
    ApplyLayout(window);
}

void WaylandWindowSystem::ApplyLayout(Window& window) {
    const SurfaceLayout layout =
        PlanSurface(window.configuredSize, window.asked, {modeWidth_, modeHeight_}, window.viewport != nullptr);
    if (window.viewport != nullptr) {
        if (layout.scaled) {
            wp_viewport_set_destination(window.viewport, layout.shown.width, layout.shown.height);
        } else {
            wp_viewport_set_destination(window.viewport, -1, -1);
        }
    }
    if (window.eglWindow != nullptr) {
        wl_egl_window_resize(window.eglWindow, layout.buffer.width, layout.buffer.height, 0, 0);
    }
    const bool resized = !SameSize(layout.buffer, window.layout.buffer);
    window.layout = layout;
    if (window.shown && resized) Enqueue(window.handle, WM_SIZE, SIZE_RESTORED, SizeLParam(layout.buffer));
}

bool WaylandWindowSystem::ShowWindow(WindowHandle hWnd, int) {
    Window* window = Find(hWnd);
    if (window == nullptr) return false;
    if (window->shown) return true;
    // No buffer may be attached before the first configure is acknowledged.
    while (!window->configured && !window->closed && !stopRequested_) {
        Pump(true);
        window = Find(hWnd);
        if (window == nullptr) return false;
    }
    window->shown = true;
    const SurfaceSize drawn = window->layout.buffer;
    window->proc(hWnd, WM_SIZE, SIZE_RESTORED, SizeLParam(drawn));
    // The caller sets the projection to the size it asked for right after
    // showing; where the surface is drawn at another size, a queued report puts
    // the drawn size back before the first frame.
    if (!SameSize(drawn, window->asked)) Enqueue(hWnd, WM_SIZE, SIZE_RESTORED, SizeLParam(drawn));
    UpdateCovers();
    return true;
}

bool WaylandWindowSystem::DestroyWindow(WindowHandle hWnd) {
    Window* window = Find(hWnd);
    if (window == nullptr) return false;
    window->proc(hWnd, WM_DESTROY, 0, 0);
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return true;
    std::unique_ptr<Window> gone = std::move(it->second);
    windows_.erase(it);
    if (gone->frame != nullptr) wl_callback_destroy(gone->frame);
    if (gone->eglSurface != EGL_NO_SURFACE) {
        if (egl_->IsCurrent(gone->eglSurface)) egl_->MakeCurrent(EGL_NO_SURFACE, EGL_NO_CONTEXT);
        egl_->DestroySurface(gone->eglSurface);
    }
    if (gone->eglWindow != nullptr) wl_egl_window_destroy(gone->eglWindow);
    if (gone->inhibitor != nullptr) zwp_idle_inhibitor_v1_destroy(gone->inhibitor);
    if (gone->viewport != nullptr) wp_viewport_destroy(gone->viewport);
    gone->role.reset();
    wl_surface_destroy(gone->surface);
    // What was posted to the window dies with it.
    queue_.Drop(hWnd);
    UpdateCovers();
    if (stopRequested_) {
        // On the way out nothing waits for the compositor, which may be stopped:
        // what is sent is enough, and it drops the rest with the connection.
        wl_display_flush(globals_->display());
        return true;
    }
    // Gone from the screen for everyone from here on, unless the compositor is
    // slow to answer or a stop signal comes first.
    if (ExchangeWithin(globals_->display(), stopFd_, kDestroyTimeoutMs) == Exchange::Stopped) TakeStopRequests();
    return true;
}

void WaylandWindowSystem::SetUserData(WindowHandle hWnd, void* data) {
    if (Window* window = Find(hWnd)) window->userData = data;
}

void* WaylandWindowSystem::GetUserData(WindowHandle hWnd) {
    Window* window = Find(hWnd);
    return window == nullptr ? nullptr : window->userData;
}

DeviceContext WaylandWindowSystem::GetDC(WindowHandle hWnd) { return Find(hWnd) != nullptr ? hWnd : 0; }

void WaylandWindowSystem::ReleaseDC(WindowHandle, DeviceContext) {}

int WaylandWindowSystem::ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) {
    return Find(dc) == nullptr ? 0 : egl_->ChooseFormat(request);
}

bool WaylandWindowSystem::SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest&) {
    Window* window = Find(dc);
    // A window's format is set once, as on every other system.
    if (window == nullptr || format < 1 || (window->pixelFormat != 0 && window->pixelFormat != format)) return false;
    window->pixelFormat = format;
    return true;
}

RenderingContext WaylandWindowSystem::CreateContext(DeviceContext dc) {
    Window* window = Find(dc);
    if (window == nullptr || window->pixelFormat == 0) return 0;
    return reinterpret_cast<RenderingContext>(egl_->CreateContext(window->pixelFormat));
}

bool WaylandWindowSystem::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (rc == 0) return egl_->MakeCurrent(EGL_NO_SURFACE, EGL_NO_CONTEXT);
    Window* window = Find(dc);
    if (window == nullptr || window->pixelFormat == 0) return false;
    if (window->eglSurface == EGL_NO_SURFACE) {
        if (window->eglWindow == nullptr) {
            window->eglWindow =
                wl_egl_window_create(window->surface, window->layout.buffer.width, window->layout.buffer.height);
        }
        window->eglSurface = egl_->CreateSurface(window->pixelFormat, window->eglWindow);
        if (window->eglSurface == EGL_NO_SURFACE) return false;
    }
    return egl_->MakeCurrent(window->eglSurface, reinterpret_cast<EGLContext>(rc));
}

bool WaylandWindowSystem::DeleteContext(RenderingContext rc) {
    return egl_->DestroyContext(reinterpret_cast<EGLContext>(rc));
}

// Presents the frame drawn since the last call, at most one per frame callback
// of the compositor. Until the previous frame's callback comes it waits, but
// returns without presenting as soon as a message is queued (a stop signal, a
// close, a key), so a surface the compositor does not show never holds up the
// message pump.
bool WaylandWindowSystem::SwapBuffers(DeviceContext dc) {
    Window* window = Find(dc);
    if (window == nullptr || window->eglSurface == EGL_NO_SURFACE || !window->configured || window->closed) {
        return false;
    }
    while (window->frame != nullptr && queue_.empty()) {
        Pump(true);
        window = Find(dc);
        if (window == nullptr) return false;
    }
    if (window->frame != nullptr) return false;
    window->frame = wl_surface_frame(window->surface);
    wl_callback_add_listener(window->frame, &kFrameListener, window);
    return egl_->Swap(window->eglSurface);
}

void WaylandWindowSystem::Enqueue(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) {
    queue_.Post(Message{hWnd, message, wParam, lParam});
}

void WaylandWindowSystem::TakeStopRequests() {
    if (!TakeStopSignals(stopFd_)) return;
    stopRequested_ = true;
    for (const auto& [hWnd, window] : windows_) Enqueue(hWnd, WM_CLOSE, 0, 0);
}

void WaylandWindowSystem::Pump(bool wait) {
    wl_display* display = globals_->display();
    int dispatched = 0;
    while (wl_display_prepare_read(display) != 0) {
        const int n = wl_display_dispatch_pending(display);
        if (n < 0) ConnectionLost(display);
        dispatched += n;
    }
    bool unsent = false;  // the socket is full: wait until it takes more too
    if (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) {
            wl_display_cancel_read(display);
            ConnectionLost(display);
        }
        unsent = true;
    }
    const bool sleep = wait && dispatched == 0;
    pollfd fds[2] = {{wl_display_get_fd(display), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0},
                     {stopFd_, POLLIN, 0}};
    // An interrupted poll returns too: the caller looks again and waits again if need be.
    const int ready = poll(fds, stopFd_ >= 0 ? 2 : 1, sleep ? -1 : 0);
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        if (wl_display_read_events(display) < 0) ConnectionLost(display);
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) ConnectionLost(display);
    TakeStopRequests();
}

bool WaylandWindowSystem::PeekMessage(Message& message, WindowHandle filter) {
    Pump(false);
    return queue_.Take(message, filter);
}

LResult WaylandWindowSystem::DispatchMessage(const Message& message) {
    Window* window = Find(message.hwnd);
    if (window == nullptr) return 0;
    return window->proc(message.hwnd, message.message, message.wParam, message.lParam);
}

void WaylandWindowSystem::WaitMessage() {
    if (queue_.empty()) Pump(true);
}

bool WaylandWindowSystem::PostMessage(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) {
    if (hWnd != 0 && Find(hWnd) == nullptr) return false;
    Enqueue(hWnd, message, wParam, lParam);
    return true;
}

LResult WaylandWindowSystem::DefWindowProc(WindowHandle, std::uint32_t, WParam, LParam) { return 0; }

// Every output the full-screen surface is not on is covered in black while it
// shows, so no output shows the desktop.
void WaylandWindowSystem::UpdateCovers() {
    std::vector<std::uint32_t> outputs, fullScreenOn, covered;
    for (const WaylandOutput& output : globals_->outputs()) outputs.push_back(output.name);
    for (const auto& [handle, window] : windows_) {
        if (!window->popup || !window->shown) continue;
        for (wl_output* output : window->outputs) {
            if (const WaylandOutput* known = globals_->FindOutput(output)) fullScreenOn.push_back(known->name);
        }
    }
    for (const auto& [name, cover] : covers_) covered.push_back(name);
    const CoverChanges changes = PlanCovers(outputs, fullScreenOn, covered);
    for (std::uint32_t name : changes.remove) covers_.erase(name);
    for (std::uint32_t name : changes.add) {
        for (const WaylandOutput& output : globals_->outputs()) {
            if (output.name == name) covers_[name] = std::make_unique<BlackCover>(*globals_, output.output);
        }
    }
}

void WaylandWindowSystem::OutputAdded(const WaylandOutput&) { UpdateCovers(); }

// A full-screen surface whose output goes away has nowhere left to show: that
// is a close request, as the layer shell's own closed event would be.
void WaylandWindowSystem::OutputRemoved(const WaylandOutput& output) {
    for (auto& [handle, window] : windows_) {
        const auto on = std::find(window->outputs.begin(), window->outputs.end(), output.output);
        if (on == window->outputs.end()) continue;
        window->outputs.erase(on);
        if (window->popup && window->outputs.empty()) window->RequestClose();
    }
    covers_.erase(output.name);
    UpdateCovers();
}

// Escape goes to the window with the keyboard focus; when a cover has it (the
// compositor may focus any full-screen toplevel) it goes to the full-screen window.
void WaylandWindowSystem::EscapeKey(wl_surface* focus, bool down) {
    Window* target = FindBySurface(focus);
    if (target == nullptr) {
        for (auto& [handle, window] : windows_) {
            if (target == nullptr || (window->popup && !target->popup)) target = window.get();
        }
    }
    if (target == nullptr) return;
    constexpr LParam kEscapeScanCode = 1;
    LParam lParam = 1 | (kEscapeScanCode << 16);
    if (!down) lParam |= static_cast<LParam>(0xC0000000u);
    Enqueue(target->handle, down ? WM_KEYDOWN : WM_KEYUP, VK_ESCAPE, lParam);
}

}  // namespace veltrane::platform
