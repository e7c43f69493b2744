// The window system on a Wayland compositor with EGL: the full-screen window is
// a layer-shell surface on the overlay layer (an xdg-shell full-screen toplevel
// where there is no layer shell), every other output gets a black cover, a
// display mode is drawn at its size and scaled to the output by the compositor,
// frames are paced by the compositor's frame callbacks, the pointer is hidden
// over our surfaces and an idle inhibitor holds off the screen saver and
// power-down while a window exists.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/wayland/wl_globals.h"
#include "platform/wayland/wl_input.h"
#include "platform/message_queue.h"
#include "platform/window_system.h"

struct wl_surface;

namespace veltrane::platform {

class WaylandEgl;
class BlackCover;

struct WaylandConnectError {
    bool connected = false;  // a compositor answered, but cannot serve us
    bool stopped = false;    // a stop signal came while connecting
    std::string reason;      // one line
};

class WaylandWindowSystem final : public WindowSystem, private OutputListener, private KeyTarget {
public:
    // Connects to the compositor WAYLAND_DISPLAY names and readies EGL for
    // `request`; null, with the reason, when there is none, it does not answer
    // within a few seconds or it cannot serve, or when a stop signal came first.
    // `stopFd` is a pipe (stop_signals.h) whose bytes become WM_CLOSE.
    static std::unique_ptr<WaylandWindowSystem> Connect(const PixelFormatRequest& request, int stopFd,
                                                        WaylandConnectError& error);
    ~WaylandWindowSystem() override;

    // False where the compositor offers no idle inhibitor (GNOME's mutter).
    bool HasIdleInhibitor() const { return globals_->idleInhibitManager() != nullptr; }

    void TimeBeginPeriod(unsigned int milliseconds) override;
    std::int64_t Time() override;
    bool RegisterClass(const std::string& className, InstanceHandle instance, WindowProc proc) override;
    void UnregisterClass(const std::string& className, InstanceHandle instance) override;
    bool ChangeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits) override;
    void RestoreDisplayMode() override;
    int ShowCursor(bool show) override;
    void AdjustWindowRect(Rect& rect, std::uint32_t style, std::uint32_t exStyle) override;
    WindowHandle CreateWindow(std::uint32_t exStyle, const std::string& className, const std::string& windowName,
                              std::uint32_t style, std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height, InstanceHandle instance, void* createParam) override;
    bool ShowWindow(WindowHandle hWnd, int command) override;
    bool DestroyWindow(WindowHandle hWnd) override;
    void SetUserData(WindowHandle hWnd, void* data) override;
    void* GetUserData(WindowHandle hWnd) override;
    DeviceContext GetDC(WindowHandle hWnd) override;
    void ReleaseDC(WindowHandle hWnd, DeviceContext dc) override;
    int ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) override;
    bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) override;
    RenderingContext CreateContext(DeviceContext dc) override;
    bool MakeCurrent(DeviceContext dc, RenderingContext rc) override;
    bool DeleteContext(RenderingContext rc) override;
    bool SwapBuffers(DeviceContext dc) override;
    bool PeekMessage(Message& message, WindowHandle filter) override;
    LResult DispatchMessage(const Message& message) override;
    void WaitMessage() override;
    bool PostMessage(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    LResult DefWindowProc(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) override;

    struct Window;  // one window's surfaces and GL state

private:
    WaylandWindowSystem(std::unique_ptr<WaylandGlobals> globals, int stopFd);

    Window* Find(WindowHandle hWnd);
    Window* FindBySurface(const wl_surface* surface);
    void Enqueue(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam);
    // Sends what is buffered, reads and dispatches what the compositor sent and
    // takes stop signals; with `wait`, first sleeps until either has something
    // when nothing was dispatched yet (callers wait only with an empty queue or
    // for a state the queue does not hold). A lost connection ends the program.
    void Pump(bool wait);
    void TakeStopRequests();
    void Configured(Window& window, std::int32_t width, std::int32_t height);
    void ApplyLayout(Window& window);
    void UpdateCovers();

    void OutputAdded(const WaylandOutput& output) override;
    void OutputRemoved(const WaylandOutput& output) override;
    void EscapeKey(wl_surface* focus, bool down) override;

    friend struct WindowEvents;

    std::unique_ptr<WaylandGlobals> globals_;
    std::unique_ptr<WaylandInput> input_;
    std::unique_ptr<WaylandEgl> egl_;
    int stopFd_ = -1;
    bool stopRequested_ = false;
    std::map<std::string, WindowProc> classes_;
    std::map<WindowHandle, std::unique_ptr<Window>> windows_;
    WindowHandle nextHandle_ = 1;
    MessageQueue queue_;
    std::int32_t modeWidth_ = 0, modeHeight_ = 0;  // the display mode asked for; 0 when none
    std::map<std::uint32_t, std::unique_ptr<BlackCover>> covers_;  // by output name
};

}  // namespace veltrane::platform
