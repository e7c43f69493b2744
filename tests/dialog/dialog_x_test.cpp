// Veltrane.scr /c on a private Xvfb with a window manager: the dialog's window,
// the zoom that opens and closes it, its glowing logo, OK and the window manager's
// close, the link, and the duplicate-start check.
#include "support/xvfb_session.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kTitle = "<Veltrane>";
constexpr const char* kAddress = "http://www.example.com/drevik/";
// Places inside the client area, in pixels (15 twips to a pixel at 96 DPI).
constexpr int kDisplayX = 12, kDisplayY = 12, kDisplayW = 468, kDisplayH = 244;
constexpr int kOkX = 408 + 36, kOkY = 268 + 12;     // the middle of Cmd_OK
constexpr int kLinkX = 12 + 40, kLinkY = 276 + 6;  // on the link's text

struct Frame {
  long left = 0, right = 0, top = 0, bottom = 0;
};

Frame FrameExtentsOf(::Display* d, ::Window w) {
  Frame f;
  ::Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_FRAME_EXTENTS", False), 0, 4, False, XA_CARDINAL, &type,
                         &format, &n, &after, &data) == Success &&
      data && n == 4) {
    auto* v = reinterpret_cast<long*>(data);
    f = {v[0], v[1], v[2], v[3]};
  }
  if (data) XFree(data);
  return f;
}

void WriteScript(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
  fs::permissions(path, fs::perms::owner_all);
}

struct Cursor {
  int width = 0, height = 0, xhot = -1, yhot = -1;
};

Cursor PointerImage(::Display* d) {
  Cursor c;
  if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
    c = {image->width, image->height, image->xhot, image->yhot};
    XFree(image);
  }
  return c;
}

