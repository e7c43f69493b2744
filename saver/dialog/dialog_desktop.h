// What the configuration dialog asks of the desktop beyond the form runtime:
// where the pointer is, handing a web address to the desktop's URL opener, and
// the size of the frame the window manager will put around a window that is not
// on screen yet (so the dialog can be centred by its outer size before it shows).
#pragma once

#include <string>
#include <vector>

namespace veltrane::platform {

struct CursorPoint {
  int x = 0, y = 0;
};

// The pointer's position on the screen in pixels; false when it cannot be read
// (no X connection, or the pointer is on another screen).
bool GetCursorPos(CursorPoint& point);

// Starts the desktop's URL opener (`xdg-open`, found on PATH) on `address`,
// detached and without a shell, in the environment `environment` ("NAME=value";
// empty: the process's own). Does not wait for it; false when it could not start.
bool OpenAddress(const std::string& address, const std::vector<std::string>& environment = {});

struct FrameExtents {
  int left = 0, right = 0, top = 0, bottom = 0;
};

// The frame the window manager puts around X window `window`. For a window that
// is not mapped yet, the manager is asked for it (_NET_REQUEST_FRAME_EXTENTS) and
// given up to `waitMs` to answer. All zero without a window manager.
FrameExtents WindowFrameExtents(unsigned long window, int waitMs = 300);

// Waits until X window `window` stands at (x, y) on the screen, for up to
// `waitMs`: a window manager carries out a top-level window's move on the
// program's behalf, so the move arrives a moment after it was asked for. False
// when the window is not there by then.
bool WaitForWindowAt(unsigned long window, int x, int y, int waitMs = 300);

}  // namespace veltrane::platform
