// The pointer and the window under it, asked of the X server: what the button's
// hover poll needs to tell whether the pointer is still over the button's own
// window, also where another window covers the button.
#pragma once

#include <cstdint>

struct xcb_connection_t;

namespace veltrane::platform {

struct PointerOnRoot {
  std::uint32_t root = 0;  // the root window of the pointer's screen
  int x = 0, y = 0;        // position on that root, in pixels
};

// Where the pointer is; false when the server cannot tell (or the connection is gone).
bool QueryPointer(xcb_connection_t* connection, std::uint32_t anyWindow, PointerOnRoot& pointer);

// The topmost window at a point of `root`: the deepest mapped window containing
// it, found by walking down the stacking order from the root. 0 when it cannot be
// determined (a window vanished during the walk, or the connection is gone).
std::uint32_t WindowAtPoint(xcb_connection_t* connection, std::uint32_t root, int x, int y);

}  // namespace veltrane::platform