// Waits until the pointer shows the link's hand (the hourglass shows while the
// address is being handed over, which on a busy machine takes a moment).
bool WaitForHand(::Display* d, std::chrono::milliseconds timeout) {
  for (auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end;) {
    Cursor c = PointerImage(d);
    if (c.width == 32 && c.height == 32 && c.xhot == 12 && c.yhot == 10) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << b.width << "x" << b.height << "+" << b.x << "+" << b.y;
}

// Watches the root, on a connection of its own, for the zoom's outline: every
// override-redirect window that is mapped there, with its rectangle when it was
// mapped and its last one before it went. The X server queues the events, so
// nothing is missed however late they are read.
class OutlineRecorder {
 public:
  struct Shown {
    Box first, last;
  };
  explicit OutlineRecorder(const std::string& display) : d_(XOpenDisplay(display.c_str())) {
    if (!d_) return;
    XSelectInput(d_, DefaultRootWindow(d_), SubstructureNotifyMask);
    XSync(d_, False);
  }
  ~OutlineRecorder() {
    if (d_) XCloseDisplay(d_);
  }
  // The outlines shown and gone again so far, in order.
  const std::vector<Shown>& Read() {
    if (d_) XSync(d_, False);  // every event the server sent before now is here
    while (d_ && XPending(d_)) {
      XEvent e;
      XNextEvent(d_, &e);
      switch (e.type) {
        case CreateNotify: {
          const XCreateWindowEvent& c = e.xcreatewindow;
          if (c.override_redirect) windows_[c.window] = {{c.x, c.y, c.width, c.height}, false, {}};
          break;
        }
        case ConfigureNotify: {
          auto it = windows_.find(e.xconfigure.window);
          if (it == windows_.end()) break;
          it->second.now = {e.xconfigure.x, e.xconfigure.y, e.xconfigure.width, e.xconfigure.height};
          if (it->second.mapped) it->second.shown.last = it->second.now;
          break;
        }
        case MapNotify: {
          auto it = windows_.find(e.xmap.window);
          if (it == windows_.end()) break;
          it->second.mapped = true;
          it->second.shown = {it->second.now, it->second.now};
          break;
        }
        case UnmapNotify:
        case DestroyNotify: {
          auto it = windows_.find(e.type == UnmapNotify ? e.xunmap.window : e.xdestroywindow.window);
          if (it == windows_.end()) break;
          if (it->second.mapped) done_.push_back(it->second.shown);
          it->second.mapped = false;
          if (e.type == DestroyNotify) windows_.erase(it);
          break;
        }
      }
    }
    return done_;
  }

 private:
  struct Window {
    Box now;
    bool mapped = false;
    Shown shown;
  };
  ::Display* d_ = nullptr;
  std::map<::Window, Window> windows_;
  std::vector<Shown> done_;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok()) << "could not start a private Xvfb";
    // The program with a stand-in renderer file beside it, which /c checks for.
    folder_ = MakeTempDir("dialog");
    program_ = folder_ + "/Veltrane.scr";
    fs::copy_file(std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr", program_);
    std::ofstream(folder_ + "/Veltrane.dll") << "stand-in renderer\n";
  }

  void TearDown() override {
    if (pid_ > 0) KillProcess(pid_);
  }

  // Starts the dialog and waits until its window is on screen, framed and
  // animating: the logo glows somewhere.
  ::Window StartDialog(const std::vector<std::string>& extraEnv = {}) {
    pid_ = session_.Start({program_, "/c"}, extraEnv);
    ::Window w = session_.WaitForWindow(kTitle, 30s);
    if (w) {
      WaitUntil([&] { return FrameExtentsOf(session_.display(), w).top != 0; }, 10s, 20ms);
      WaitUntil([&] { return Glowing(CaptureDisplay(w)) > 0; }, 30s, 50ms);
    }
    return w;
  }

  Picture CaptureDisplay(::Window w) {
    WindowInfo info = session_.Info(w);
    return session_.Capture(info.x + kDisplayX, info.y + kDisplayY, kDisplayW, kDisplayH);
  }

  static int Glowing(const Picture& p) {
    int n = 0;
    for (const Rgb& c : p.pixels) n += c.r >= 200 ? 1 : 0;
    return n;
  }

  // The next picture of the logo that differs from `previous` in more than
  // `pixels` pixels (the last one read when none came).
  Picture NextFrame(::Window w, const Picture& previous, int pixels = 0) {
    Picture next;
    WaitUntil(
        [&] {
          next = CaptureDisplay(w);
          if (next.pixels.size() != previous.pixels.size()) return true;
          int changed = 0;
          for (size_t i = 0; i < next.pixels.size(); ++i) changed += next.pixels[i] == previous.pixels[i] ? 0 : 1;
          return changed > pixels;
        },
        10s, 20ms);
    return next;
  }

  void PointAt(::Window w, int x, int y) {
    WindowInfo info = session_.Info(w);
    session_.MovePointer(info.x + x, info.y + y);
  }

  // A click where the pointer is; the button is held a moment, as a hand does.
  void Click() {
    session_.Button(1, true);
    std::this_thread::sleep_for(80ms);
    session_.Button(1, false);
  }

  // Points at OK, waits for its hover look (its poll has seen the pointer), clicks.
  void ClickOk(::Window w) {
    PointAt(w, kOkX, kOkY);
    WindowInfo info = session_.Info(w);
    const Rgb kHighLightTop2{0xFF, 0xF0, 0xCF};
    WaitUntil([&] { return session_.Capture(info.x + kOkX - 6, info.y + 268 + 2, 1, 1).at(0, 0) == kHighLightTop2; },
              10s, 20ms);
    Click();
  }

  XvfbSession session_{{1024, 768, 24, true}};
  std::string folder_, program_;
  pid_t pid_ = -1;
};

TEST_F(DialogTest, StandsCentredAThirdDownWithItsTitleSizeAndIcon) {
  ::Window w = StartDialog();
  ASSERT_NE(w, 0u);
  ::Display* d = session_.display();
  WindowInfo info = session_.Info(w);
  EXPECT_TRUE(info.viewable);
  EXPECT_EQ(info.width, 496);
  EXPECT_EQ(info.height, 308);

  // Margins of the whole window, frame included, to the screen's edges.
  Frame f = FrameExtentsOf(d, w);
  EXPECT_GT(f.top, 0) << "the window manager put no title bar on the dialog";
  long left = info.x - f.left;
  long right = 1024 - (info.x + info.width + f.right);
  long top = info.y - f.top;
  long bottom = 768 - (info.y + info.height + f.bottom);
  EXPECT_NEAR(left, right, 2);
  EXPECT_NEAR(2.0 * top, bottom, 3.0) << "top " << top << " bottom " << bottom;

  // A 32 x 32 window icon.
  ::Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_ICON", False), 0, 1 << 16, False, XA_CARDINAL,
                               &type, &format, &n, &after, &data),
            Success);
  bool has32 = false;
  if (data) {
    auto* v = reinterpret_cast<long*>(data);
    for (unsigned long i = 0; i + 2 <= n && !has32; i += 2 + static_cast<unsigned long>(v[i] * v[i + 1]))
      has32 = v[i] == 32 && v[i + 1] == 32;
    XFree(data);
  }
  EXPECT_TRUE(has32);
}

