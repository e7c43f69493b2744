// Messages from other programs to a window of ours. X has no posted window
// messages between processes, so another program sends a ClientMessage event:
//
//   type     the atom "_VELTRANE_WINDOW_MESSAGE"
//   window   the receiving window (e.g. the one titled "Lumora_VC")
//   format   32
//   data.l[0] the message number (1025 switches the renderer's screen mode)
//   data.l[1] wParam
//   data.l[2] lParam
//   data.l[3], data.l[4] 0
//
// sent with XSendEvent(display, window, False, NoEventMask, &event).
#pragma once

#include <cstdint>

#include <X11/Xlib.h>

namespace veltrane::platform {

inline constexpr const char* kWindowMessageAtom = "_VELTRANE_WINDOW_MESSAGE";

// Sends the message to `window`; false if the request could not be made.
bool SendWindowMessage(::Display* display, ::Window window, std::uint32_t message, long wParam, long lParam);

}  // namespace veltrane::platform
