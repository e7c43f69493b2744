#include "platform/cursor.h"

#include <X11/extensions/Xfixes.h>

namespace veltrane::platform {
namespace {

// The process's display count. The pointer shows while it is zero or more.
int g_displayCount = 0;

bool HaveXFixes(::Display* display) {
    int eventBase = 0, errorBase = 0;
    return XFixesQueryExtension(display, &eventBase, &errorBase) != 0;
}

}  // namespace

int ShowCursor(::Display* display, bool show) {
    const int before = g_displayCount;
    g_displayCount += show ? 1 : -1;
    // The server counts hides per connection too and refuses a show without a
    // hide, so only the crossings between shown and hidden reach it.
    const bool hideNow = before >= 0 && g_displayCount < 0;
    const bool showNow = before < 0 && g_displayCount >= 0;
    if ((hideNow || showNow) && display != nullptr && HaveXFixes(display)) {
        const ::Window root = DefaultRootWindow(display);
        if (hideNow) {
            XFixesHideCursor(display, root);
        } else {
            XFixesShowCursor(display, root);
        }
        XFlush(display);
    }
    return g_displayCount;
}

}  // namespace veltrane::platform