TEST_F(DialogTest, ZoomsOpenFromThePointerToItsFramedRectangleAndBackToThatPoint) {
  session_.MovePointer(300, 200);
  session_.Sync();
  OutlineRecorder outlines(session_.name());
  ::Window w = StartDialog();
  ASSERT_NE(w, 0u);
  WindowInfo info = session_.Info(w);
  Frame f = FrameExtentsOf(session_.display(), w);
  const Box framed{static_cast<int>(info.x - f.left), static_cast<int>(info.y - f.top),
                   static_cast<int>(info.width + f.left + f.right), static_cast<int>(info.height + f.top + f.bottom)};
  ASSERT_EQ(outlines.Read().size(), 1u) << "one outline while the dialog opens";
  OutlineRecorder::Shown open = outlines.Read()[0];
  EXPECT_EQ(open.first.x, 300);
  EXPECT_EQ(open.first.y, 200);
  EXPECT_EQ(open.last, framed) << "the opening zoom ends where the dialog stands, frame included";

  ClickOk(w);  // the pointer moves on; the zoom goes back to where it was on opening
  ASSERT_TRUE(WaitProcess(pid_, 10s).has_value());
  pid_ = -1;
  ASSERT_EQ(outlines.Read().size(), 2u) << "one outline while the dialog closes";
  OutlineRecorder::Shown close = outlines.Read()[1];
  EXPECT_EQ(close.first, framed);
  EXPECT_EQ(close.last.x, 300);
  EXPECT_EQ(close.last.y, 200);
}

TEST_F(DialogTest, LogoGlowsAndChangesWhileTheLettersStayBlack) {
  ::Window w = StartDialog();
  ASSERT_NE(w, 0u);
  // The fire builds up from nothing: wait until it glows and has spread around the letters.
  auto inText = [](int x, int y) { return x > 60 && x < kDisplayW - 60 && y > 85 && y < kDisplayH - 85; };
  WaitUntil(
      [&] {
        const Picture p = CaptureDisplay(w);
        int blackOutside = 0, black = 0;
        for (int y = 3; y < p.height - 3; ++y)
          for (int x = 3; x < p.width - 3; ++x)
            if (p.at(x, y).sum() == 0) ++black, blackOutside += inText(x, y) ? 0 : 1;
        return Glowing(p) > 5000 && blackOutside < black * 5 / 100;
      },
      30s, 50ms);
  std::vector<Picture> shots{CaptureDisplay(w)};
  for (int i = 1; i < 3; ++i) shots.push_back(NextFrame(w, shots.back(), 2000));
  ASSERT_EQ(shots[0].width, kDisplayW);

  int changed = 0, glowing = 0, black = 0, blackInText = 0;
  for (int y = 3; y < kDisplayH - 3; ++y) {
    for (int x = 3; x < kDisplayW - 3; ++x) {
      if (!(shots[0].at(x, y) == shots[1].at(x, y))) ++changed;
      if (shots[2].at(x, y).r >= 200) ++glowing;
      bool alwaysBlack = true;
      for (const Picture& p : shots) alwaysBlack = alwaysBlack && p.at(x, y).sum() == 0;
      if (alwaysBlack) {
        ++black;
        // "Drevik's Graphics" in bold 20-point type, centred.
        if (inText(x, y)) ++blackInText;
      }
    }
  }
  EXPECT_GT(changed, 2000) << "the logo did not change between frames";
  EXPECT_GT(glowing, 5000) << "no glow around the letters";
  EXPECT_GT(black, 800) << "the letters are not black";
  EXPECT_GT(blackInText, black * 95 / 100) << "black pixels outside the letters";
}

TEST_F(DialogTest, OkEndsTheProcessWithCodeZero) {
  ::Window w = StartDialog();
  ASSERT_NE(w, 0u);
  ClickOk(w);
  auto status = WaitProcess(pid_, 30s);
  ASSERT_TRUE(status.has_value()) << "the dialog is still running after OK";
  pid_ = -1;
  EXPECT_TRUE(status->exited);
  EXPECT_EQ(status->code, 0);
  EXPECT_EQ(session_.FindWindow(kTitle, false), 0u);
}

