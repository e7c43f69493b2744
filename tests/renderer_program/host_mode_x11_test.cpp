// Veltrane.dll in a saver host's window under a private Xvfb, started and ended
// the way XScreenSaver and XSecureLock do it: the field is drawn in the window at
// its size and follows it; nothing else of the display changes; signals, the
// window's destruction and a lost server end it with 0; bad ids end it with 1.
#include "support/xvfb_session.h"
#include "support/randr_state.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/scrnsaver.h>

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
const XvfbOptions kScreen{1280, 1024, 24, false, {}};

std::string Hex(::Window w) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", w);
    return text;
}


std::vector<::Window> Children(::Display* d, ::Window w) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    std::vector<::Window> out;
    if (XQueryTree(d, w, &root, &parent, &children, &n) && children != nullptr) {
        out.assign(children, children + n);
        XFree(children);
    }
    return out;
}

WindowInfo Geometry(XvfbSession& s, ::Window w) {
    XSync(s.display(), False);
    return s.Info(w);
}

// Light in a window's area of the screen: the share of lit pixels and the
// brightness-weighted centre, relative to the area's size.
struct Light {
    double share = 0, cx = 0, cy = 0;
    Picture picture;
};

Light Measure(XvfbSession& s, int x, int y, int w, int h) {
    Light l;
    l.picture = s.Capture(x, y, w, h);
    const Picture& p = l.picture;
    double sum = 0, sx = 0, sy = 0;
    long lit = 0;
    for (int py = 0; py < p.height; ++py) {
        for (int px = 0; px < p.width; ++px) {
            const int v = p.at(px, py).sum();
            if (v > 30) ++lit;
            sum += v;
            sx += v * (px + 0.5);
            sy += v * (py + 0.5);
        }
    }
    if (p.width > 0 && p.height > 0) l.share = static_cast<double>(lit) / (static_cast<double>(p.width) * p.height);
    if (sum > 0) {
        l.cx = sx / sum / p.width;
        l.cy = sy / sum / p.height;
    }
    return l;
}

// Waits (bounded generously) until the window's area shows light that `good` accepts.
Light WaitForLight(XvfbSession& s, const WindowInfo& area, const std::function<bool(const Light&)>& good,
                   std::chrono::seconds timeout = 30s) {
    const auto deadline = Clock::now() + timeout;
    Light l;
    do {
        l = Measure(s, area.x, area.y, area.width, area.height);
        if (good(l)) return l;
        std::this_thread::sleep_for(50ms);
    } while (Clock::now() < deadline);
    return l;
}

bool Lit(const Light& l) { return l.share > 0.01; }
// The field streams out of the centre of the drawing area.
bool Centred(const Light& l) { return Lit(l) && std::abs(l.cx - 0.5) < 0.12 && std::abs(l.cy - 0.5) < 0.12; }

// Xvfb paints its software pointer into the framebuffer only: bright grey
// pixels near the hot spot that the read-back through the server lacks.
bool PointerVisible(XvfbSession& s, int x, int y) {
    s.MovePointer(x, y);
    int votes = 0;
    for (int i = 0; i < 3; ++i) {
        s.Sync();
        const Picture fb = s.Framebuffer();
        const Picture screen = s.Capture();
        if (fb.empty() || screen.empty()) return false;
        int count = 0;
        for (int py = y; py < std::min(y + 20, fb.height); ++py) {
            for (int px = x; px < std::min(x + 12, fb.width); ++px) {
                const Rgb& f = fb.at(px, py);
                const int low = std::min({f.r, f.g, f.b}), high = std::max({f.r, f.g, f.b});
                if (low > 200 && high - low < 12 && !(screen.at(px, py) == f)) ++count;
            }
        }
        votes += count >= 8 ? 1 : 0;
    }
    return votes >= 2;
}

