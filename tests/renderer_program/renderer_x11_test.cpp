// Veltrane.dll run as a program under a private Xvfb, with and without a window
// manager: its window, its picture, the ways it ends, the mode switch and restore.
#include "support/xvfb_session.h"
#include "support/randr_state.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>

#include "platform/x11/window_message.h"

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
constexpr const char* kTitle = "Lumora_VC";


// Xvfb paints its software pointer into the framebuffer only. The arrow's light
// grey edge or inside shows near the hot spot as bright grey pixels that the
// read-back lacks; the tinted scene has hardly any bright grey of its own.
int PointerPixels(XvfbSession& s, int x, int y) {
    s.Sync();
    const Picture fb = s.Framebuffer();
    const Picture screen = s.Capture();
    if (fb.empty() || screen.empty()) return -1;
    int count = 0;
    for (int py = y; py < std::min(y + 20, fb.height); ++py) {
        for (int px = x; px < std::min(x + 12, fb.width); ++px) {
            const Rgb& f = fb.at(px, py);
            const Rgb& c = screen.at(px, py);
            const int low = std::min({f.r, f.g, f.b}), high = std::max({f.r, f.g, f.b});
            if (low > 200 && high - low < 12 && !(c == f)) ++count;
        }
    }
    return count;
}

// Waits until the pointer at x, y is shown (or hidden), and says whether it came
// to that. The scene moves between the two read-backs, so each look asks three times.
bool PointerVisible(XvfbSession& s, int x, int y, bool visible = true) {
    s.MovePointer(x, y);
    return WaitUntil(
        [&] {
            int votes = 0;
            for (int i = 0; i < 3; ++i) votes += PointerPixels(s, x, y) >= 8 ? 1 : 0;
            return (votes >= 2) == visible;
        },
        10s, 50ms);
}
bool PointerHidden(XvfbSession& s, int x, int y) { return PointerVisible(s, x, y, false); }

// Brightness of a frame by region: the field streams out of the centre, so its
// middle is far denser and brighter than its edges.
struct Brightness {
    double centre = 0, edge = 0, litShare = 0;
};

Brightness Measure(const Picture& p) {
    Brightness b;
    long centreSum = 0, centreCount = 0, edgeSum = 0, edgeCount = 0, lit = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const int v = p.at(x, y).sum();
            lit += v > 30 ? 1 : 0;
            const double dx = (x - p.width / 2.0) / p.width, dy = (y - p.height / 2.0) / p.height;
            if (std::abs(dx) < 0.1 && std::abs(dy) < 0.1) {
                centreSum += v;
                ++centreCount;
            } else if (std::abs(dx) > 0.35 || std::abs(dy) > 0.35) {
                edgeSum += v;
                ++edgeCount;
            }
        }
    }
    b.centre = centreCount ? static_cast<double>(centreSum) / centreCount : 0;
    b.edge = edgeCount ? static_cast<double>(edgeSum) / edgeCount : 0;
    b.litShare = static_cast<double>(lit) / (static_cast<double>(p.width) * p.height);
    return b;
}

// Escape held for a few frames; a press and release that both wait in the queue
// while a (slow) frame is drawn are not seen, by design.
void HoldEscape(XvfbSession& s) { s.TapKey("Escape", 300ms); }

ExitStatus Finish(pid_t pid, std::chrono::milliseconds timeout = 30s) {
    auto status = WaitProcess(pid, timeout);
    if (!status) {
        KillProcess(pid);
        ADD_FAILURE() << "the renderer did not end";
        return ExitStatus{false, 0, SIGKILL};
    }
    return *status;
}

// Holds Escape down until the renderer has ended (however slow its frames are), then lets go.
ExitStatus EndWithEscape(XvfbSession& s, pid_t pid) {
    s.Key("Escape", true);
    const ExitStatus status = Finish(pid, 30s);
    s.Key("Escape", false);
    return status;
}

void ExpectCleanExit(const ExitStatus& status) {
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
}

