// A window system and a scene that record what the renderer asks of them and
// feed it messages, so the window procedure and the loop run without a display.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "renderer/renderer_main.h"

namespace veltrane::testing {

using namespace veltrane::platform;

class FakeWindowSystem final : public WindowSystem {
public:
    // Failure switches, one per step of an opening.
    bool registerOk = true;
    bool modeOk = true;
    bool createOk = true;
    bool getDcOk = true;
    int pixelFormat = 7;
    bool setFormatOk = true;
    bool contextOk = true;
    bool makeCurrentOk = true;
    // The manager's frame around an overlapped window.
    int frameLeft = 4, frameTop = 24, frameRight = 4, frameBottom = 4;

    // Called after every SwapBuffers with the number of frames so far, and at every
    // WaitMessage; tests post their messages from here.
    std::function<void(FakeWindowSystem&, int frame)> onFrame;
    std::function<void(FakeWindowSystem&, int wait)> onWait;
    // A run that goes on past this many frames or waits is stopped with WM_CLOSE.
    int frameLimit = 2000;

    std::vector<std::string> log;
    std::vector<Message> defaulted;  // messages passed to DefWindowProc
    int frames = 0;
    int waits = 0;
    int cursorCount = 0;
    bool modeSwitched = false;
    bool runaway = false;
    WindowHandle lastWindow = 0;
    std::uint32_t lastStyle = 0, lastExStyle = 0;
    Rect lastOuter{};
    std::vector<Rect> outers;            // every creation's outer rectangle
    std::vector<std::uint32_t> styles;   // and style
    int createdBesideAnother = 0;        // creations while another window existed

    struct Window {
        WindowProc proc = nullptr;
        void* userData = nullptr;
        std::uint32_t style = 0;
        int clientWidth = 0, clientHeight = 0;
        bool shown = false;
    };
    std::map<WindowHandle, Window> windows;
    std::deque<Message> queue;

    bool Alive(WindowHandle h) const { return windows.count(h) != 0; }
    bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
    int Count(const std::string& entry) const { return static_cast<int>(std::count(log.begin(), log.end(), entry)); }
    // Index of the first log entry, -1 when absent.
    int IndexOf(const std::string& entry) const {
        auto it = std::find(log.begin(), log.end(), entry);
        return it == log.end() ? -1 : static_cast<int>(it - log.begin());
    }
    void Post(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        queue.push_back(Message{lastWindow, message, wParam, lParam});
    }

