#include "support/xvfb_session.h"

#include "platform/x11/cursor.h"

namespace veltrane::platform {
namespace {

using veltrane::testing::Picture;
using veltrane::testing::XvfbSession;

// Xvfb draws a software pointer into its framebuffer but not into what clients
// read back, so the pointer shows wherever the two differ.
bool PointerVisible(XvfbSession& s) {
    s.Sync();
    const Picture screen = s.Capture();
    const Picture fb = s.Framebuffer();
    if (screen.empty() || fb.empty() || screen.width != fb.width) return false;
    for (size_t i = 0; i < screen.pixels.size(); ++i) {
        if (!(screen.pixels[i] == fb.pixels[i])) return true;
    }
    return false;
}

// The count is process-wide, so this single test walks it through a whole story.
TEST(ShowCursor, KeepsADisplayCountAndHidesOnlyBelowZero) {
    XvfbSession s;
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    // Xvfb's root has an empty pointer; give the screen a visible one to watch.
    ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1024, 768, 0, 0, 0);
    XDefineCursor(d, w, XCreateFontCursor(d, 68 /* XC_left_ptr */));
    XMapWindow(d, w);
    s.MovePointer(500, 400);
    ASSERT_TRUE(PointerVisible(s)) << "no software pointer to watch";

    EXPECT_EQ(ShowCursor(d, false), -1);
    EXPECT_FALSE(PointerVisible(s));
    EXPECT_EQ(ShowCursor(d, false), -2);
    EXPECT_EQ(ShowCursor(d, true), -1);
    EXPECT_FALSE(PointerVisible(s)) << "one show after two hides must keep it hidden";
    EXPECT_EQ(ShowCursor(d, true), 0);
    EXPECT_TRUE(PointerVisible(s));

    // Shows above zero only count; the server must not see an unmatched show
    // (that would be a BadMatch error ending the process).
    EXPECT_EQ(ShowCursor(d, true), 1);
    EXPECT_EQ(ShowCursor(d, false), 0);
    EXPECT_TRUE(PointerVisible(s));
    EXPECT_EQ(ShowCursor(d, false), -1);
    EXPECT_FALSE(PointerVisible(s));

    // Without a display only the count moves; the next call with one brings the
    // server in line with the count.
    EXPECT_EQ(ShowCursor(nullptr, true), 0);
    EXPECT_EQ(ShowCursor(d, true), 1);
    EXPECT_TRUE(PointerVisible(s));
    EXPECT_EQ(ShowCursor(d, false), 0);
    EXPECT_EQ(ShowCursor(d, false), -1);
    EXPECT_FALSE(PointerVisible(s));
    EXPECT_EQ(ShowCursor(d, true), 0);
    EXPECT_TRUE(PointerVisible(s));
}

}  // namespace
}  // namespace veltrane::platform
