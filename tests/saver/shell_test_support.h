// Helpers of the Veltrane.scr end-to-end tests: folders holding a copy of the
// program and a stand-in renderer, the pointer check, window look-ups, processes.
// Include it before any other X11 header.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>
#include "support/xvfb_session.h"
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

namespace veltrane::shelltest {


using namespace std::chrono_literals;
using testing::ChildrenOf;
using testing::XvfbSession;

inline const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";
inline const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

// Stand-in renderers: one shows a small window titled "Lumora_VC" in a corner,
// leaving the cover visible; one never opens a window. Both note their pid.
inline std::string WindowStandIn(const std::string& pidFile) {
  return "#!/bin/sh\necho $$ > '" + pidFile +
         "'\nexec xmessage -geometry 150x40+860+720 -title Lumora_VC stand-in\n";
}
inline std::string SilentStandIn(const std::string& pidFile) {
  return "#!/bin/sh\necho $$ > '" + pidFile + "'\nexec sleep 60\n";
}

// A folder holding a copy of Veltrane.scr and, unless `renderer` is empty, a
// Veltrane.dll with that script text.
struct ShellFolder {
  explicit ShellFolder(const std::string& prefix) : dir(testing::MakeTempDir(prefix)) {
    std::filesystem::copy_file(kScr, dir + "/Veltrane.scr");
    chmod((dir + "/Veltrane.scr").c_str(), 0755);
  }
  void SetRenderer(const std::string& script) {
    std::ofstream(dir + "/Veltrane.dll") << script;
    chmod((dir + "/Veltrane.dll").c_str(), 0755);
  }
  std::string scr() const { return dir + "/Veltrane.scr"; }
  std::string pidFile() const { return dir + "/renderer.pid"; }
  // The stand-in's pid once it has started; 0 before.
  pid_t RendererPid(std::chrono::milliseconds wait = 10s) const {
    auto deadline = std::chrono::steady_clock::now() + wait;
    do {
      std::ifstream in(pidFile());
      pid_t pid = 0;
      if (in >> pid && pid > 0) return pid;
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
  }
  std::string dir;
};

// The shell looks for the renderer's window 500 ms after starting it and ends if
// it is not there yet; a renderer or stand-in slowed down by a busy machine misses
// that, which says nothing about the shell. While a Bridge is open, an unmapped
// window of the test's own titled "Lumora_VC" (the shell goes by the title alone)
// keeps the shell waiting; close it once the renderer's own window is mapped.
class Bridge {
 public:
  explicit Bridge(XvfbSession& s) : d_(s.display()) {
    w_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 10, 10, 0, 0, 0);
    XStoreName(d_, w_, "Lumora_VC");
    XSync(d_, False);
  }
  ~Bridge() { Close(); }
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;
  void Close() {
    if (!w_) return;
    XDestroyWindow(d_, w_);
    XSync(d_, False);
    w_ = 0;
  }

