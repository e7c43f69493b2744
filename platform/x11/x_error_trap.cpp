#include "platform/x11/x_error_trap.h"

namespace veltrane::platform {
namespace {

// One thread per process, so a plain flag is enough.
bool g_failed = false;

int RecordError(::Display*, XErrorEvent*) {
    g_failed = true;
    return 0;
}

}  // namespace

XErrorTrap::XErrorTrap(::Display* display) : display_(display) {
    XSync(display_, False);  // answers to earlier requests belong to whoever is outside
    outerFailed_ = g_failed;
    g_failed = false;
    previous_ = XSetErrorHandler(RecordError);
}

XErrorTrap::~XErrorTrap() {
    // Whatever was sent since Failed() answered may still fail inside the trap.
    if (NextRequest(display_) != answeredThrough_) XSync(display_, False);
    const bool mine = g_failed;
    XSetErrorHandler(previous_);
    g_failed = outerFailed_ || mine;
}

bool XErrorTrap::Failed() {
    XSync(display_, False);
    answeredThrough_ = NextRequest(display_);
    return g_failed;
}

}  // namespace veltrane::platform
