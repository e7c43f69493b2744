#include "platform/x11/cursor.h"

#include <X11/extensions/Xfixes.h>

namespace veltrane::platform {
namespace {

// The process's display count. The pointer shows while it is zero or more.
int g_displayCount = 0;
// The connection on which we asked the server to hide the pointer, if we did.
::Display* g_hiddenOn = nullptr;

bool HaveXFixes(::Display* display) {
    int eventBase = 0, errorBase = 0;
    return XFixesQueryExtension(display, &eventBase, &errorBase) != 0;
}

}  // namespace

int ShowCursor(::Display* display, bool show) {
    g_displayCount += show ? 1 : -1;
    if (display == nullptr || !HaveXFixes(display)) return g_displayCount;
    // The server counts hides per connection and refuses a show without a hide,
    // so it sees at most one hide of ours, matched by exactly one show.
    const ::Window root = DefaultRootWindow(display);
    if (g_displayCount < 0 && g_hiddenOn == nullptr) {
        XFixesHideCursor(display, root);
        g_hiddenOn = display;
        XFlush(display);
    } else if (g_displayCount >= 0 && g_hiddenOn == display) {
        XFixesShowCursor(display, root);
        g_hiddenOn = nullptr;
        XFlush(display);
    }
    return g_displayCount;
}

}  // namespace veltrane::platform