bool Same(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

int SaverState(::Display* d) {
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    XScreenSaverQueryInfo(d, DefaultRootWindow(d), info);
    const int state = info->state;
    XFree(info);
    return state;
}

// Ends the renderer with `signal` (to its process group when `group`) and
// expects a clean exit; prints how long it took.
void ExpectSignalEndsIt(pid_t pid, int signal, bool group) {
    const auto sent = Clock::now();
    kill(group ? -pid : pid, signal);
    const auto status = WaitProcess(pid, 20s);
    if (!status) KillProcess(pid);
    ASSERT_TRUE(status.has_value()) << "still running after " << strsignal(signal);
    EXPECT_TRUE(status->exited) << "ended by signal " << status->signal;
    EXPECT_EQ(status->code, 0);
    std::printf("[ figures  ] %s%s ended it after %.0f ms\n", group ? "process group " : "", strsignal(signal),
                std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
}

struct Protocol {
    const char* name;
    std::function<std::vector<std::string>(::Window)> args;
    std::function<std::vector<std::string>(::Window)> env;
    bool signalGroup;
};

void PrintTo(const Protocol& p, std::ostream* os) { *os << p.name; }

class HostProtocols : public ::testing::TestWithParam<Protocol> {};

// The whole visit of a host: drawn inside the window at its size, nothing else of
// the display touched, the size followed, SIGTERM the way the host sends it.
TEST_P(HostProtocols, DrawsInTheWindowOnlyFollowsItsSizeAndEndsOnSigterm) {
    const Protocol& protocol = GetParam();
    XvfbSession s(kScreen);
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    ASSERT_TRUE(AddRealMode1024x768(d));
    const ::Window host = MakeHostWindow(s.display(), 200, 150, 480, 360);
    const std::vector<::Window> topLevels = Children(d, DefaultRootWindow(d));
    const Picture besideBefore = s.Capture(700, 150, 200, 360);

    const pid_t pid = s.Start(protocol.args(host), protocol.env(host));
    const Light first = WaitForLight(s, Geometry(s, host), Centred);
    ASSERT_TRUE(Centred(first)) << "no field centred in the window: lit " << first.share << " centre " << first.cx
                                << "," << first.cy;
    EXPECT_TRUE(Children(d, host).empty()) << "the default visual takes GL: no child window needed";
    EXPECT_TRUE(Same(s.Capture(700, 150, 200, 360), besideBefore)) << "drawn outside the window";
    EXPECT_EQ(s.ScreenSize(), "1280x1024");
    EXPECT_EQ(Children(d, DefaultRootWindow(d)), topLevels) << "a top-level window appeared";
    EXPECT_TRUE(PointerVisible(s, 400, 300)) << "the pointer was hidden";

    // The host grows its window: the field is centred in the new size, with light in the new part.
    XResizeWindow(d, host, 800, 600);
    XSync(d, False);
    const Light grown = WaitForLight(s, Geometry(s, host), [](const Light& l) {
        if (!Centred(l)) return false;
        long newPart = 0;
        for (int y = 0; y < l.picture.height; ++y)
            for (int x = 0; x < l.picture.width; ++x)
                if ((x >= 480 || y >= 360) && l.picture.at(x, y).sum() > 30) ++newPart;
        return newPart > 200;
    });
    EXPECT_TRUE(Centred(grown)) << "after the resize: centre " << grown.cx << "," << grown.cy;

    // The server's own screen saver still comes on while the renderer draws.
    XSetScreenSaver(d, 1, 0, DontPreferBlanking, AllowExposures);
    XResetScreenSaver(d);
    XSync(d, False);
    const auto deadline = Clock::now() + 20s;
    while (SaverState(d) != ScreenSaverOn && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(SaverState(d), ScreenSaverOn) << "the X screen saver was held off";
    XSetScreenSaver(d, 0, 0, DontPreferBlanking, AllowExposures);
    XForceScreenSaver(d, ScreenSaverReset);

    ExpectSignalEndsIt(pid, SIGTERM, protocol.signalGroup);
    EXPECT_EQ(s.ScreenSize(), "1280x1024");
}

std::vector<std::string> NoEnv(::Window) { return {"XSCREENSAVER_WINDOW="}; }

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostProtocols,
    ::testing::Values(
        // The daemon: -root with the window in hex, SIGTERM to the pid.
        Protocol{"XScreenSaver", [](::Window) { return std::vector<std::string>{kRenderer, "-root"}; },
                 [](::Window w) { return std::vector<std::string>{"XSCREENSAVER_WINDOW=" + Hex(w)}; }, false},
        // Its settings preview: --window-id in hex.
        Protocol{"XScreenSaverPreview",
                 [](::Window w) { return std::vector<std::string>{kRenderer, "--window-id", Hex(w)}; }, NoEnv, false},
        // The saver in its own process group, -root with the window in decimal, SIGTERM to the group.
        Protocol{"XSecureLock", [](::Window) { return std::vector<std::string>{kRenderer, "-root"}; },
                 [](::Window w) { return std::vector<std::string>{"XSCREENSAVER_WINDOW=" + std::to_string(w)}; },
                 true}),
    [](const ::testing::TestParamInfo<Protocol>& info) { return std::string(info.param.name); });

// One copy per monitor: two side by side both draw; destroying one's window ends
// that one with 0 and leaves the other drawing; losing the server ends that one.
TEST(HostWindows, TwoCopiesDrawSideBySideAndEachEndsWithItsWindowOrItsServer) {
    XvfbSession s(kScreen);
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    const ::Window left = MakeHostWindow(s.display(), 0, 0, 400, 300);
    const ::Window right = MakeHostWindow(s.display(), 640, 0, 400, 300);
    const pid_t leftPid = s.Start({kRenderer, "-window-id", std::to_string(left)});
    const pid_t rightPid = s.Start({kRenderer, "-window-id", Hex(right)});
    EXPECT_TRUE(Centred(WaitForLight(s, Geometry(s, left), Centred)));
    EXPECT_TRUE(Centred(WaitForLight(s, Geometry(s, right), Centred)));

    XDestroyWindow(d, left);
    XSync(d, False);
    const auto status = WaitProcess(leftPid, 20s);
    if (!status) KillProcess(leftPid);
    ASSERT_TRUE(status.has_value()) << "still running after its window was destroyed";
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);

    // The other one goes on drawing: its picture changes.
    const WindowInfo area = Geometry(s, right);
    const Picture before = s.Capture(area.x, area.y, area.width, area.height);
    EXPECT_FALSE(Same(WaitForLight(s, area, [&](const Light& l) { return !Same(l.picture, before); }).picture, before));
    EXPECT_FALSE(WaitProcess(rightPid, 0ms).has_value());

    // The server goes away: it ends on its own, with 0.
    s.KillServer();
    const auto lost = WaitProcess(rightPid, 20s);
    if (!lost) KillProcess(rightPid);
    ASSERT_TRUE(lost.has_value()) << "still running after its server went away";
    EXPECT_TRUE(lost->exited) << "ended by signal " << lost->signal;
    EXPECT_EQ(lost->code, 0);
}

// Every stop signal ends it with 0, in a window given in decimal and in the
// root window (-root without XSCREENSAVER_WINDOW).
TEST(HostWindows, StopSignalsEndItWithZero) {
    XvfbSession s(kScreen);
    VELTRANE_REQUIRE_XVFB(s);
    const ::Window host = MakeHostWindow(s.display(), 100, 100, 320, 240);
    struct Case {
        int signal;
        bool group, root;
    };
    for (const Case c : {Case{SIGINT, false, false}, Case{SIGQUIT, true, false}, Case{SIGHUP, false, true}}) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.root ? " in the root window" : ""));
        XClearWindow(s.display(), host);
        XSync(s.display(), False);
        const pid_t pid = c.root ? s.Start({kRenderer, "-root"}, {"XSCREENSAVER_WINDOW="})
                                 : s.Start({kRenderer, "-window-id", std::to_string(host)});
        const WindowInfo area = c.root ? WindowInfo{0, 0, 0, 1280, 1024, true} : Geometry(s, host);
        ASSERT_TRUE(Centred(WaitForLight(s, area, Centred)));
        ExpectSignalEndsIt(pid, c.signal, c.group);
    }
    EXPECT_EQ(Children(s.display(), DefaultRootWindow(s.display())), std::vector<::Window>{host});
}

