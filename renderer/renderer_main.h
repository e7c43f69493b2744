// The renderer program around its scene: the window class and window, the
// display-mode switch, the message pump and the frame loop. Everything here is
// plain logic over the records below; the window system and the scene are reached
// through two small interfaces, so tests run it with fakes and no display.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace veltrane {

using platform::DeviceContext;
using platform::InstanceHandle;
using platform::LParam;
using platform::LResult;
using platform::RenderingContext;
using platform::WindowHandle;
using platform::WParam;

inline constexpr const char* kRendererClassName = "OpenGL";
inline constexpr const char* kRendererWindowName = "Lumora_VC";
inline constexpr std::int32_t kRendererWidth = 1024;
inline constexpr std::int32_t kRendererHeight = 768;
inline constexpr std::int32_t kRendererColorBits = 16;
inline constexpr std::uint8_t kRendererDepthBits = 16;
inline constexpr unsigned int kTimerResolutionMs = 1;
// Switches between full-screen and windowed mode; only another program sends it.
inline constexpr std::uint32_t WM_SWITCHSCREENMODE = platform::WM_USER + 1;

struct WindowClassInfo {
    InstanceHandle hInstance = 0;
    std::string className;
};

// 1 where the key's last message was a key-down, by virtual-key code.
struct KeyStates {
    std::array<std::int32_t, 256> state{};
    std::int32_t& operator[](std::size_t vk) { return state[vk]; }
    std::int32_t operator[](std::size_t vk) const { return state[vk]; }
    void Clear() { state.fill(0); }
};

struct RendererWindow {
    KeyStates* keys = nullptr;
    WindowHandle hWnd = 0;
    DeviceContext hDC = 0;
    RenderingContext hRC = 0;
    WindowClassInfo* classInfo = nullptr;
    std::string windowName;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t colorBits = 0;
    std::int32_t fullScreen = 0;  // the open window was opened with the full-screen mode in force
    std::int32_t visible = 0;     // not minimised: frames are drawn only then
};

// The pixel format every renderer window asks for: RGBA, double-buffered, 16
// colour bits, 16 depth bits, nothing else.
platform::PixelFormatRequest RendererPixelFormat(std::int32_t colorBits);

// What the loop needs of the scene. The real one (RealRendererScene) forwards to
// scene.h and draw_ops.h.
class RendererScene {
public:
    virtual ~RendererScene() = default;
    virtual bool PrepareScene(RendererWindow& window, KeyStates& keys) = 0;
    virtual void SetProjection(std::int32_t width, std::int32_t height) = 0;
    // Steps the particle field with the process's generator and draws the frame.
    virtual void StepAndDraw(std::int64_t nowSeconds) = 0;
    // The references the last PrepareScene recorded; the Escape check reads them.
    virtual RendererWindow* RecordedWindow() = 0;
    virtual KeyStates* RecordedKeys() = 0;
};
RendererScene& RealRendererScene();

// Process-wide flags, written by the window procedure and RequestStop, read by the loop.
extern bool running;
extern bool wantFullScreen;

// The window system and scene the renderer uses; set before RunRenderer or before
// driving RendererWindowProc directly.
void UseRendererServices(platform::WindowSystem* windowSystem, RendererScene* scene);

// Exit code: -1 when the class can't be registered, else 0.
int RunRenderer(InstanceHandle hInstance);

bool RegisterRendererClass(const WindowClassInfo& classInfo);
bool EnterDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits);
// True exactly when a shown window with a current rendering context exists afterwards.
bool OpenRendererWindow(RendererWindow& window);
bool CloseRendererWindow(RendererWindow& window);
// Runs one window's message pump until a WM_QUIT for it is fetched.
void RunMessagePump(RendererWindow& window);
LResult RendererWindowProc(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam);
void RequestStop(RendererWindow& window);
void CheckStopKey();

}  // namespace veltrane
