#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "renderer/renderer_main.h"
#include "tests/renderer_program/fakes.h"

namespace veltrane {
namespace {

using testing::FakeScene;
using testing::FakeWindowSystem;
using namespace platform;

class RunRendererTest : public ::testing::Test {
protected:
    void SetUp() override { UseRendererServices(&ws, &scene); }

    FakeWindowSystem ws;
    FakeScene scene;
};

TEST_F(RunRendererTest, FullScreenRunAcquiresInOrderDrawsAndReleasesInReverse) {
    ws.onFrame = [](FakeWindowSystem& w, int frame) {
        if (frame == 3) w.Post(WM_KEYDOWN, VK_ESCAPE);
    };
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_FALSE(ws.runaway);

    const std::vector<std::string> opening{"TimeBeginPeriod 1",
                                           "RegisterClass OpenGL",
                                           "TimeBeginPeriod 1",
                                           "ChangeDisplayMode 1024x768x16",
                                           "ShowCursor 0",
                                           "CreateWindow OpenGL Lumora_VC",
                                           "GetDC",
                                           "ChoosePixelFormat",
                                           "SetPixelFormat 7",
                                           "CreateContext",
                                           "MakeCurrent",
                                           "ShowWindow 1",
                                           "SwapBuffers"};
    ASSERT_GE(ws.log.size(), opening.size());
    EXPECT_EQ(std::vector<std::string>(ws.log.begin(), ws.log.begin() + 13), opening);
    const std::vector<std::string> closing{"MakeCurrent null", "DeleteContext",      "ReleaseDC",
                                           "DestroyWindow",    "RestoreDisplayMode", "ShowCursor 1",
                                           "UnregisterClass OpenGL"};
    EXPECT_EQ(std::vector<std::string>(ws.log.end() - 7, ws.log.end()), closing);

    EXPECT_EQ(ws.lastStyle, WS_POPUP);
    EXPECT_EQ(ws.lastExStyle, WS_EX_APPWINDOW | WS_EX_TOPMOST);
    EXPECT_EQ(ws.lastOuter.left, 0);
    EXPECT_EQ(ws.lastOuter.Width(), 1024);
    EXPECT_EQ(ws.lastOuter.Height(), 768);
    EXPECT_EQ(ws.lastRequest.dwFlags, 0x25u);
    EXPECT_EQ(ws.lastRequest.cColorBits, 16);
    EXPECT_EQ(ws.lastRequest.cDepthBits, 16);
    EXPECT_EQ(ws.lastRequest.cAlphaBits, 0);

    // The showing's WM_SIZE, then the opening's own projection, then the scene.
    const std::vector<std::string> sceneStart{"SetProjection 1024x768", "SetProjection 1024x768", "PrepareScene",
                                              "StepAndDraw"};
    EXPECT_EQ(std::vector<std::string>(scene.log.begin(), scene.log.begin() + 4), sceneStart);
    // The key-down waiting after frame 3 is handled before frame 4, which sees it,
    // is still drawn and presented, and is the last.
    EXPECT_EQ(ws.frames, 4);
    EXPECT_EQ(scene.steps, 4);
    EXPECT_FALSE(running);
    EXPECT_EQ(ws.cursorCount, 0);
    EXPECT_FALSE(ws.modeSwitched);
    EXPECT_TRUE(ws.windows.empty());
}

TEST_F(RunRendererTest, EscapeDownAndUpWaitingTogetherIsNotSeen) {
    ws.onFrame = [](FakeWindowSystem& w, int frame) {
        if (frame == 2) {
            w.Post(WM_KEYDOWN, VK_ESCAPE);
            w.Post(WM_KEYUP, VK_ESCAPE);
        }
        if (frame == 5) w.Post(WM_KEYDOWN, VK_ESCAPE);
    };
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_FALSE(ws.runaway);
    EXPECT_EQ(ws.frames, 6);
}

TEST_F(RunRendererTest, KeysAboveTheTableAndOtherKeysDoNotStopIt) {
    ws.onFrame = [](FakeWindowSystem& w, int frame) {
        if (frame == 2) {
            w.Post(WM_KEYDOWN, 0x11B);  // low byte is Escape's
            w.Post(WM_KEYDOWN, 'A');
            w.Post(WM_KEYDOWN, 0x0D);
        }
        if (frame == 10) w.Post(WM_CLOSE);
    };
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_FALSE(ws.runaway);
    EXPECT_EQ(ws.frames, 10);
}

TEST_F(RunRendererTest, MinimisedItWaitsDrawsNothingAndEscapeHasNoEffect) {
    ws.onFrame = [](FakeWindowSystem& w, int frame) {
        if (frame == 2) w.Post(WM_SIZE, SIZE_MINIMIZED, 0);
        if (frame == 6) w.Post(WM_CLOSE);
    };
    ws.onWait = [](FakeWindowSystem& w, int wait) {
        if (wait == 1) w.Post(WM_KEYDOWN, VK_ESCAPE);
        if (wait == 2) w.Post(WM_KEYUP, VK_ESCAPE);
        if (wait == 3) w.Post(WM_SIZE, SIZE_RESTORED, MakeLParam(1024, 768));
    };
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_FALSE(ws.runaway);
    EXPECT_EQ(ws.waits, 3);
    // Two frames before minimising, none while minimised, four after the restore
    // until the close request.
    EXPECT_EQ(ws.frames, 6);
    const auto firstWait = std::find(ws.log.begin(), ws.log.end(), "WaitMessage");
    const auto lastWait = std::find(ws.log.rbegin(), ws.log.rend(), "WaitMessage").base();
    EXPECT_EQ(std::count(firstWait, lastWait, "SwapBuffers"), 0);
}

TEST_F(RunRendererTest, FailedModeSwitchFallsBackToWindowAndSwitchMessagesFlipTheRequest) {
    ws.modeOk = false;
    ws.onFrame = [](FakeWindowSystem& w, int frame) {
        if (frame == 2 || frame == 4) w.Post(WM_SWITCHSCREENMODE);
        if (frame == 6) w.Post(WM_CLOSE);
    };
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_FALSE(ws.runaway);
    // Full screen asked (fails: overlapped, unadjusted), windowed (adjusted), full screen again.
    EXPECT_EQ(ws.Count("ChangeDisplayMode 1024x768x16"), 2);
    EXPECT_EQ(ws.Count("AdjustWindowRect"), 1);
    ASSERT_EQ(ws.outers.size(), 3u);
    for (std::uint32_t style : ws.styles) EXPECT_EQ(style, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(ws.outers[0].Width(), 1024);
    EXPECT_EQ(ws.outers[0].Height(), 768);
    EXPECT_EQ(ws.outers[1].Width(), 1024 + 8);
    EXPECT_EQ(ws.outers[1].Height(), 768 + 28);
    EXPECT_EQ(ws.outers[2].Width(), 1024);
    // The pointer was never hidden and nothing was restored.
    EXPECT_EQ(ws.Count("ShowCursor 0"), 0);
    EXPECT_EQ(ws.Count("ShowCursor 1"), 0);
    EXPECT_EQ(ws.Count("RestoreDisplayMode"), 0);
    EXPECT_EQ(scene.prepares, 3);
    EXPECT_EQ(ws.createdBesideAnother, 0);
    // The fallback's client is smaller, yet the opening's 1024 x 768 projection
    // comes after the showing's and holds until the next size message.
    ASSERT_GE(scene.projections.size(), 2u);
    EXPECT_EQ(scene.projections[0], std::make_pair(1016, 740));
    EXPECT_EQ(scene.projections[1], std::make_pair(1024, 768));
}

TEST_F(RunRendererTest, TwoSwitchMessagesBeforeTheQuitReopenInTheSameMode) {
    WindowHandle first = 0;
    ws.onFrame = [&first](FakeWindowSystem& w, int frame) {
        if (frame == 2) {
            first = w.lastWindow;
            w.Post(WM_SWITCHSCREENMODE);
            w.Post(WM_SWITCHSCREENMODE);
        }
        if (frame == 8) w.Post(WM_CLOSE);
    };
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_FALSE(ws.runaway);
    ASSERT_EQ(ws.styles.size(), 2u);
    EXPECT_EQ(ws.styles[1], WS_POPUP);
    EXPECT_EQ(ws.Count("ChangeDisplayMode 1024x768x16"), 2);
    EXPECT_EQ(ws.Count("RestoreDisplayMode"), 2);
    EXPECT_EQ(ws.cursorCount, 0);
    EXPECT_EQ(ws.createdBesideAnother, 0);
    // The second quit went to the closed window and the new pump never took it.
    ASSERT_EQ(ws.queue.size(), 1u);
    EXPECT_EQ(ws.queue[0].message, WM_QUIT);
    EXPECT_EQ(ws.queue[0].hwnd, first);
    EXPECT_EQ(ws.frames, 8);
}

TEST_F(RunRendererTest, SwitchToWindowAndBackRestoresTheModeAfterEachWindow) {
    ws.onFrame = [](FakeWindowSystem& w, int frame) {
        if (frame == 2 || frame == 4) w.Post(WM_SWITCHSCREENMODE);
        if (frame == 6) w.Post(WM_CLOSE);
    };
    EXPECT_EQ(RunRenderer(0), 0);
    ASSERT_EQ(ws.styles.size(), 3u);
    EXPECT_EQ(ws.styles[0], WS_POPUP);
    EXPECT_EQ(ws.styles[1], WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(ws.styles[2], WS_POPUP);
    EXPECT_EQ(ws.Count("ChangeDisplayMode 1024x768x16"), 2);
    EXPECT_EQ(ws.Count("RestoreDisplayMode"), 2);
    EXPECT_EQ(ws.Count("ShowCursor 0"), 2);
    EXPECT_EQ(ws.Count("ShowCursor 1"), 2);
    EXPECT_FALSE(ws.modeSwitched);
    EXPECT_EQ(ws.cursorCount, 0);
    // Each new window gets a freshly seeded scene.
    EXPECT_EQ(scene.prepares, 3);
}

TEST_F(RunRendererTest, ClassRegistrationFailureEndsWithMinusOneAndNoWindow) {
    ws.registerOk = false;
    EXPECT_EQ(RunRenderer(0), -1);
    const std::vector<std::string> expected{"TimeBeginPeriod 1", "RegisterClass OpenGL"};
    EXPECT_EQ(ws.log, expected);
    EXPECT_TRUE(scene.log.empty());
}

struct OpeningFault {
    const char* name;
    void (*arm)(FakeWindowSystem&);
    std::vector<std::string> tail;  // the log from the failing step to the end
};

void PrintTo(const OpeningFault& f, std::ostream* os) { *os << f.name; }

class OpeningFaultTest : public RunRendererTest, public ::testing::WithParamInterface<OpeningFault> {};

TEST_P(OpeningFaultTest, ReleasesInReverseRestoresModeAndPointerAndEndsWithZero) {
    GetParam().arm(ws);
    EXPECT_EQ(RunRenderer(0), 0);
    const std::vector<std::string>& tail = GetParam().tail;
    ASSERT_GE(ws.log.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(ws.log.end() - static_cast<long>(tail.size()), ws.log.end()), tail);
    EXPECT_EQ(ws.frames, 0);
    EXPECT_TRUE(scene.log.empty());
    EXPECT_TRUE(ws.windows.empty());
    EXPECT_FALSE(ws.modeSwitched);
    EXPECT_EQ(ws.cursorCount, 0);
    EXPECT_FALSE(running);

    // The same opening called directly leaves every handle null.
    FakeWindowSystem again;
    GetParam().arm(again);
    UseRendererServices(&again, &scene);
    WindowClassInfo classInfo{0, "OpenGL"};
    KeyStates keys;
    RendererWindow window = testing::MakeRendererWindow(keys, classInfo, true);
    ASSERT_TRUE(RegisterRendererClass(classInfo));
    EXPECT_FALSE(OpenRendererWindow(window));
    EXPECT_EQ(window.hWnd, 0u);
    EXPECT_EQ(window.hDC, 0u);
    EXPECT_EQ(window.hRC, 0u);
}

const std::vector<std::string> kGiveBack{"RestoreDisplayMode", "ShowCursor 1", "UnregisterClass OpenGL"};

std::vector<std::string> Tail(std::vector<std::string> head) {
    head.insert(head.end(), kGiveBack.begin(), kGiveBack.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, OpeningFaultTest,
    ::testing::Values(
        OpeningFault{"Window", [](FakeWindowSystem& w) { w.createOk = false; },
                     Tail({"CreateWindow OpenGL Lumora_VC"})},
        OpeningFault{"DeviceContext", [](FakeWindowSystem& w) { w.getDcOk = false; },
                     Tail({"GetDC", "DestroyWindow"})},
        OpeningFault{"NoPixelFormat", [](FakeWindowSystem& w) { w.pixelFormat = 0; },
                     Tail({"ChoosePixelFormat", "ReleaseDC", "DestroyWindow"})},
        OpeningFault{"SetPixelFormat", [](FakeWindowSystem& w) { w.setFormatOk = false; },
                     Tail({"SetPixelFormat 7", "ReleaseDC", "DestroyWindow"})},
        OpeningFault{"Context", [](FakeWindowSystem& w) { w.contextOk = false; },
                     Tail({"CreateContext", "ReleaseDC", "DestroyWindow"})},
        OpeningFault{"MakeCurrent", [](FakeWindowSystem& w) { w.makeCurrentOk = false; },
                     Tail({"MakeCurrent", "DeleteContext", "ReleaseDC", "DestroyWindow"})}),
    [](const ::testing::TestParamInfo<OpeningFault>& info) { return std::string(info.param.name); });

TEST_F(RunRendererTest, FailedOpeningWithoutAModeSwitchHasNothingToGiveBack) {
    ws.modeOk = false;
    ws.contextOk = false;
    EXPECT_EQ(RunRenderer(0), 0);
    EXPECT_EQ(ws.Count("RestoreDisplayMode"), 0);
    EXPECT_EQ(ws.Count("ShowCursor 1"), 0);
    EXPECT_EQ(ws.Count("ShowCursor 0"), 0);
}

TEST_F(RunRendererTest, OpenAndCloseSetAndClearEveryHandle) {
    WindowClassInfo classInfo{0, "OpenGL"};
    KeyStates keys;
    keys[VK_ESCAPE] = 1;
    keys[7] = 1;
    RendererWindow window = testing::MakeRendererWindow(keys, classInfo, false);
    ASSERT_TRUE(RegisterRendererClass(classInfo));
    ASSERT_TRUE(OpenRendererWindow(window));
    EXPECT_NE(window.hWnd, 0u);
    EXPECT_NE(window.hDC, 0u);
    EXPECT_NE(window.hRC, 0u);
    EXPECT_EQ(window.visible, 1);
    EXPECT_EQ(keys.state, KeyStates{}.state);  // the opening clears the key table
    EXPECT_EQ(ws.lastOuter.Width(), 1024 + 8);

    EXPECT_TRUE(CloseRendererWindow(window));
    EXPECT_EQ(window.hWnd, 0u);
    EXPECT_EQ(window.hDC, 0u);
    EXPECT_EQ(window.hRC, 0u);
    EXPECT_EQ(ws.Count("RestoreDisplayMode"), 0);  // windowed: no mode to give back
    EXPECT_TRUE(ws.windows.empty());
}

}  // namespace
}  // namespace veltrane