    void TimeBeginPeriod(unsigned int ms) override { log.push_back("TimeBeginPeriod " + std::to_string(ms)); }
    std::int64_t Time() override { return 1700000000 + frames / 30; }
    bool RegisterClass(const std::string& className, InstanceHandle, WindowProc proc) override {
        log.push_back("RegisterClass " + className);
        proc_ = proc;
        return registerOk;
    }
    void UnregisterClass(const std::string& className, InstanceHandle) override {
        log.push_back("UnregisterClass " + className);
    }
    bool ChangeDisplayMode(std::int32_t w, std::int32_t h, std::int32_t bits) override {
        log.push_back("ChangeDisplayMode " + std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bits));
        if (modeOk) modeSwitched = true;
        return modeOk;
    }
    void RestoreDisplayMode() override {
        log.push_back("RestoreDisplayMode");
        modeSwitched = false;
    }
    int ShowCursor(bool show) override {
        log.push_back(show ? "ShowCursor 1" : "ShowCursor 0");
        cursorCount += show ? 1 : -1;
        return cursorCount;
    }
    void AdjustWindowRect(Rect& rect, std::uint32_t style, std::uint32_t) override {
        log.push_back("AdjustWindowRect");
        if ((style & WS_POPUP) != 0) return;
        rect.left -= frameLeft;
        rect.top -= frameTop;
        rect.right += frameRight;
        rect.bottom += frameBottom;
    }
    WindowHandle CreateWindow(std::uint32_t exStyle, const std::string& className, const std::string& windowName,
                              std::uint32_t style, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                              InstanceHandle, void* createParam) override {
        log.push_back("CreateWindow " + className + " " + windowName);
        lastStyle = style;
        lastExStyle = exStyle;
        lastOuter = Rect{x, y, x + w, y + h};
        outers.push_back(lastOuter);
        styles.push_back(style);
        if (!windows.empty()) ++createdBesideAnother;
        if (!createOk) return 0;
        const WindowHandle handle = nextHandle_++;
        Window window;
        window.proc = proc_;
        window.style = style;
        const bool popup = (style & WS_POPUP) != 0;
        window.clientWidth = popup ? w : w - frameLeft - frameRight;
        window.clientHeight = popup ? h : h - frameTop - frameBottom;
        windows[handle] = window;
        lastWindow = handle;
        CreateStruct create{createParam};
        proc_(handle, WM_CREATE, 0, reinterpret_cast<LParam>(&create));
        return handle;
    }
    bool ShowWindow(WindowHandle h, int command) override {
        log.push_back("ShowWindow " + std::to_string(command));
        auto it = windows.find(h);
        if (it == windows.end()) return false;
        if (!it->second.shown) {
            it->second.shown = true;
            it->second.proc(h, WM_SIZE, SIZE_RESTORED,
                            MakeLParam(static_cast<std::uint16_t>(it->second.clientWidth),
                                       static_cast<std::uint16_t>(it->second.clientHeight)));
        }
        return true;
    }
    bool DestroyWindow(WindowHandle h) override {
        log.push_back("DestroyWindow");
        return windows.erase(h) != 0;
    }
    void SetUserData(WindowHandle h, void* data) override {
        if (Alive(h)) windows[h].userData = data;
    }
    void* GetUserData(WindowHandle h) override { return Alive(h) ? windows[h].userData : nullptr; }
    DeviceContext GetDC(WindowHandle h) override {
        log.push_back("GetDC");
        return getDcOk && Alive(h) ? h + 5000 : 0;
    }
    void ReleaseDC(WindowHandle, DeviceContext) override { log.push_back("ReleaseDC"); }
    int ChoosePixelFormat(DeviceContext, const PixelFormatRequest& request) override {
        log.push_back("ChoosePixelFormat");
        lastRequest = request;
        return pixelFormat;
    }
    bool SetPixelFormat(DeviceContext, int format, const PixelFormatRequest&) override {
        log.push_back("SetPixelFormat " + std::to_string(format));
        return setFormatOk;
    }
    RenderingContext CreateContext(DeviceContext) override {
        log.push_back("CreateContext");
        return contextOk ? 777 : 0;
    }
    bool MakeCurrent(DeviceContext, RenderingContext rc) override {
        log.push_back(rc == 0 ? "MakeCurrent null" : "MakeCurrent");
        return rc == 0 || makeCurrentOk;
    }
    bool DeleteContext(RenderingContext) override {
        log.push_back("DeleteContext");
        return true;
    }
    bool SwapBuffers(DeviceContext) override {
        log.push_back("SwapBuffers");
        ++frames;
        if (onFrame) onFrame(*this, frames);
        StopRunaway();
        return true;
    }
    bool PeekMessage(Message& message, WindowHandle filter) override {
        auto it = std::find_if(queue.begin(), queue.end(),
                               [filter](const Message& m) { return filter == 0 || m.hwnd == filter; });
        if (it == queue.end()) return false;
        message = *it;
        queue.erase(it);
        return true;
    }
    LResult DispatchMessage(const Message& message) override {
        auto it = windows.find(message.hwnd);
        return it == windows.end() ? 0 : it->second.proc(message.hwnd, message.message, message.wParam, message.lParam);
    }
    void WaitMessage() override {
        log.push_back("WaitMessage");
        ++waits;
        if (onWait) onWait(*this, waits);
        StopRunaway();
    }
    bool PostMessage(WindowHandle h, std::uint32_t message, WParam wParam, LParam lParam) override {
        queue.push_back(Message{h, message, wParam, lParam});
        return true;
    }
    LResult DefWindowProc(WindowHandle h, std::uint32_t message, WParam wParam, LParam lParam) override {
        defaulted.push_back(Message{h, message, wParam, lParam});
        return 0;
    }

    PixelFormatRequest lastRequest{};

private:
    void StopRunaway() {
        if (frames + waits < frameLimit || runaway) return;
        runaway = true;
        for (auto& [h, w] : windows) queue.push_back(Message{h, WM_CLOSE, 0, 0});
    }

    WindowProc proc_ = nullptr;
    WindowHandle nextHandle_ = 100;
};

class FakeScene final : public RendererScene {
public:
    std::vector<std::string> log;
    std::vector<std::pair<int, int>> projections;
    int prepares = 0;
    int steps = 0;

    bool PrepareScene(RendererWindow& window, KeyStates& keys) override {
        log.push_back("PrepareScene");
        ++prepares;
        window_ = &window;
        keys_ = &keys;
        return true;
    }
    void SetProjection(std::int32_t width, std::int32_t height) override {
        log.push_back("SetProjection " + std::to_string(width) + "x" + std::to_string(height));
        projections.emplace_back(width, height);
    }
    void StepAndDraw(std::int64_t) override {
        log.push_back("StepAndDraw");
        ++steps;
    }
    RendererWindow* RecordedWindow() override { return window_; }
    KeyStates* RecordedKeys() override { return keys_; }

private:
    RendererWindow* window_ = nullptr;
    KeyStates* keys_ = nullptr;
};

// A window record filled in the way RunRenderer fills it.
inline RendererWindow MakeRendererWindow(KeyStates& keys, WindowClassInfo& classInfo, bool fullScreen) {
    RendererWindow window;
    window.keys = &keys;
    window.classInfo = &classInfo;
    window.windowName = "Lumora_VC";
    window.width = 1024;
    window.height = 768;
    window.colorBits = 16;
    window.fullScreen = fullScreen ? 1 : 0;
    return window;
}

}  // namespace veltrane::testing
