#include <gtest/gtest.h>

#include "renderer/renderer_main.h"
#include "tests/renderer_program/fakes.h"

namespace veltrane {
namespace {

using testing::FakeScene;
using testing::FakeWindowSystem;
using namespace platform;

// A window made through the fake, with its record attached by WM_CREATE.
class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseRendererServices(&ws, &scene);
        window.keys = &keys;
        window.visible = 1;
        ws.RegisterClass("OpenGL", 0, RendererWindowProc);
        hWnd = ws.CreateWindow(WS_EX_APPWINDOW, "OpenGL", "Lumora_VC", WS_POPUP, 0, 0, 1024, 768, 0, &window);
        window.hWnd = hWnd;
        running = true;
        wantFullScreen = true;
    }
    LResult Send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        return RendererWindowProc(hWnd, message, wParam, lParam);
    }
    int Defaulted(std::uint32_t message) const {
        int n = 0;
        for (const Message& m : ws.defaulted) n += m.message == message ? 1 : 0;
        return n;
    }
    int QuitsQueued() const {
        int n = 0;
        for (const Message& m : ws.queue) n += m.message == WM_QUIT && m.hwnd == hWnd ? 1 : 0;
        return n;
    }

    FakeWindowSystem ws;
    FakeScene scene;
    KeyStates keys;
    RendererWindow window;
    WindowHandle hWnd = 0;
};

TEST_F(WindowProcTest, SizeMessagesSetVisibilityAndProjection) {
    EXPECT_EQ(Send(WM_SIZE, SIZE_MINIMIZED, 0), 0);
    EXPECT_EQ(window.visible, 0);
    EXPECT_TRUE(scene.projections.empty());

    EXPECT_EQ(Send(WM_SIZE, SIZE_RESTORED, MakeLParam(800, 600)), 0);
    EXPECT_EQ(window.visible, 1);
    Send(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(Send(WM_SIZE, SIZE_MAXIMIZED, MakeLParam(1280, 1024)), 0);
    EXPECT_EQ(window.visible, 1);
    // A zero height reaches the scene as it is; the scene keeps its projection sound.
    Send(WM_SIZE, SIZE_RESTORED, MakeLParam(640, 0));
    const std::vector<std::pair<int, int>> expected{{800, 600}, {1280, 1024}, {640, 0}};
    EXPECT_EQ(scene.projections, expected);
    EXPECT_EQ(Defaulted(WM_SIZE), 0);

    // Other size types (SIZE_MAXSHOW, SIZE_MAXHIDE) go to the default handling untouched.
    Send(WM_SIZE, SIZE_MINIMIZED, 0);
    Send(WM_SIZE, 3, MakeLParam(10, 10));
    Send(WM_SIZE, 4, MakeLParam(10, 10));
    EXPECT_EQ(window.visible, 0);
    EXPECT_EQ(Defaulted(WM_SIZE), 2);
    EXPECT_EQ(scene.projections.size(), 3u);
}

TEST_F(WindowProcTest, KeyTableTakesCodesUpTo255Only) {
    EXPECT_EQ(Send(WM_KEYDOWN, VK_ESCAPE), 0);
    EXPECT_EQ(keys[VK_ESCAPE], 1);
    EXPECT_EQ(Send(WM_KEYDOWN, 255), 0);
    EXPECT_EQ(keys[255], 1);
    EXPECT_EQ(Defaulted(WM_KEYDOWN), 0);

    // 0x11B shares its low byte with Escape: it must store nothing anywhere.
    const KeyStates before = keys;
    Send(WM_KEYUP, 0x11B);
    Send(WM_KEYDOWN, 0x100);
    Send(WM_KEYDOWN, 0x1FF);
    EXPECT_EQ(keys.state, before.state);
    EXPECT_EQ(Defaulted(WM_KEYUP), 1);
    EXPECT_EQ(Defaulted(WM_KEYDOWN), 2);

    EXPECT_EQ(Send(WM_KEYUP, VK_ESCAPE), 0);
    EXPECT_EQ(keys[VK_ESCAPE], 0);
    // Keys never stop the run by themselves; only the frame's check does.
    EXPECT_TRUE(running);
    EXPECT_EQ(QuitsQueued(), 0);
}

TEST_F(WindowProcTest, OnlyTheExactScreenSaveAndMonitorPowerCommandsAreRefused) {
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
    EXPECT_EQ(Defaulted(WM_SYSCOMMAND), 0);
    for (WParam command : {WParam{0xF141}, WParam{0xF171}, WParam{0xF14F}, SC_CLOSE}) Send(WM_SYSCOMMAND, command);
    ASSERT_EQ(Defaulted(WM_SYSCOMMAND), 4);
    EXPECT_EQ(ws.defaulted[0].wParam, 0xF141u);
    EXPECT_EQ(ws.defaulted[3].wParam, SC_CLOSE);
}

TEST_F(WindowProcTest, CloseStopsTheRunWithoutDestroyingTheWindow) {
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_FALSE(running);
    EXPECT_EQ(QuitsQueued(), 1);
    EXPECT_TRUE(ws.Alive(hWnd));
    EXPECT_EQ(Defaulted(WM_CLOSE), 0);
}

TEST_F(WindowProcTest, SwitchScreenModeFlipsTheRequestAndEndsThePumpOnly) {
    Send(WM_SWITCHSCREENMODE);
    EXPECT_FALSE(wantFullScreen);
    EXPECT_EQ(QuitsQueued(), 1);
    Send(WM_SWITCHSCREENMODE, 5, 6);
    EXPECT_TRUE(wantFullScreen);
    EXPECT_EQ(QuitsQueued(), 2);
    EXPECT_TRUE(running);
    // It is also passed on to the default handling, with its parameters.
    ASSERT_EQ(Defaulted(WM_SWITCHSCREENMODE), 2);
    EXPECT_EQ(ws.defaulted[1].wParam, 5u);
    EXPECT_EQ(ws.defaulted[1].lParam, 6);
}

TEST_F(WindowProcTest, EverythingElseGoesToTheDefaultHandling) {
    for (std::uint32_t message : {WM_PAINT, WM_DESTROY, WM_SYSKEYDOWN, WM_USER, WM_USER + 2}) Send(message);
    EXPECT_EQ(ws.defaulted.size(), 5u);
    EXPECT_TRUE(running);
    EXPECT_TRUE(wantFullScreen);
    EXPECT_EQ(window.visible, 1);
}

TEST_F(WindowProcTest, MessagesBeforeTheRecordIsAttachedOnlyReachTheDefault) {
    const WindowHandle bare = ws.CreateWindow(0, "OpenGL", "other", WS_POPUP, 0, 0, 10, 10, 0, nullptr);
    RendererWindowProc(bare, WM_CLOSE, 0, 0);
    RendererWindowProc(bare, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(running);
    EXPECT_EQ(ws.defaulted.size(), 2u);
}

}  // namespace
}  // namespace veltrane
