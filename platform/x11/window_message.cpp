#include "platform/x11/window_message.h"

namespace veltrane::platform {

bool SendWindowMessage(::Display* display, ::Window window, std::uint32_t message, long wParam, long lParam) {
    if (display == nullptr || window == 0) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, kWindowMessageAtom, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(message);
    event.xclient.data.l[1] = wParam;
    event.xclient.data.l[2] = lParam;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    return sent != 0;
}

}  // namespace veltrane::platform
