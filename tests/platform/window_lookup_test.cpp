#include "support/xvfb_session.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "platform/x11/window_lookup.h"

namespace veltrane::platform {
namespace {

using veltrane::testing::XvfbOptions;
using veltrane::testing::XvfbSession;
using namespace std::chrono_literals;

// A top-level window with WM_NAME as Latin-1 STRING and/or _NET_WM_NAME as UTF-8.
::Window MakeWindow(::Display* d, const char* wmName, const char* netWmName, bool map = true) {
    ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 100, 80, 0, 0, 0);
    if (wmName != nullptr) XStoreName(d, w, wmName);
    if (netWmName != nullptr) {
        XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False),
                        8, PropModeReplace, reinterpret_cast<const unsigned char*>(netWmName),
                        static_cast<int>(std::string(netWmName).size()));
    }
    if (map) XMapWindow(d, w);
    XSync(d, False);
    return w;
}

::Window ParentOf(::Display* d, ::Window w) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &n) == 0) return 0;
    if (children != nullptr) XFree(children);
    return parent;
}

// Waits until openbox manages the screen; its first start in a fresh home can be
// slow on a loaded machine (font caches).
bool WaitForManager(::Display* d) {
    for (int i = 0; i < 1500; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(d, DefaultRootWindow(d), &a) && (a.all_event_masks & SubstructureRedirectMask)) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Waits until the window manager manages `w`: inside a frame and marked with
// WM_STATE, which the manager sets a moment after reparenting.
bool WaitFramed(::Display* d, ::Window w) {
    const ::Atom wmState = XInternAtom(d, "WM_STATE", False);
    return veltrane::testing::WaitUntil(
        [&] {
            ::Atom type = None;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(d, w, wmState, 0, 0, False, AnyPropertyType, &type, &format, &items, &after, &data);
            if (data != nullptr) XFree(data);
            return ParentOf(d, w) != DefaultRootWindow(d) && type != None;
        },
        10s);
}

TEST(FindTopLevelWindow, FindsBareWindowsByEitherNameAndOnlyOnExactMatch) {
    XvfbSession s;
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    const ::Window both = MakeWindow(d, "Lumora_VC", "Lumora_VC");
    const ::Window wmOnly = MakeWindow(d, "Lumora_Main", nullptr);
    const ::Window netOnly = MakeWindow(d, "legacy name", "<Veltrane>");
    const ::Window unmapped = MakeWindow(d, "Hidden one", nullptr, false);
    MakeWindow(d, "Lumora_VC2", "Lumora_VC2");
    MakeWindow(d, "lumora_vc", nullptr);

    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC"), both);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_Main"), wmOnly);
    EXPECT_EQ(FindTopLevelWindow(d, "<Veltrane>"), netOnly);
    EXPECT_EQ(FindTopLevelWindow(d, "legacy name"), netOnly);
    // Like a title look-up on any desktop, hidden windows count too.
    EXPECT_EQ(FindTopLevelWindow(d, "Hidden one"), unmapped);
    // No prefixes, suffixes, case folding or empty-title matches.
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_"), 0u);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC "), 0u);
    EXPECT_EQ(FindTopLevelWindow(d, "LUMORA_VC"), 0u);
    EXPECT_EQ(FindTopLevelWindow(d, ""), 0u);

    XDestroyWindow(d, both);
    XSync(d, False);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC"), 0u);
}

TEST(FindTopLevelWindow, MatchesUtf8NetWmNameByteForByte) {
    XvfbSession s;
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    const ::Window w = MakeWindow(d, nullptr, "ﾌｫﾙﾀﾞ");
    EXPECT_EQ(FindTopLevelWindow(d, "ﾌｫﾙﾀﾞ"), w);
    EXPECT_EQ(FindTopLevelWindow(d, "ﾌｫﾙ"), 0u);
}

TEST(FindTopLevelWindow, FindsClientsInsideWindowManagerFrames) {
    XvfbSession s({1024, 768, 24, true});
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    ASSERT_TRUE(WaitForManager(d)) << "openbox did not start";
    const ::Window decoy = MakeWindow(d, "Lumora_VC (copy)", nullptr);
    const ::Window client = MakeWindow(d, "Lumora_VC", "Lumora_VC");
    ASSERT_TRUE(WaitFramed(d, client)) << "openbox did not frame the window";
    ASSERT_TRUE(WaitFramed(d, decoy));

    // The answer is the client itself, not its frame.
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC"), client);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC (copy)"), decoy);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora"), 0u);

    XDestroyWindow(d, client);
    XSync(d, False);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC"), 0u);
}

// Another client creates and destroys windows as fast as it can while we search:
// the search must neither die on BadWindow nor lose a window that stays.
TEST(FindTopLevelWindow, SurvivesWindowsVanishingDuringTheSearch) {
    XvfbSession s({1024, 768, 24, true});
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    ASSERT_TRUE(WaitForManager(d)) << "openbox did not start";
    const ::Window stable = MakeWindow(d, "Lumora_VC", nullptr);
    ASSERT_TRUE(WaitFramed(d, stable));

    const std::string name = s.name();
    const pid_t churn = fork();
    ASSERT_GE(churn, 0);
    if (churn == 0) {
        ::Display* other = XOpenDisplay(name.c_str());
        if (other == nullptr) _exit(1);
        const auto end = std::chrono::steady_clock::now() + 1500ms;
        while (std::chrono::steady_clock::now() < end) {
            ::Window ws[20];
            for (auto& w : ws) w = MakeWindow(other, "Lumora_VC", nullptr);
            for (auto& w : ws) XDestroyWindow(other, w);
            XFlush(other);
        }
        XCloseDisplay(other);
        _exit(0);
    }
    int misses = 0, lookups = 0;
    const auto end = std::chrono::steady_clock::now() + 1200ms;
    while (std::chrono::steady_clock::now() < end) {
        const ::Window found = FindTopLevelWindow(d, "Lumora_VC");
        ++lookups;
        if (found == 0) ++misses;
    }
    int status = 0;
    waitpid(churn, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GT(lookups, 0);
    EXPECT_EQ(misses, 0);
    XDestroyWindow(d, stable);
    XSync(d, False);
    EXPECT_EQ(FindTopLevelWindow(d, "Lumora_VC"), 0u);
}

}  // namespace
}  // namespace veltrane::platform