// Waits until the renderer has drawn a frame with something in it: it runs its loop.
bool WaitForFrame(XvfbSession& s) {
    return WaitUntil([&] { return Measure(s.Capture()).litShare > 0.01; }, 30s, 100ms);
}

bool IsFullScreen(const WindowInfo& info) {
    return info.viewable && info.x == 0 && info.y == 0 && info.width == 1024 && info.height == 768;
}

// Openbox's first start in a fresh home can be slow on a loaded machine (font
// caches); a test that wants a manager waits until it manages the screen.
bool ManagerReady(XvfbSession& s, bool wanted) {
    if (!wanted) return true;
    for (int i = 0; i < 1500; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(s.display(), DefaultRootWindow(s.display()), &a) &&
            (a.all_event_masks & SubstructureRedirectMask)) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

::Window Parent(::Display* d, ::Window w) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    return parent;
}

bool OverrideRedirect(::Display* d, ::Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(d, w, &a) && a.override_redirect;
}

// The next "Lumora_VC" window that is not `old`.
::Window WaitForNewWindow(XvfbSession& s, ::Window old, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const ::Window w = s.FindWindow(kTitle);
        if (w != 0 && w != old) return w;
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

class RendererFullScreen : public ::testing::TestWithParam<bool> {};

// Full screen on a 1024 x 768 x 16 screen, where that mode is already in force.
TEST_P(RendererFullScreen, CoversTheScreenDrawsTheFieldAndEndsOnHeldEscape) {
    const bool windowManager = GetParam();
    XvfbSession s({1024, 768, 16, windowManager});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, windowManager)) << "openbox did not start";
    const ScreenState before = ReadScreenState(s.display());
    const std::string said = std::string(VELTRANE_TEST_TMP) + "/renderer-fullscreen-" +
                             (windowManager ? "managed" : "bare") + ".txt";
    const pid_t pid = StartProcess({kRenderer}, s.env(), said);
    const ::Window w = s.WaitForWindow(kTitle, 30s);
    ASSERT_NE(w, 0u) << "no Lumora_VC window";
    EXPECT_EQ(s.ClassOf(w), "OpenGL");
    WaitUntil([&] { return IsFullScreen(s.Info(w)); }, 10s);  // a manager may still be placing it
    const WindowInfo info = s.Info(w);
    EXPECT_EQ(info.x, 0);
    EXPECT_EQ(info.y, 0);
    EXPECT_EQ(info.width, 1024);
    EXPECT_EQ(info.height, 768);
    EXPECT_TRUE(info.viewable);
    EXPECT_EQ(OverrideRedirect(s.display(), w), !windowManager);

    // The field spreads over the first seconds (longer on a loaded machine).
    Picture frame;
    Brightness b;
    WaitUntil([&] { frame = s.Capture(); b = Measure(frame); return b.litShare > 0.05; }, 60s, 200ms);
    EXPECT_GT(b.litShare, 0.05) << "hardly anything drawn";
    // One picture is one moment of a moving field, and near particles sweep over
    // the edges now and then; the median over five frames judges the field.
    std::vector<double> ratios;
    for (int i = 0; i < 5; ++i) {
        const Picture previous = frame;
        WaitUntil([&] { frame = s.Capture(); return frame.pixels != previous.pixels; }, 10s, 20ms);
        const Brightness m = Measure(frame);
        ratios.push_back(m.edge > 0 ? m.centre / m.edge : 1e9);
    }
    std::sort(ratios.begin(), ratios.end());
    EXPECT_GT(ratios[2], 3.0) << "centre to edge, lowest " << ratios[0] << " highest " << ratios[4];
    if (::testing::Test::HasFailure()) frame.SavePng(std::string(VELTRANE_TEST_TMP) + "/renderer-fullscreen.png");

    ExpectCleanExit(EndWithEscape(s, pid));
    EXPECT_TRUE(s.WaitForWindowGone(kTitle, 10s));
    EXPECT_EQ(ReadScreenState(s.display()), before);
    std::stringstream output;
    output << std::ifstream(said).rdbuf();
    EXPECT_EQ(output.str(), "") << "a run that worked says nothing";
}