// Host windows whose visual cannot show the picture as GL draws it (alpha that a
// compositor would blend, a colormap the host owns): a child window of a true-colour
// visual covers the window, draws, and follows its size.
TEST(HostWindows, AVisualWithoutPlainRgbGetsAChildWindowThatFollowsTheSize) {
    XvfbSession s(kScreen);
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    const std::pair<int, int> kinds[] = {{32, TrueColor}, {24, DirectColor}};
    for (const auto& [depth, visualClass] : kinds) {
        SCOPED_TRACE("depth " + std::to_string(depth) + (visualClass == TrueColor ? " TrueColor" : " DirectColor"));
        XVisualInfo visual{};
        ASSERT_TRUE(XMatchVisualInfo(d, DefaultScreen(d), depth, visualClass, &visual)) << "Xvfb offers no such visual";
        const ::Window host = MakeHostWindow(s.display(), 100, 100, 400, 300, &visual);
        const pid_t pid = s.Start({kRenderer, "-window-id", Hex(host)});
        EXPECT_TRUE(Centred(WaitForLight(s, Geometry(s, host), Centred)));
        const std::vector<::Window> children = Children(d, host);
        ASSERT_EQ(children.size(), 1u);
        const WindowInfo child = Geometry(s, children[0]);
        EXPECT_EQ(child.width, 400);
        EXPECT_EQ(child.height, 300);
        EXPECT_TRUE(child.viewable);

        XResizeWindow(d, host, 640, 480);
        XSync(d, False);
        for (int i = 0; i < 2000 && Geometry(s, children[0]).width != 640; ++i) std::this_thread::sleep_for(10ms);
        EXPECT_EQ(Geometry(s, children[0]).width, 640);
        EXPECT_EQ(Geometry(s, children[0]).height, 480);
        EXPECT_TRUE(Centred(WaitForLight(s, Geometry(s, host), Centred)));
        ExpectSignalEndsIt(pid, SIGTERM, false);
        XDestroyWindow(d, host);
    }
}

