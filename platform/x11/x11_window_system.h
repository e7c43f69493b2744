// The window system on X11 with GLX: windows with a GLX visual, X events
// translated into messages, a per-process queue of posted messages, XRandR mode
// switches, the pointer count on XFixes and the X screen saver held off while a
// window exists.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <X11/Xlib.h>

#include "platform/x11/display_mode.h"
#include "platform/message_queue.h"
#include "platform/window_system.h"

namespace veltrane::platform {

class X11WindowSystem final : public WindowSystem {
public:
    // `visualRequest` picks the GL visual windows are created with, since X fixes a
    // window's visual at creation; SetPixelFormat accepts the formats that match it.
    // `stopFd` is a pipe (stop_signals.h) whose bytes become WM_CLOSE for the window.
    X11WindowSystem(const PixelFormatRequest& visualRequest, int stopFd);
    ~X11WindowSystem() override;

    ::Display* display() const { return display_; }

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

private:
    struct ClassEntry {
        InstanceHandle instance = 0;
        WindowProc proc = nullptr;
    };
    struct WindowEntry {
        WindowProc proc = nullptr;
        void* userData = nullptr;
        ::Colormap colormap = 0;
        ::Cursor cursor = 0;        // made at the first showing
        unsigned long visualId = 0;
        int pixelFormat = 0;        // 1-based, 0 until SetPixelFormat
        bool popup = false;         // full screen, above everything
        bool keepAbove = false;     // full screen without a manager: rises when covered
        bool destroyed = false;     // destroyed by someone else; only our records remain
        bool shown = false;
        bool minimised = false;
        int clientWidth = 0, clientHeight = 0;  // as last reported by WM_SIZE
    };
    struct FrameExtents {
        int left = 0, right = 0, top = 0, bottom = 0;
    };

    bool OpenDisplay();
    void LoadGlConfigs();
    int BestFormat(const PixelFormatRequest& request);  // 1-based, 0 when none
    bool WindowManagerRuns();
    bool WindowManagerSupports(const char* atomName);
    const FrameExtents& Frame();
    ::Atom Intern(const char* name);
    WindowEntry* Find(WindowHandle hWnd);
    void DrainEvents();
    void Translate(const XEvent& event);
    void Enqueue(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam);
    void Focus(::Window window);
    void TakeStopRequests();
    void HoldScreenSaver(bool hold);
    bool NormalWindowAbove(::Window window);

    PixelFormatRequest visualRequest_;
    int stopFd_ = -1;
    bool stopRequested_ = false;
    ::Display* display_ = nullptr;
    std::map<std::string, ClassEntry> classes_;
    std::map<WindowHandle, WindowEntry> windows_;
    MessageQueue queue_;
    std::vector<void*> glConfigs_;  // GLXFBConfig, in format order
    bool glConfigsLoaded_ = false;
    std::vector<std::pair<PixelFormatRequest, int>> bestFormats_;  // BestFormat's answers
    bool frameKnown_ = false;
    FrameExtents frame_;
    bool screenSaverHeld_ = false;
    bool keyRepeatSet_ = false;
    DisplayModeSwitch modeSwitch_;
};

}  // namespace veltrane::platform
