#include "saver/runtime/animated_rects.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

// After Qt: Xlib's macros (Bool, Status, None) break Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include "saver/runtime/x_display.h"

namespace veltrane::vb {

namespace {

constexpr int kOutline = 2;  // pixels
constexpr int kFrames = 9;

// The outline: a window of its own above all others, its background in the
// desktop's highlight colour, shaped to a frame kOutline pixels wide so that what
// lies inside the rectangle stays visible. The X server paints a window's
// background itself as soon as it is mapped, moved or resized, so every frame
// shows without an event loop running while the animation blocks.
class OutlineWindow {
 public:
  OutlineWindow(::Display* d, unsigned long pixel) : d_(d) {
    XSetWindowAttributes a{};
    a.override_redirect = True;  // no manager frames, moves or focuses it
    a.background_pixel = pixel;
    a.save_under = True;
    window_ = XCreateWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWOverrideRedirect | CWBackPixel | CWSaveUnder, &a);
    // Clicks go through it to whatever lies beneath.
    XShapeCombineRectangles(d_, window_, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  }
  ~OutlineWindow() {
    XDestroyWindow(d_, window_);
    XSync(d_, False);
  }
  OutlineWindow(const OutlineWindow&) = delete;
  OutlineWindow& operator=(const OutlineWindow&) = delete;

  void Place(const Rect& r) {
    int w = std::max(r.width(), 1), h = std::max(r.height(), 1);
    // The shape first, then the size: the window never shows filled.
    std::vector<XRectangle> frame;
    if (w > 2 * kOutline && h > 2 * kOutline) {
      auto us = [](int v) { return static_cast<unsigned short>(v); };
      auto s = [](int v) { return static_cast<short>(v); };
      frame = {{0, 0, us(w), us(kOutline)},
               {0, s(h - kOutline), us(w), us(kOutline)},
               {0, s(kOutline), us(kOutline), us(h - 2 * kOutline)},
               {s(w - kOutline), s(kOutline), us(kOutline), us(h - 2 * kOutline)}};
    } else {
      frame = {{0, 0, static_cast<unsigned short>(w), static_cast<unsigned short>(h)}};
    }
    XShapeCombineRectangles(d_, window_, ShapeBounding, 0, 0, frame.data(), static_cast<int>(frame.size()),
                            ShapeSet, Unsorted);
    XMoveResizeWindow(d_, window_, r.left, r.top, static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (!mapped_) {
      XMapRaised(d_, window_);
      mapped_ = true;
    }
    // On the screen before the frame's wait begins.
    XSync(d_, False);
  }

 private:
  ::Display* d_;
  ::Window window_ = 0;
  bool mapped_ = false;
};

// The desktop's highlight colour as a pixel of the default colour map; white when
// it cannot be had.
unsigned long HighlightPixel(::Display* d) {
  QColor c = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
  XColor x{};
  x.red = static_cast<unsigned short>(c.red() * 257);
  x.green = static_cast<unsigned short>(c.green() * 257);
  x.blue = static_cast<unsigned short>(c.blue() * 257);
  x.flags = DoRed | DoGreen | DoBlue;
  if (XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &x)) return x.pixel;
  return WhitePixel(d, DefaultScreen(d));
}

int Lerp(int a, int b, int step, int steps) {
  return static_cast<int>(std::lround(a + (static_cast<double>(b) - a) * step / steps));
}

}  // namespace

Rect InterpolateRect(const Rect& from, const Rect& to, int step, int steps) {
  if (steps <= 0) return to;
  return {Lerp(from.left, to.left, step, steps), Lerp(from.top, to.top, step, steps),
          Lerp(from.right, to.right, step, steps), Lerp(from.bottom, to.bottom, step, steps)};
}

bool DrawAnimatedRects(unsigned long window, int animation, const Rect& from, const Rect& to) {
  (void)window;
  if (animation != kIdAniCaption || !qGuiApp) return false;
  ::Display* d = XDisplay();
  int shapeEvent = 0, shapeError = 0;
  // Without the shape extension the outline would hide the whole rectangle.
  if (!d || !XShapeQueryExtension(d, &shapeEvent, &shapeError)) return false;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto frame = std::chrono::milliseconds(kZoomMilliseconds / kFrames);
  OutlineWindow outline(d, HighlightPixel(d));
  for (int i = 0; i <= kFrames; ++i) {
    outline.Place(InterpolateRect(from, to, i, kFrames));
    // Frames are timed from the start, so a slow frame shortens the next wait
    // instead of lengthening the whole animation.
    std::this_thread::sleep_until(start + frame * (i + 1));
  }
  return true;
}

}  // namespace veltrane::vb
