// The window-system services the renderer program is written against: window
// classes and windows, a message queue per thread, display modes, the pointer
// count and GL contexts, in the shape of the classic desktop API the renderer's
// logic speaks. Each window system's backend implements it (x11/, wayland/);
// tests use a fake that records calls and feeds messages, so the renderer's
// logic runs without a display.
#pragma once

#include <cstdint>
#include <string>

namespace veltrane::platform {

using WindowHandle = std::uintptr_t;      // 0: no window
using DeviceContext = std::uintptr_t;     // 0: none
using RenderingContext = std::uintptr_t;  // 0: none
using InstanceHandle = std::uintptr_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

using WindowProc = LResult (*)(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam);

// Message numbers.
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_USER = 0x0400;

// WM_SIZE types (wParam).
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr WParam SIZE_MINIMIZED = 1;
inline constexpr WParam SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND commands (wParam).
inline constexpr WParam SC_CLOSE = 0xF060;
inline constexpr WParam SC_SCREENSAVE = 0xF140;
inline constexpr WParam SC_MONITORPOWER = 0xF170;

// Window styles.
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;

inline constexpr int SW_SHOWNORMAL = 1;

// Pixel format request flags and types.
inline constexpr std::uint32_t PFD_DOUBLEBUFFER = 0x01;
inline constexpr std::uint32_t PFD_DRAW_TO_WINDOW = 0x04;
inline constexpr std::uint32_t PFD_SUPPORT_OPENGL = 0x20;
inline constexpr std::uint8_t PFD_TYPE_RGBA = 0;
inline constexpr std::uint8_t PFD_MAIN_PLANE = 0;

inline constexpr std::uint8_t VK_ESCAPE = 0x1B;

constexpr std::uint16_t LoWord(LParam v) { return static_cast<std::uint16_t>(v & 0xFFFF); }
constexpr std::uint16_t HiWord(LParam v) { return static_cast<std::uint16_t>((v >> 16) & 0xFFFF); }
constexpr LParam MakeLParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<LParam>(static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16));
}

struct Message {
    WindowHandle hwnd = 0;
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

// What WM_CREATE's lParam points to.
struct CreateStruct {
    void* lpCreateParams = nullptr;
};

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
};

// The members of a pixel format request that mean anything here; the rest are 0.
struct PixelFormatRequest {
    std::uint16_t nSize = 40;
    std::uint16_t nVersion = 1;
    std::uint32_t dwFlags = 0;
    std::uint8_t iPixelType = PFD_TYPE_RGBA;
    std::uint8_t cColorBits = 0;
    std::uint8_t cAlphaBits = 0;
    std::uint8_t cAccumBits = 0;
    std::uint8_t cDepthBits = 0;
    std::uint8_t cStencilBits = 0;
    std::uint8_t cAuxBuffers = 0;
    std::uint8_t iLayerType = PFD_MAIN_PLANE;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Timer resolution: nothing to do on Linux, kept so callers read as they should.
    virtual void TimeBeginPeriod(unsigned int milliseconds) = 0;
    // Calendar time in whole seconds.
    virtual std::int64_t Time() = 0;

    // One class per name; the class's procedure receives every message of its windows.
    virtual bool RegisterClass(const std::string& className, InstanceHandle instance, WindowProc proc) = 0;
    virtual void UnregisterClass(const std::string& className, InstanceHandle instance) = 0;

    // Switches the display temporarily; true when the mode is in force afterwards.
    virtual bool ChangeDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits) = 0;
    // Back to the mode that was in force before the first switch; harmless without one.
    virtual void RestoreDisplayMode() = 0;

    // The pointer's display count: shown while it is 0 or more. Returns the new count.
    virtual int ShowCursor(bool show) = 0;

    // Grows a client rectangle to the outer rectangle of a window of that style.
    virtual void AdjustWindowRect(Rect& rect, std::uint32_t style, std::uint32_t exStyle) = 0;
    // Creates a window of `className` at (x, y) with outer size (width, height) and
    // sends it WM_CREATE with `createParam` before returning; 0 on failure.
    virtual WindowHandle CreateWindow(std::uint32_t exStyle, const std::string& className,
                                      const std::string& windowName, std::uint32_t style, std::int32_t x,
                                      std::int32_t y, std::int32_t width, std::int32_t height,
                                      InstanceHandle instance, void* createParam) = 0;
    // Shows the window; the first showing sends WM_SIZE with the client size.
    virtual bool ShowWindow(WindowHandle hWnd, int command) = 0;
    // Destroys the window; messages still queued for it are never delivered.
    virtual bool DestroyWindow(WindowHandle hWnd) = 0;
    virtual void SetUserData(WindowHandle hWnd, void* data) = 0;
    virtual void* GetUserData(WindowHandle hWnd) = 0;

    virtual DeviceContext GetDC(WindowHandle hWnd) = 0;
    virtual void ReleaseDC(WindowHandle hWnd, DeviceContext dc) = 0;
    // 1-based index of the best available format for the request; 0 when none fits.
    virtual int ChoosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) = 0;
    virtual bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) = 0;
    virtual RenderingContext CreateContext(DeviceContext dc) = 0;
    // A null context releases the current one.
    virtual bool MakeCurrent(DeviceContext dc, RenderingContext rc) = 0;
    virtual bool DeleteContext(RenderingContext rc) = 0;
    virtual bool SwapBuffers(DeviceContext dc) = 0;

    // Takes the oldest message for `filter` (0: any window) off the queue.
    virtual bool PeekMessage(Message& message, WindowHandle filter) = 0;
    virtual LResult DispatchMessage(const Message& message) = 0;
    // Blocks until something new may be in the queue.
    virtual void WaitMessage() = 0;
    virtual bool PostMessage(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
    virtual LResult DefWindowProc(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
};

}  // namespace veltrane::platform