// Host windows past what the GL driver can draw (X allows 32767 pixels a side),
// one side at a time: the field is drawn in the centre, at most the driver's
// limits, and the rest of the window is left to its background. Each window's
// centre sits at the screen's centre, so the screen shows the drawn middle.
// (Both sides past at once is the same clamp, at a gigabyte a frame in software.)
TEST(HostWindows, AWindowPastTheGlLimitsIsDrawnInItsCentreWithoutACrash) {
    XvfbSession s(kScreen);
    VELTRANE_REQUIRE_XVFB(s);
    const std::pair<int, int> sizes[] = {{32767, 1024}, {1024, 32767}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const ::Window host = MakeHostWindow(s.display(), 640 - width / 2, 512 - height / 2, width, height);
        const pid_t pid = s.Start({kRenderer, "-window-id", Hex(host)});
        const Light light = WaitForLight(s, WindowInfo{0, 0, 0, 1280, 1024, true}, [&](const Light& l) {
            siginfo_t ended{};  // a crash ends the wait early, leaving the status to collect
            return Centred(l) || (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                                  ended.si_pid == pid);
        }, 120s);
        EXPECT_TRUE(Centred(light)) << "lit " << light.share << " centre " << light.cx << "," << light.cy;
        ExpectSignalEndsIt(pid, SIGTERM, false);
        XDestroyWindow(s.display(), host);
    }
}

// Unusable arguments: one line on stderr naming the program, exit code 1.
TEST(HostWindows, UnusableArgumentsEndWithAOneLineMessageAndOne) {
    XvfbSession s(kScreen);
    VELTRANE_REQUIRE_XVFB(s);
    // An id that names no window: one that existed and is gone.
    const ::Window gone = XCreateSimpleWindow(s.display(), DefaultRootWindow(s.display()), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(s.display(), gone);
    XSync(s.display(), False);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-window-id", "0xZZ"}, ""}, {{"-window-id", "12abc"}, ""}, {{"-window-id", Hex(gone)}, ""},
        {{"-window-id"}, ""}, {{"-window-id", "99999999999999999999"}, ""}, {{"-frobnicate"}, ""},
        {{"-root"}, "XSCREENSAVER_WINDOW=" + std::to_string(gone)}, {{"-root"}, "DISPLAY=:9999"},
        {{"-window-id", "5\n"}, ""}, {{"-display", ":9999\nVeltrane.dll: forged", "-root"}, ""},
    };
    for (const auto& [args, env] : cases) {
        std::vector<std::string> argv{kRenderer};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> environment = s.env();
        if (!env.empty()) environment.push_back(env);
        std::string output;
        const ExitStatus status = RunProcess(argv, environment, 20s, &output);
        SCOPED_TRACE((args.empty() ? "" : args[0] + " " + (args.size() > 1 ? args[1] : "")) + " " + env);
        EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
        EXPECT_EQ(status.code, 1);
        EXPECT_EQ(output.rfind("Veltrane.dll: ", 0), 0u) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

}  // namespace
}  // namespace veltrane::testing
