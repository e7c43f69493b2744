#include "support/xvfb_session.h"

#include "platform/x11/x_error_trap.h"

namespace veltrane::platform {
namespace {

int g_escaped = 0;
int CountEscaped(::Display*, XErrorEvent*) {
    ++g_escaped;
    return 0;
}

// A trap that has answered once may end without another round trip; a request
// sent after that answer must still be waited for, so its failure stays inside
// the trap instead of reaching the process's handler later.
TEST(XErrorTrap, AFailureSentAfterTheLastAnswerStaysInTheTrap) {
    testing::XvfbSession s;
    VELTRANE_REQUIRE_XVFB(s);
    ::Display* d = s.display();
    const ::Window gone = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(d, gone);
    XSync(d, False);

    const XErrorHandler previous = XSetErrorHandler(CountEscaped);
    g_escaped = 0;
    {
        XErrorTrap trap(d);
        EXPECT_FALSE(trap.Failed());
        XMapWindow(d, gone);  // BadWindow
    }
    XSync(d, False);
    XSetErrorHandler(previous);
    EXPECT_EQ(g_escaped, 0) << "the trap ended before the server answered its last request";
}

}  // namespace
}  // namespace veltrane::platform