TEST_F(DialogTest, WindowManagersCloseEndsTheProcessWithCodeZero) {
  ::Window w = StartDialog();
  ASSERT_NE(w, 0u);
  ::Display* d = session_.display();
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "_NET_CLOSE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = CurrentTime;
  e.xclient.data.l[1] = 2;  // from a pager or taskbar: the manager asks the window to close
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d);
  auto status = WaitProcess(pid_, 30s);
  ASSERT_TRUE(status.has_value()) << "the dialog is still running after the close command";
  pid_ = -1;
  EXPECT_TRUE(status->exited);
  EXPECT_EQ(status->code, 0);
}

TEST_F(DialogTest, LinkHandsTheAddressToTheUrlOpenerAndTheDialogStays) {
  std::string bin = MakeTempDir("dialog-opener");
  std::string record = bin + "/opened.txt";
  WriteScript(bin + "/xdg-open", "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" + record + "'\n");
  ::Window w = StartDialog({"PATH=" + bin + ":/usr/bin:/bin"});
  ASSERT_NE(w, 0u);

  // Over the link the pointer is the 32 x 32 hand with its hot spot on the finger tip.
  PointAt(w, kLinkX, kLinkY);
  ASSERT_TRUE(WaitForHand(session_.display(), 10s)) << "hot spot " << PointerImage(session_.display()).xhot;

  Click();
  std::string opened;
  WaitUntil([&] { return !(opened = ReadFile(record)).empty(); }, 20s, 50ms);
  EXPECT_EQ(opened, std::string("1|") + kAddress + "\n");

  // The dialog stays, its animation runs on, and the pointer is the hand again.
  EXPECT_FALSE(WaitProcess(pid_, 500ms).has_value());
  EXPECT_NE(session_.FindWindow(kTitle), 0u);
  Picture a = CaptureDisplay(w);
  EXPECT_NE(a.pixels, NextFrame(w, a).pixels);
  EXPECT_TRUE(WaitForHand(session_.display(), 10s)) << "the hourglass stayed";
}

TEST_F(DialogTest, MissingOrFailingUrlOpenerIsNotReportedAndTheDialogStays) {
  // A folder with an opener that fails (after noting that it ran), then one
  // with none at all.
  std::string failing = MakeTempDir("dialog-failing-opener");
  std::string record = failing + "/ran.txt";
  WriteScript(failing + "/xdg-open", "#!/bin/sh\necho ran >> '" + record + "'\nexit 3\n");
  std::string empty = MakeTempDir("dialog-no-opener");
  for (const std::string& path : {failing, empty}) {
    ::Window w = StartDialog({"PATH=" + path});
    ASSERT_NE(w, 0u) << path;
    PointAt(w, kLinkX, kLinkY);
    ASSERT_TRUE(WaitForHand(session_.display(), 10s)) << path;
    Click();
    if (path == failing) {
      WaitUntil([&] { return !ReadFile(record).empty(); }, 20s, 50ms);
      EXPECT_EQ(ReadFile(record), "ran\n") << "the failing opener was not started";
    } else {
      std::this_thread::sleep_for(1s);
    }
    // The pointer comes back to the hand, and the dialog is still there.
    EXPECT_TRUE(WaitForHand(session_.display(), 10s)) << path << ": the hourglass stayed";
    EXPECT_FALSE(WaitProcess(pid_, 300ms).has_value()) << path;
    EXPECT_NE(session_.FindWindow(kTitle), 0u) << path;
    Picture a = CaptureDisplay(w);
    EXPECT_NE(a.pixels, NextFrame(w, a).pixels) << path;
    KillProcess(pid_);
    pid_ = -1;
    ASSERT_TRUE(session_.WaitForWindowGone(kTitle, 20s));
  }
}

TEST_F(DialogTest, SecondStartEndsAtOnceWhileTheDialogIsOpen) {
  ::Window w = StartDialog();
  ASSERT_NE(w, 0u);
  pid_t second = session_.Start({program_, "/c"});
  auto status = WaitProcess(second, 20s);
  if (!status) KillProcess(second);
  ASSERT_TRUE(status.has_value()) << "the second start did not end";
  EXPECT_TRUE(status->exited);
  EXPECT_EQ(status->code, 0);
  EXPECT_FALSE(WaitProcess(pid_, 100ms).has_value()) << "the open dialog ended";
}

}  // namespace
}  // namespace veltrane::testing