TEST_P(RendererFullScreen, CloseRequestEndsItWithZero) {
    XvfbSession s({1024, 768, 16, GetParam()});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, GetParam())) << "openbox did not start";
    const pid_t pid = s.Start({kRenderer});
    const ::Window w = s.WaitForWindow(kTitle, 30s);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(WaitForFrame(s));
    s.SendClose(w);
    ExpectCleanExit(Finish(pid));
    EXPECT_TRUE(s.WaitForWindowGone(kTitle, 10s));
}

// A press and release that wait together in the queue are by design not seen:
// the renderer keeps running until a held Escape.
TEST_P(RendererFullScreen, TappedEscapeIsNotSeenButOtherKeysAndClicksDoNothingEither) {
    XvfbSession s({1024, 768, 16, GetParam()});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, GetParam())) << "openbox did not start";
    const pid_t pid = s.Start({kRenderer});
    ASSERT_NE(s.WaitForWindow(kTitle, 30s), 0u);
    ASSERT_TRUE(WaitForFrame(s));
    {
        // Press and release in one batch, so they reach the renderer together.
        ::Display* d = s.display();
        const KeyCode escape = XKeysymToKeycode(d, XStringToKeysym("Escape"));
        XTestFakeKeyEvent(d, escape, True, CurrentTime);
        XTestFakeKeyEvent(d, escape, False, CurrentTime);
        XFlush(d);
    }
    s.TapKey("space", 200ms);
    s.TapKey("a", 200ms);
    s.MovePointer(300, 300);
    s.Button(1, true);
    s.Button(1, false);
    std::this_thread::sleep_for(700ms);
    EXPECT_FALSE(WaitProcess(pid, 0ms).has_value()) << "ended without a held Escape";
    EXPECT_NE(s.FindWindow(kTitle), 0u);
    ExpectCleanExit(EndWithEscape(s, pid));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutManager, RendererFullScreen, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Openbox" : "NoManager");
                         });

class RendererScreenModes : public ::testing::TestWithParam<bool> {};

// Message 1025 from another program: to a window and back, the screen as it was
// after each step. On 1280 x 1024 with a 1024 x 768 mode added, the switch is real.
TEST_P(RendererScreenModes, SwitchMessageGoesToAWindowAndBackRestoringTheModeEachTime) {
    const bool windowManager = GetParam();
    XvfbSession s({1280, 1024, 24, windowManager});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, windowManager)) << "openbox did not start";
    ASSERT_TRUE(AddRealMode1024x768(s.display()));
    ::Display* d = s.display();
    const ScreenState original = ReadScreenState(d);
    ASSERT_EQ(original.width, 1280);

    const pid_t pid = s.Start({kRenderer});
    ::Window w = s.WaitForWindow(kTitle, 30s);
    ASSERT_NE(w, 0u);
    WaitUntil([&] { return s.ScreenSize() == "1024x768" && s.Info(w).width == 1024; }, 10s);
    EXPECT_EQ(s.ScreenSize(), "1024x768");
    EXPECT_EQ(ReadScreenState(d).width, 1024);
    EXPECT_EQ(s.Info(w).width, 1024);
    EXPECT_TRUE(PointerHidden(s, 40, 60)) << "pointer shown over the full-screen window";

    // To a window: the old one goes, a new managed one comes, the mode is back.
    ASSERT_TRUE(platform::SendWindowMessage(d, w, 1025, 0, 0));
    const ::Window windowed = WaitForNewWindow(s, w, 30s);
    ASSERT_NE(windowed, 0u);
    WaitUntil(
        [&] {
            const WindowInfo i = s.Info(windowed);
            return ReadScreenState(d) == original && i.width == 1024 && i.height == 768 &&
                   (!windowManager || Parent(d, windowed) != DefaultRootWindow(d));
        },
        10s);
    EXPECT_EQ(ReadScreenState(d), original);
    EXPECT_FALSE(OverrideRedirect(d, windowed));
    if (windowManager) {
        EXPECT_NE(Parent(d, windowed), DefaultRootWindow(d)) << "no title bar frame";
    }
    const WindowInfo windowedInfo = s.Info(windowed);
    EXPECT_EQ(windowedInfo.width, 1024);  // a window sized for a 1024 x 768 client
    EXPECT_EQ(windowedInfo.height, 768);

    // And back to full screen.
    ASSERT_TRUE(platform::SendWindowMessage(d, windowed, 1025, 0, 0));
    const ::Window again = WaitForNewWindow(s, windowed, 30s);
    ASSERT_NE(again, 0u);
    WaitUntil([&] { return s.ScreenSize() == "1024x768" && IsFullScreen(s.Info(again)); }, 10s);
    EXPECT_EQ(s.ScreenSize(), "1024x768");
    const WindowInfo againInfo = s.Info(again);
    EXPECT_EQ(againInfo.x, 0);
    EXPECT_EQ(againInfo.width, 1024);
    EXPECT_EQ(againInfo.height, 768);

    ExpectCleanExit(EndWithEscape(s, pid));
    EXPECT_EQ(ReadScreenState(d), original);
}

