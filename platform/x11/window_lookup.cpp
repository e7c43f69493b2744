#include "platform/x11/window_lookup.h"

#include <vector>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "platform/x11/x_error_trap.h"

namespace veltrane::platform {
namespace {

// Frames of a window manager are shallow; this bounds the walk on odd trees.
constexpr int kMaxFrameDepth = 4;

std::vector<::Window> ChildrenOf(::Display* display, ::Window window) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    std::vector<::Window> result;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return result;
    if (children != nullptr) {
        result.assign(children, children + count);
        XFree(children);
    }
    return result;
}

bool HasProperty(::Display* display, ::Window window, ::Atom property) {
    ::Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType,
                                          &type, &format, &items, &after, &data);
    if (data != nullptr) XFree(data);
    return status == Success && type != None;
}

// _NET_WM_NAME is UTF-8 by definition; compare its bytes.
bool NetWmNameIs(::Display* display, ::Window window, const std::string& title) {
    const ::Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    ::Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, netWmName, 0, 4096, False, AnyPropertyType,
                                          &type, &format, &items, &after, &data);
    bool match = false;
    if (status == Success && data != nullptr && format == 8 && after == 0) {
        match = std::string(reinterpret_cast<const char*>(data), items) == title;
    }
    if (data != nullptr) XFree(data);
    return match;
}

// WM_NAME may be STRING (Latin-1), UTF8_STRING or COMPOUND_TEXT; convert it to UTF-8
// before comparing, and fall back to its raw bytes when no conversion is possible.
bool WmNameIs(::Display* display, ::Window window, const std::string& title) {
    XTextProperty text{};
    if (XGetTextProperty(display, window, &text, XA_WM_NAME) == 0 || text.value == nullptr) return false;
    bool match = false;
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) == Success && list != nullptr) {
        match = count >= 1 && title == list[0];
        XFreeStringList(list);
    } else if (text.format == 8) {
        match = std::string(reinterpret_cast<const char*>(text.value), text.nitems) == title;
    }
    XFree(text.value);
    return match;
}

bool TitleIs(::Display* display, ::Window window, const std::string& title) {
    return NetWmNameIs(display, window, title) || WmNameIs(display, window, title);
}

// The client window a manager placed inside `frame`: the first descendant that
// carries WM_STATE, which the manager sets on every client it manages.
::Window ClientInFrame(::Display* display, ::Window frame, ::Atom wmState, int depth) {
    if (depth > kMaxFrameDepth) return 0;
    for (::Window child : ChildrenOf(display, frame)) {
        if (HasProperty(display, child, wmState)) return child;
    }
    for (::Window child : ChildrenOf(display, frame)) {
        if (::Window client = ClientInFrame(display, child, wmState, depth + 1)) return client;
    }
    return 0;
}

}  // namespace

::Window FindTopLevelWindow(::Display* display, const std::string& title) {
    if (display == nullptr) return 0;
    XErrorTrap trap(display);  // a window may vanish between listing and reading it
    const ::Atom wmState = XInternAtom(display, "WM_STATE", False);
    const std::vector<::Window> tops = ChildrenOf(display, DefaultRootWindow(display));
    // XQueryTree lists bottom to top; search from the top of the stack, as a user sees it.
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        const ::Window top = *it;
        if (TitleIs(display, top, title)) return top;
        if (HasProperty(display, top, wmState)) continue;  // a client itself, not a frame
        const ::Window client = ClientInFrame(display, top, wmState, 1);
        if (client != 0 && TitleIs(display, client, title)) return client;
    }
    return 0;
}

}  // namespace veltrane::platform
