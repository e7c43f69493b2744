// The button under a private Xvfb with a real pointer moved by XTEST: the hover
// look, the poll noticing that the pointer left (also when another window covers
// the button), the pointer coming back without moving, Click on a release over it
// and none after dragging off.
#include "support/xvfb_session.h"  // before any X11 header

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include <X11/Xlib.h>

#include "support/child_process.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
using testing::Picture;
using testing::Rgb;
using testing::XvfbSession;

constexpr Rgb kNormalTop2{0xFE, 0xFE, 0xFD};     // row 2 of the Normal skin
constexpr Rgb kHighLightTop2{0xFF, 0xF0, 0xCF};  // row 2 of HighLight / HighLightSelect
constexpr Rgb kSelectedBottom{0x69, 0x82, 0xEE};  // row 21 of Selected
constexpr Rgb kPressedFrame{0x00, 0x3C, 0x74};   // row 2 of Pressed

int Count(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

class CommandX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    VELTRANE_REQUIRE_XVFB(session);
    out = testing::MakeTempDir("controls_x11") + "/out.txt";
    auto env = session.env();
    program = testing::StartProcess({CONTROLS_HOVER_FORM}, env, out);
    auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
      std::istringstream text(testing::ReadFile(out));
      std::string word;
      while (text >> word)
        if (word == "ready") text >> x >> y >> w >> h;
      if (w > 0) break;
      std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(w, 73) << "the test form did not come up:\n" << testing::ReadFile(out);
    ASSERT_EQ(h, 25);
  }
  void TearDown() override {
    if (program > 0) testing::KillProcess(program);
  }

  void PointTo(int bx, int by) {
    session.MovePointer(x + bx, y + by);
    session.Sync();
  }
  void Left(bool press) {
    session.Button(1, press);
    session.Sync();
  }
  Rgb At(int bx, int by) { return session.Capture(x + bx, y + by, 1, 1).at(0, 0); }
  // The pixel once it shows `look`, or what it shows when that never came: the
  // look follows the pointer on the control's own 100 ms poll.
  Rgb Becomes(int bx, int by, Rgb look) {
    testing::WaitUntil([&] { return At(bx, by) == look; }, 10s, 20ms);
    return At(bx, by);
  }
  int Clicks() { return Count(Log(), "click"); }
  std::string Log() { return testing::ReadFile(out); }
  // Waits until `line` appears in the program's output after `from` characters.
  bool WaitForLine(const std::string& line, size_t from = 0, std::chrono::milliseconds timeout = 5s) {
    for (auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end;) {
      std::string log = Log();
      if (log.size() > from && log.find(line, from) != std::string::npos) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  XvfbSession session{{640, 480, 24, false}};
  std::string out;
  pid_t program = -1;
  int x = 0, y = 0, w = 0, h = 0;
};

TEST_F(CommandX11, TheHoverLookComesAndGoesWithThePointerAndHoldsOverTheCaption) {
  PointTo(-30, 12);  // on the form, beside the button
  EXPECT_EQ(Becomes(30, 2, kNormalTop2), kNormalTop2) << Log();

  PointTo(36, 2);  // on the face, above the caption
  EXPECT_EQ(Becomes(30, 2, kHighLightTop2), kHighLightTop2) << Log();

  PointTo(36, 12);  // on the caption label, which has no window of its own
  std::this_thread::sleep_for(300ms);  // a few polls pass
  EXPECT_EQ(At(30, 2), kHighLightTop2) << "the poll counts the caption as the button\n" << Log();

  PointTo(-30, 12);  // leaving is noticed by the poll alone
  EXPECT_EQ(Becomes(30, 2, kNormalTop2), kNormalTop2) << Log();

  PointTo(36, 200);  // off the form altogether
  PointTo(36, 2);
  ASSERT_EQ(Becomes(30, 2, kHighLightTop2), kHighLightTop2) << Log();
  PointTo(36, 200);
  EXPECT_EQ(Becomes(30, 2, kNormalTop2), kNormalTop2) << Log();
  EXPECT_EQ(Clicks(), 0);
}

TEST_F(CommandX11, AReleaseOverTheButtonClicks) {
  PointTo(36, 2);
  ASSERT_EQ(Becomes(30, 2, kHighLightTop2), kHighLightTop2) << Log();
  Left(true);
  EXPECT_EQ(Becomes(30, 2, kPressedFrame), kPressedFrame) << Log();
  Left(false);
  testing::WaitUntil([&] { return Clicks() > 0; }, 10s, 20ms);
  EXPECT_EQ(Clicks(), 1) << Log();
  // Focused and hovered after the click: the highlight border again.
  EXPECT_EQ(Becomes(30, 2, kHighLightTop2), kHighLightTop2) << Log();
}

TEST_F(CommandX11, DraggingOffBeforeTheReleaseRaisesNoClick) {
  PointTo(36, 2);
  ASSERT_EQ(Becomes(30, 2, kHighLightTop2), kHighLightTop2) << Log();
  Left(true);
  ASSERT_EQ(Becomes(30, 2, kPressedFrame), kPressedFrame) << Log();
  PointTo(-30, 12);  // drag off, still holding
  EXPECT_EQ(Becomes(30, 21, kSelectedBottom), kSelectedBottom) << "focused, pointer elsewhere\n" << Log();
  Left(false);
  std::this_thread::sleep_for(300ms);  // time for a click that must not come
  EXPECT_EQ(Clicks(), 0) << Log();
  EXPECT_EQ(At(30, 21), kSelectedBottom) << Log();
}

TEST_F(CommandX11, AWindowCoveringThePointerEndsTheHover) {
  PointTo(60, 12);
  ASSERT_EQ(Becomes(20, 2, kHighLightTop2), kHighLightTop2) << Log();

  // Another window appears over the right part of the button, under the pointer.
  ::Display* d = session.display();
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = BlackPixel(d, DefaultScreen(d));
  ::Window cover = XCreateWindow(d, DefaultRootWindow(d), x + 45, y - 5, 60, 40, 0, CopyFromParent,
                                 InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(d, cover);
  session.Sync();
  EXPECT_EQ(Becomes(20, 2, kNormalTop2), kNormalTop2) << "the part still visible shows the normal border\n" << Log();

  XDestroyWindow(d, cover);
  session.Sync();
  PointTo(61, 12);  // the pointer over the button again
  EXPECT_EQ(Becomes(20, 2, kHighLightTop2), kHighLightTop2) << Log();
}

TEST_F(CommandX11, ThePointerComingBackWithoutMovingIsOverTheButtonAndAClickThereClicks) {
  // Each way back is tried in turn on the same button: the first from Hover (the
  // button unfocused), the second from FocusedHover (focused by the first click).
  ::Display* d = session.display();
  struct Case {
    const char* how;
    std::function<void()> leave, comeBack;
  };
  ::Window cover = 0;
  const Case cases[] = {
      {"a window appears under the resting pointer and goes",
       [&] {
         XSetWindowAttributes a{};
         a.override_redirect = True;
         cover = XCreateWindow(d, DefaultRootWindow(d), x + 20, y - 5, 60, 40, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect, &a);
         XMapRaised(d, cover);
         session.Sync();
       },
       [&] {
         XDestroyWindow(d, cover);
         session.Sync();
       }},
      {"the pointer leaves the form and returns to the same pixel",
       [&] { PointTo(36, 200); }, [&] { PointTo(36, 12); }},
  };
  int clicks = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    size_t mark = Log().size();
    PointTo(-30, 12);  // beside the button, then onto it by moving
    if (clicks > 0) {
      ASSERT_TRUE(WaitForLine("look Selected 3", mark)) << Log();
    }
    mark = Log().size();
    PointTo(36, 12);
    ASSERT_TRUE(WaitForLine(clicks == 0 ? "look HighLight 2" : "look HighLightSelect 4", mark)) << Log();
    mark = Log().size();
    c.leave();
    // The poll notices that the pointer is no longer over the button.
    ASSERT_TRUE(WaitForLine(clicks == 0 ? "look Normal 1" : "look Selected 3", mark)) << Log();
    c.comeBack();  // no motion over the button from here on
    Left(true);
    Left(false);
    EXPECT_TRUE(WaitForLine("click " + std::to_string(++clicks), mark)) << Log();
  }
}

}  // namespace
}  // namespace veltrane