// Messages other than the private ones are not taken from other programs.
TEST_P(RendererScreenModes, SystemMessagesFromOtherProgramsAreIgnored) {
    XvfbSession s({1024, 768, 16, GetParam()});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, GetParam())) << "openbox did not start";
    const pid_t pid = s.Start({kRenderer});
    const ::Window w = s.WaitForWindow(kTitle, 30s);
    ASSERT_NE(w, 0u);
    platform::SendWindowMessage(s.display(), w, 0x0010 /* WM_CLOSE */, 0, 0);
    platform::SendWindowMessage(s.display(), w, 0x0001 /* WM_CREATE */, 0, 12345);
    platform::SendWindowMessage(s.display(), w, 0x0100 /* WM_KEYDOWN */, 0x1B, 0);
    std::this_thread::sleep_for(600ms);
    EXPECT_FALSE(WaitProcess(pid, 0ms).has_value());
    EXPECT_EQ(s.FindWindow(kTitle), w);
    ExpectCleanExit(EndWithEscape(s, pid));
}

// No 1024 x 768 mode: the windowed fallback, with the pointer, ended by Escape.
TEST_P(RendererScreenModes, WithoutTheModeItRunsInAWindowWithThePointerShown) {
    const bool windowManager = GetParam();
    XvfbSession s({1280, 1024, 24, windowManager});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, windowManager)) << "openbox did not start";
    ::Display* d = s.display();
    const ScreenState original = ReadScreenState(d);
    const pid_t pid = s.Start({kRenderer});
    const ::Window w = s.WaitForWindow(kTitle, 30s);
    ASSERT_NE(w, 0u);
    WaitUntil(
        [&] {
            const WindowInfo i = s.Info(w);
            return windowManager ? Parent(d, w) != DefaultRootWindow(d) && i.height < 768 : IsFullScreen(i);
        },
        10s);  // a manager may still be framing it
    EXPECT_EQ(ReadScreenState(d), original);
    EXPECT_FALSE(OverrideRedirect(d, w));
    const WindowInfo info = s.Info(w);
    if (windowManager) {
        // The outer size is 1024 x 768, title bar included, so the client is smaller.
        EXPECT_NE(Parent(d, w), DefaultRootWindow(d));
        EXPECT_LT(info.height, 768);
        EXPECT_LE(info.width, 1024);
    } else {
        EXPECT_EQ(info.x, 0);
        EXPECT_EQ(info.width, 1024);
        EXPECT_EQ(info.height, 768);
    }
    EXPECT_TRUE(PointerVisible(s, info.x + 100, info.y + 100)) << "pointer hidden in the windowed fallback";
    ExpectCleanExit(EndWithEscape(s, pid));
    EXPECT_TRUE(s.WaitForWindowGone(kTitle, 10s));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutManager, RendererScreenModes, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Openbox" : "NoManager");
                         });

