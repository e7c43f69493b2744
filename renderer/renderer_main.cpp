#include "renderer/renderer_main.h"

#include "renderer/draw_ops.h"
#include "renderer/particle_field.h"
#include "renderer/scene.h"

namespace veltrane {

using namespace platform;

bool running = false;
bool wantFullScreen = true;

namespace {

WindowSystem* g_windowSystem = nullptr;
RendererScene* g_scene = nullptr;

WindowSystem& Ws() { return *g_windowSystem; }
RendererScene& Scene() { return *g_scene; }

class SceneForwarder final : public RendererScene {
public:
    bool PrepareScene(RendererWindow& window, KeyStates& keys) override {
        return veltrane::PrepareScene(window, keys);
    }
    void SetProjection(std::int32_t width, std::int32_t height) override {
        veltrane::SetProjection(width, height);
    }
    void StepAndDraw(std::int64_t nowSeconds) override {
        const DrawOpList& frame = StepParticleField(TheParticleField(), TheRandomSource(), nowSeconds, ops_);
        PlayDrawOpsBatched(frame, SpriteTexture());
    }
    RendererWindow* RecordedWindow() override { return SceneWindow(); }
    KeyStates* RecordedKeys() override { return SceneKeys(); }

private:
    DrawOpList ops_;  // one list serves every frame
};

// An opening that fails after the display mode was switched gives the user the
// mode and the pointer back before the program ends.
bool AbandonOpening(RendererWindow& window) {
    if (window.fullScreen) {
        Ws().RestoreDisplayMode();
        Ws().ShowCursor(true);
        window.fullScreen = 0;
    }
    return false;
}

void ReleaseDeviceContextAndWindow(RendererWindow& window) {
    Ws().ReleaseDC(window.hWnd, window.hDC);
    window.hDC = 0;
    Ws().DestroyWindow(window.hWnd);
    window.hWnd = 0;
}

void DrawFrame(RendererWindow& window) {
    CheckStopKey();
    Scene().StepAndDraw(Ws().Time());
    Ws().SwapBuffers(window.hDC);
}

}  // namespace

RendererScene& RealRendererScene() {
    static SceneForwarder scene;
    return scene;
}

void UseRendererServices(WindowSystem* windowSystem, RendererScene* scene) {
    g_windowSystem = windowSystem;
    g_scene = scene;
}

PixelFormatRequest RendererPixelFormat(std::int32_t colorBits) {
    PixelFormatRequest request;
    request.nSize = 40;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = static_cast<std::uint8_t>(colorBits & 0xFF);
    request.cDepthBits = kRendererDepthBits;
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

int RunRenderer(InstanceHandle hInstance) {
    Ws().TimeBeginPeriod(kTimerResolutionMs);

    WindowClassInfo classInfo;
    classInfo.hInstance = hInstance;
    classInfo.className = kRendererClassName;
    KeyStates keys;
    RendererWindow window;
    window.keys = &keys;
    window.classInfo = &classInfo;
    window.windowName = kRendererWindowName;
    window.width = kRendererWidth;
    window.height = kRendererHeight;
    window.colorBits = kRendererColorBits;
    window.fullScreen = 1;
    keys.Clear();

    if (!RegisterRendererClass(classInfo)) return -1;

    running = true;
    wantFullScreen = window.fullScreen != 0;
    while (running) {
        window.fullScreen = wantFullScreen ? 1 : 0;
        if (!OpenRendererWindow(window)) {
            running = false;
            break;
        }
        Scene().PrepareScene(window, keys);
        RunMessagePump(window);
        CloseRendererWindow(window);
    }
    Ws().UnregisterClass(classInfo.className, hInstance);
    return 0;
}

bool RegisterRendererClass(const WindowClassInfo& classInfo) {
    return Ws().RegisterClass(classInfo.className, classInfo.hInstance, RendererWindowProc);
}

bool EnterDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bits) {
    return Ws().ChangeDisplayMode(width, height, bits);
}

bool OpenRendererWindow(RendererWindow& window) {
    Ws().TimeBeginPeriod(kTimerResolutionMs);
    std::uint32_t style = WS_OVERLAPPEDWINDOW;
    std::uint32_t exStyle = WS_EX_APPWINDOW;
    const PixelFormatRequest request = RendererPixelFormat(window.colorBits);
    Rect rect{0, 0, window.width, window.height};

    if (window.fullScreen) {
        if (EnterDisplayMode(window.width, window.height, window.colorBits)) {
            Ws().ShowCursor(false);
            style = WS_POPUP;
            exStyle |= WS_EX_TOPMOST;
        } else {
            // Windowed fallback: the outer size stays 1024 x 768, so the client is smaller.
            window.fullScreen = 0;
        }
    } else {
        Ws().AdjustWindowRect(rect, style, exStyle);
    }

    window.hWnd = Ws().CreateWindow(exStyle, window.classInfo->className, window.windowName, style, 0, 0,
                                    rect.Width(), rect.Height(), window.classInfo->hInstance, &window);
    if (window.hWnd == 0) return AbandonOpening(window);

    window.hDC = Ws().GetDC(window.hWnd);
    if (window.hDC == 0) {
        Ws().DestroyWindow(window.hWnd);
        window.hWnd = 0;
        return AbandonOpening(window);
    }

    const int format = Ws().ChoosePixelFormat(window.hDC, request);
    if (format == 0 || !Ws().SetPixelFormat(window.hDC, format, request) ||
        (window.hRC = Ws().CreateContext(window.hDC)) == 0) {
        ReleaseDeviceContextAndWindow(window);
        return AbandonOpening(window);
    }

    if (!Ws().MakeCurrent(window.hDC, window.hRC)) {
        Ws().DeleteContext(window.hRC);
        window.hRC = 0;
        ReleaseDeviceContextAndWindow(window);
        return AbandonOpening(window);
    }

    Ws().ShowWindow(window.hWnd, SW_SHOWNORMAL);
    window.visible = 1;
    Scene().SetProjection(window.width, window.height);
    window.keys->Clear();
    return true;
}

bool CloseRendererWindow(RendererWindow& window) {
    if (window.hWnd != 0) {
        if (window.hDC != 0) {
            Ws().MakeCurrent(window.hDC, 0);
            if (window.hRC != 0) {
                Ws().DeleteContext(window.hRC);
                window.hRC = 0;
            }
            Ws().ReleaseDC(window.hWnd, window.hDC);
            window.hDC = 0;
        }
        Ws().DestroyWindow(window.hWnd);
        window.hWnd = 0;
    }
    if (window.fullScreen) {
        Ws().RestoreDisplayMode();
        Ws().ShowCursor(true);
    }
    return true;
}

void RunMessagePump(RendererWindow& window) {
    for (;;) {
        Message message;
        if (Ws().PeekMessage(message, window.hWnd)) {
            if (message.message == WM_QUIT) return;
            Ws().DispatchMessage(message);
        } else if (!window.visible) {
            Ws().WaitMessage();
        } else {
            DrawFrame(window);
        }
    }
}

void RequestStop(RendererWindow& window) {
    Ws().PostMessage(window.hWnd, WM_QUIT, 0, 0);
    running = false;
}

void CheckStopKey() {
    RendererWindow* window = Scene().RecordedWindow();
    KeyStates* keys = Scene().RecordedKeys();
    if (window != nullptr && keys != nullptr && (*keys)[VK_ESCAPE] == 1) RequestStop(*window);
}

LResult RendererWindowProc(WindowHandle hWnd, std::uint32_t message, WParam wParam, LParam lParam) {
    auto* window = static_cast<RendererWindow*>(Ws().GetUserData(hWnd));

    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CreateStruct*>(lParam);
        Ws().SetUserData(hWnd, create != nullptr ? create->lpCreateParams : nullptr);
        return 0;
    }
    // Messages that reach a window before its record is attached have nothing to act on.
    if (window == nullptr) return Ws().DefWindowProc(hWnd, message, wParam, lParam);

    switch (message) {
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                window->visible = 0;
                return 0;
            }
            if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
                window->visible = 1;
                Scene().SetProjection(LoWord(lParam), HiWord(lParam));
                return 0;
            }
            break;
        case WM_CLOSE:
            RequestStop(*window);  // the window goes when the loop closes it
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (wParam <= 255) {
                (*window->keys)[wParam] = message == WM_KEYDOWN ? 1 : 0;
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            // The whole wParam is compared: only these two exact commands are refused.
            if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
            break;
        case WM_SWITCHSCREENMODE:
            wantFullScreen = !wantFullScreen;
            Ws().PostMessage(hWnd, WM_QUIT, 0, 0);
            break;
        default:
            break;
    }
    return Ws().DefWindowProc(hWnd, message, wParam, lParam);
}

}  // namespace veltrane
