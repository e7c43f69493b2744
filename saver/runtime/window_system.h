// Small window-system services the forms need beside Qt: pushing Qt's queued
// requests to the X server (so that a window shown is on screen before another
// program is started), and window rectangles and frames of any X window.
#pragma once

namespace veltrane::vb {

// Sends Qt's pending X requests and waits until the server has handled them.
void FlushWindowSystem();

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// The rectangle of X window `window` in root (screen) pixels, inside its X border
// (a window manager's frame is not included); false, with `rect` unchanged, when
// there is no such window.
bool GetWindowRect(unsigned long window, Rect& rect);

// The frame a window manager has put around X window `window`, as it publishes it
// in _NET_FRAME_EXTENTS (also for a window not shown yet, once asked): the
// thickness of each side in `extents`. False, with `extents` unchanged, when the
// window has no such property (no manager, or not asked yet).
bool GetFrameExtents(unsigned long window, Rect& extents);

// The rectangle of X window `window` on the screen with the frame a window manager
// draws around it: the rectangle a caption zoom runs to or from. Without a
// manager, the window's own rectangle. False, with `rect` unchanged, when there is
// no such window.
bool GetOuterWindowRect(unsigned long window, Rect& rect);

}  // namespace veltrane::vb