// The X screen saver (and with it power management) stays off while the window exists.
TEST(RendererScreenSaver, IsHeldOffWhileTheWindowExists) {
    XvfbSession s({1024, 768, 16, false});
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    int eventBase = 0, errorBase = 0;
    ASSERT_TRUE(XScreenSaverQueryExtension(d, &eventBase, &errorBase));
    auto saverState = [&] {
        XScreenSaverInfo* info = XScreenSaverAllocInfo();
        XScreenSaverQueryInfo(d, DefaultRootWindow(d), info);
        const int state = info->state;
        XFree(info);
        return state;
    };
    const pid_t pid = s.Start({kRenderer});
    ASSERT_NE(s.WaitForWindow(kTitle, 30s), 0u);
    // A one-second timeout from when the window is up: a slow start must not let
    // the saver come on before the renderer could hold it off.
    XSetScreenSaver(d, 1, 0, DontPreferBlanking, AllowExposures);
    XSync(d, False);
    std::this_thread::sleep_for(2500ms);  // more than the timeout passes
    EXPECT_NE(saverState(), ScreenSaverOn);
    ExpectCleanExit(EndWithEscape(s, pid));
    // Without the renderer the one-second timeout takes effect again.
    EXPECT_TRUE(WaitUntil([&] { return saverState() == ScreenSaverOn; }, 20s, 50ms));
}

// Where the session bus has a screen-saver service (GNOME on Xorg, Xfce, MATE),
// the session's idle actions are held too, for exactly as long as the window shows.
TEST(RendererScreenSaver, SessionInhibitIsHeldWhileTheWindowShows) {
    XvfbSession s({1024, 768, 16, false});
    VELTRANE_REQUIRE_XVFB(s);
    char folder[] = VELTRANE_TEST_TMP "/bus-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string bus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + std::string(folder) + "/bus";
    const pid_t daemon = StartProcess({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                       "--address=unix:path=" + std::string(folder) + "/bus"},
                                      {}, std::string(folder) + "/bus.log");
    const std::string log = std::string(folder) + "/inhibits.log";
    auto lastCount = [&] {
        std::ifstream in(log);
        std::string line, last;
        while (std::getline(in, line)) last = line;
        return last;
    };
    ASSERT_TRUE(WaitUntil([&] { return access((std::string(folder) + "/bus").c_str(), F_OK) == 0; }, 30s));
    const pid_t service = StartProcess({VELTRANE_FAKE_SESSION_MANAGER}, {bus}, log);
    ASSERT_TRUE(WaitUntil([&] { return lastCount() == "inhibits 0"; }, 30s)) << "no screen-saver service";
    const pid_t pid = s.Start({kRenderer}, {bus});
    ASSERT_NE(s.WaitForWindow(kTitle, 30s), 0u);
    EXPECT_TRUE(WaitUntil([&] { return lastCount() == "inhibits 1"; }, 10s)) << lastCount();
    ExpectCleanExit(EndWithEscape(s, pid));
    EXPECT_TRUE(WaitUntil([&] { return lastCount() == "inhibits 0"; }, 10s)) << "the inhibit outlives the window";
    KillProcess(service);
    KillProcess(daemon);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// SIGTERM, SIGINT, SIGHUP and SIGQUIT close the window and give the mode back.
TEST(RendererSignals, StopSignalsRestoreTheModeAndEndWithZero) {
    XvfbSession s({1280, 1024, 24, true});
    VELTRANE_REQUIRE_XVFB(s);
    ASSERT_TRUE(ManagerReady(s, true)) << "openbox did not start";
    ASSERT_TRUE(AddRealMode1024x768(s.display()));
    const ScreenState original = ReadScreenState(s.display());
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signalNumber));
        const pid_t pid = s.Start({kRenderer});
        ASSERT_NE(s.WaitForWindow(kTitle, 30s), 0u);
        WaitUntil([&] { return ReadScreenState(s.display()).width == 1024; }, 10s);
        ASSERT_EQ(ReadScreenState(s.display()).width, 1024);
        kill(pid, signalNumber);
        ExpectCleanExit(Finish(pid));
        EXPECT_TRUE(s.WaitForWindowGone(kTitle, 10s));
        EXPECT_EQ(ReadScreenState(s.display()), original);
        // Openbox gives the root an arrow; it shows again once the renderer is gone.
        EXPECT_TRUE(PointerVisible(s, 600, 500));
    }
}

