#include "platform/x_error_trap.h"

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
    XSync(display_, False);  // errors of earlier requests are not ours
    previous_ = XSetErrorHandler(RecordError);
    g_failed = false;
}

XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
    g_failed = false;
}

bool XErrorTrap::Failed() {
    XSync(display_, False);
    const bool failed = g_failed;
    g_failed = false;
    return failed;
}

}  // namespace veltrane::platform
