// A scoped X error trap: while it lives, protocol errors (BadWindow from a window
// that vanished, BadMatch from a mode the server refuses) are recorded instead of
// reaching the process's handler. Traps nest; an inner trap's errors count for
// the outer one too.
#pragma once

#include <X11/Xlib.h>

namespace veltrane::platform {

class XErrorTrap {
public:
    explicit XErrorTrap(::Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to answer everything sent so far and tells whether any
    // request since the trap was set failed. A trap that ends right after this
    // (with no Xlib request in between) ends without another round trip.
    bool Failed();

private:
    ::Display* display_;
    XErrorHandler previous_;
    bool outerFailed_;
    unsigned long answeredThrough_ = 0;  // NextRequest when Failed() last synced
};

}  // namespace veltrane::platform
