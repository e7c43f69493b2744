#include "saver/runtime/animated_rects.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include <QApplication>
#include <QPainter>
#include <QRegion>
#include <QWidget>

namespace veltrane::vb {

namespace {

constexpr int kOutline = 2;  // pixels
constexpr int kFrames = 9;

// A borderless window above all others, shaped to the outline so that what lies
// under the rectangle stays visible.
class OutlineWindow : public QWidget {
 public:
  OutlineWindow()
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_QuitOnClose, false);
  }
  void Place(const Rect& r) {
    int w = std::max(r.width(), 1), h = std::max(r.height(), 1);
    setGeometry(r.left, r.top, w, h);
    QRegion outer(0, 0, w, h);
    QRegion inner = (w > 2 * kOutline && h > 2 * kOutline)
                        ? QRegion(kOutline, kOutline, w - 2 * kOutline, h - 2 * kOutline)
                        : QRegion();
    setMask(outer.subtracted(inner));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(192, 192, 192));
  }
};

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
  if (animation != kIdAniCaption || !qApp) return false;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto frame = std::chrono::milliseconds(kZoomMilliseconds / kFrames);
  OutlineWindow outline;
  for (int i = 0; i <= kFrames; ++i) {
    outline.Place(InterpolateRect(from, to, i, kFrames));
    if (i == 0) outline.show();
    outline.repaint();
    FlushWindowSystem();
    // Frames are timed from the start, so a slow frame shortens the next wait
    // instead of lengthening the whole animation.
    std::this_thread::sleep_until(start + frame * (i + 1));
  }
  outline.hide();
  FlushWindowSystem();
  return true;
}

}  // namespace veltrane::vb