// Starts the renderer under openbox and minimises its window.
class RendererMinimised : public ::testing::Test {
protected:
    void SetUp() override {
        VELTRANE_REQUIRE_XVFB(s);
        ASSERT_TRUE(ManagerReady(s, true)) << "openbox did not start";
        pid = s.Start({kRenderer});
        w = s.WaitForWindow(kTitle, 30s);
        ASSERT_NE(w, 0u);
        ASSERT_TRUE(WaitUntil([&] { return Parent(s.display(), w) != DefaultRootWindow(s.display()); }, 10s))
            << "openbox did not frame the window";
        s.Run({"xdotool", "windowminimize", std::to_string(w)});
        WaitUntil([&] { return !s.Info(w).viewable; }, 10s);
    }
    XvfbSession s{{1024, 768, 24, true}};
    pid_t pid = -1;
    ::Window w = 0;
};

// A signal while the window is minimised wakes the wait and ends the run too.
TEST_F(RendererMinimised, SignalEndsIt) {
    EXPECT_FALSE(s.Info(w).viewable);
    kill(pid, SIGTERM);
    ExpectCleanExit(Finish(pid));
}

// Minimised, Escape is not looked at; restored, the frames and the check resume.
TEST_F(RendererMinimised, IgnoresEscapeUntilRestored) {
    ASSERT_FALSE(s.Info(w).viewable);
    HoldEscape(s);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(WaitProcess(pid, 0ms).has_value());
    s.Run({"xdotool", "windowactivate", std::to_string(w)});
    // Frames come back once the window is shown again (slowly on a loaded machine).
    double lit = 0;
    WaitUntil([&] { return (lit = s.Info(w).viewable ? Measure(s.Capture()).litShare : 0) > 0.02; }, 30s, 100ms);
    EXPECT_GT(lit, 0.02) << "no frames after the restore";
    ExpectCleanExit(EndWithEscape(s, pid));
}

TEST(RendererFaults, NoDisplayEndsWithMinusOne) {
    const std::string home = MakeTempDir("no-display-home");
    for (const char* display : {"DISPLAY=", "DISPLAY=:9999"}) {
        SCOPED_TRACE(display);
        const ExitStatus status = RunProcess({kRenderer}, {display, "XAUTHORITY=", "HOME=" + home}, 10s);
        EXPECT_TRUE(status.exited);
        EXPECT_EQ(status.code, 255);
    }
}

// No GLX: the opening fails after the mode was switched, so the mode comes back,
// no window is left and the program ends with 0.
TEST(RendererFaults, ServerWithoutGlxEndsWithZeroAndGivesTheModeBack) {
    XvfbSession x({1280, 1024, 24, false, {"-extension", "GLX"}});
    ASSERT_TRUE(x.ok()) << "could not start Xvfb without GLX";
    ASSERT_TRUE(AddRealMode1024x768(x.display()));
    const ScreenState original = ReadScreenState(x.display());
    const ExitStatus status = RunProcess({kRenderer}, x.env(), 20s);
    EXPECT_TRUE(status.exited);
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(ReadScreenState(x.display()), original);
    EXPECT_EQ(x.FindWindow(kTitle, false), 0u);
}

// The X server dies under the renderer: it ends on its own instead of spinning.
TEST(RendererFaults, EndsWhenTheServerGoesAway) {
    XvfbSession x({1280, 1024, 24, false});
    VELTRANE_REQUIRE_XVFB(x);
    const pid_t pid = x.Start({kRenderer});
    ASSERT_NE(x.WaitForWindow(kTitle, 30s), 0u);
    ASSERT_TRUE(WaitForFrame(x));
    x.KillServer();
    const auto status = WaitProcess(pid, 10s);
    if (!status) KillProcess(pid);
    ASSERT_TRUE(status.has_value()) << "still running after its server went away";
    EXPECT_TRUE(status->exited) << "ended by signal " << status->signal;
}

}  // namespace
}  // namespace veltrane::testing