 private:
  ::Display* d_;
  ::Window w_ = 0;
};

// Stops a stand-in renderer that the test started through the shell.
struct Reaper {
  std::vector<pid_t> pids;
  ~Reaper() {
    for (pid_t p : pids)
      if (p > 0) kill(p, SIGKILL);
  }
};

// Running: a child of the test that has ended stays a zombie until it is reaped,
// and kill() still reaches that.
inline bool Alive(pid_t pid) {
  if (pid <= 0 || kill(pid, 0) != 0) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  auto close = line.rfind(')');  // the command name may hold blanks and parentheses
  return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

// The pointer shows in Xvfb's framebuffer but not in what the server hands out
// for the screen, so a difference around its position means it is drawn. The
// screen is read before and after the framebuffer; a picture that changed in
// between (a window still painting) tells nothing.
inline std::optional<bool> PointerDrawn(XvfbSession& s, int x, int y) {
  auto region = [&](const testing::Picture& p) {
    std::vector<testing::Rgb> out;
    for (int j = std::max(0, y - 4); j < std::min(p.height, y + 28); ++j)
      for (int i = std::max(0, x - 4); i < std::min(p.width, x + 24); ++i) out.push_back(p.at(i, j));
    return out;
  };
  s.Sync();
  auto before = s.Capture();
  auto fb = s.Framebuffer();
  auto after = s.Capture();
  if (fb.empty() || before.empty() || region(before) != region(after)) return std::nullopt;
  return region(fb) != region(before);
}

// Waits until the pointer is shown (or hidden) at x, y: a program that showed or
// hid it may have ended a moment ago, and the server sees that in its own time.
inline bool PointerShown(XvfbSession& s, int x, int y, bool shown = true) {
  return testing::WaitUntil([&] { return PointerDrawn(s, x, y) == std::optional<bool>(shown); }, 10s, 50ms);
}
inline bool PointerHidden(XvfbSession& s, int x, int y) { return PointerShown(s, x, y, false); }

// The position of the top-level window holding `w` among the root's children
// (bottom first); -1 when it is not found.
inline int StackIndex(XvfbSession& s, ::Window w) {
  ::Display* d = s.display();
  ::Window root = DefaultRootWindow(d), top = w;
  for (;;) {
    ::Window r, parent, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, top, &r, &parent, &kids, &n)) return -1;
    if (kids) XFree(kids);
    if (parent == root) break;
    top = parent;
  }
  ::Window r, parent, *kids = nullptr;
  unsigned n = 0;
  XQueryTree(d, root, &r, &parent, &kids, &n);
  int index = -1;
  for (unsigned i = 0; i < n; ++i)
    if (kids[i] == top) index = static_cast<int>(i);
  if (kids) XFree(kids);
  return index;
}

// A plain window of the test's own, titled and mapped.
inline ::Window MakeWindow(XvfbSession& s, const std::string& title, int x, int y, int w, int h) {
  ::Display* d = s.display();
  ::Window win = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, BlackPixel(d, DefaultScreen(d)));
  XStoreName(d, win, title.c_str());
  XMapWindow(d, win);
  XSync(d, False);
  return win;
}

// The bare root shows no pointer at all, so the pointer checks keep a window with
// an arrow pointer of the test's own under the pointer, below the saver's windows.
inline void PointerPad(XvfbSession& s, int x, int y) {
  ::Window pad = MakeWindow(s, "pointer pad", x - 50, y - 50, 100, 100);
  XDefineCursor(s.display(), pad, XCreateFontCursor(s.display(), XC_left_ptr));
  XSync(s.display(), False);
  s.MovePointer(x, y);
}

inline ::Window ChildTitled(XvfbSession& s, ::Window parent, const std::string& title) {
  ::Display* d = s.display();
  ::Window r, p, *kids = nullptr;
  unsigned n = 0;
  ::Window found = 0;
  if (XQueryTree(d, parent, &r, &p, &kids, &n)) {
    for (unsigned i = 0; i < n && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(d, kids[i], &name) && name) {
        if (title == name) found = kids[i];
        XFree(name);
      }
    }
    if (kids) XFree(kids);
  }
  return found;
}

inline ::Window WaitForChild(XvfbSession& s, ::Window parent, const std::string& title, std::chrono::milliseconds t) {
  auto deadline = std::chrono::steady_clock::now() + t;
  do {
    if (::Window w = ChildTitled(s, parent, title)) {
      if (s.Info(w).viewable) return w;
    }
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return 0;
}

inline void ExpectEndsWithCodeZero(pid_t pid, std::chrono::milliseconds t, const std::string& what) {
  auto st = testing::WaitProcess(pid, t);
  if (!st) {
    testing::KillProcess(pid);
    ADD_FAILURE() << what << ": still running";
    return;
  }
  EXPECT_TRUE(st->exited) << what << ": ended by signal " << st->signal;
  EXPECT_EQ(st->code, 0) << what;
}

#define REQUIRE_RENDERER()                                                                       \
  do {                                                                                           \
    if (access(kRenderer.c_str(), X_OK) != 0)                                                    \
      GTEST_FAIL() << "the renderer " << kRenderer << " is not built (target veltrane_renderer)"; \
  } while (0)

}  // namespace veltrane::shelltest
