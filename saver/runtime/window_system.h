// Small window-system services the forms need beside Qt: pushing Qt's queued
// requests to the X server (so that a window shown is on screen before another
// program is started), and window rectangles of any X window.
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

}  // namespace veltrane::vb
