// The zoom's outline on a private Xvfb, drawn by this process: while it runs, a
// second connection reads the screen and finds the outline's frame in a colour of
// its own, with what lies inside the rectangle left as it was.
#include <atomic>
#include <cstdlib>
#include <thread>

#include <QApplication>

#include "saver/runtime/animated_rects.h"
// After Qt: it brings in Xlib.
#include "support/xvfb_session.h"

#include <X11/Xutil.h>

namespace veltrane {
namespace {

using namespace std::chrono_literals;

constexpr unsigned long kGrey = 0x808080;
constexpr int kLeft = 200, kTop = 150, kRight = 500, kBottom = 350;

// The pixel at (x, y) as the server has it now; -1 when it cannot be read.
long PixelAt(::Display* d, int x, int y) {
  XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return -1;
  long pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return pixel;
}

TEST(ZoomOutline, IsVisibleOverWhatLiesUnderItAndLeavesTheInsideAlone) {
  testing::XvfbSession session({1024, 768, 24, false});
  VELTRANE_REQUIRE_XVFB(session);
  setenv("DISPLAY", session.name().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("XDG_RUNTIME_DIR", session.home().c_str(), 1);
  int argc = 1;
  char name[] = "zoom_outline_x_test";
  char* argv[] = {name, nullptr};
  auto* app = new QApplication(argc, argv);

  // A grey window under the whole rectangle and around it, painted by the server.
  ::Display* d = session.display();
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = kGrey;
  ::Window under = XCreateWindow(d, DefaultRootWindow(d), kLeft - 50, kTop - 50, kRight - kLeft + 100,
                                 kBottom - kTop + 100, 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(d, under);
  session.Sync();
  ASSERT_EQ(PixelAt(d, kLeft, kTop + 100), static_cast<long>(kGrey));

  // The outline stays on one rectangle for the whole animation; the reader samples a
  // point on its left edge and one inside it until the animation is over. A reader
  // the machine keeps waiting can miss an animation, so it gets several.
  std::atomic<bool> running{true};
  std::atomic<long> edge{-1}, inside{static_cast<long>(kGrey)};
  std::thread reader([&] {
    ::Display* own = XOpenDisplay(session.name().c_str());
    if (!own) return;
    while (running) {
      long e = PixelAt(own, kLeft + 1, kTop + 100), i = PixelAt(own, kLeft + 20, kTop + 100);
      if (e != static_cast<long>(kGrey)) edge = e;
      if (i != static_cast<long>(kGrey)) inside = i;
    }
    XCloseDisplay(own);
  });
  for (int attempt = 0; attempt < 20 && edge == -1; ++attempt)
    EXPECT_TRUE(vb::DrawAnimatedRects(0, vb::kIdAniCaption, {kLeft, kTop, kRight, kBottom},
                                      {kLeft, kTop, kRight, kBottom}));
  running = false;
  reader.join();

  ASSERT_NE(edge, -1) << "the outline's pixels never differed from the grey under it";
  auto channel = [](long pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); };
  int difference = 0;
  for (int shift : {0, 8, 16}) difference += std::abs(channel(edge, shift) - 0x80);
  EXPECT_GT(difference, 96) << std::hex << "outline pixel " << edge;
  EXPECT_EQ(inside, static_cast<long>(kGrey)) << std::hex << "inside the rectangle: " << inside;
  // Nothing of the outline is left behind.
  EXPECT_EQ(PixelAt(d, kLeft + 1, kTop + 100), static_cast<long>(kGrey));

  delete app;
}

}  // namespace
}  // namespace veltrane
