// A private X server for one test: Xvfb on a display number it picks itself,
// optionally with a window manager (openbox), plus the inspection and synthetic
// input the tests need. Nothing here touches the user's display or settings.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// gtest before Xlib: Xlib defines macros (None, Bool, Status) that break gtest's headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "support/child_process.h"

namespace veltrane::testing {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  int sum() const { return r + g + b; }
  bool operator==(const Rgb&) const = default;
};

// An RGB picture read back from the server.
struct Picture {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row-major, top row first
  const Rgb& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool empty() const { return pixels.empty(); }
  // Writes a PNG (through ImageMagick's convert); false if that failed.
  bool SavePng(const std::string& path) const;
  // Reads a binary 8-bit PPM (as grim and convert write them); empty if it is none.
  static Picture LoadPpm(const std::string& path);
};

struct XvfbOptions {
  int width = 1024;
  int height = 768;
  int depth = 24;
  bool windowManager = false;
  std::vector<std::string> extraArgs = {};  // more server options, e.g. {"-extension", "GLX"}
};

struct WindowInfo {
  ::Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;  // outer position on the root, client size
  bool viewable = false;
};

// Polls `done` until it holds or `timeout` has passed, and says whether it held.
// Tests wait for a state this way (a window placed, a frame drawn), never for a time.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(10));

// Asks a window to close the way a window manager does (WM_DELETE_WINDOW).
void SendWmClose(::Display* d, ::Window w);
// A mapped override-redirect InputOutput window with a black background and an
// arrow pointer, as saver hosts make theirs; of the screen's default visual unless
// `visual` is given. Returns once it is viewable.
::Window MakeHostWindow(::Display* d, int x, int y, int w, int h, const XVisualInfo* visual = nullptr);
// True when any pixel of the 16 x 16 square at the middle of a width x height
// window is not black: a frame has been drawn there.
bool CentreLit(::Display* d, ::Window w, int width, int height);
// True when the window's WM_NAME is exactly `title`.
bool TitleIs(::Display* d, ::Window w, const char* title);

class XvfbSession {
 public:
  explicit XvfbSession(const XvfbOptions& options = {});
  ~XvfbSession();
  XvfbSession(const XvfbSession&) = delete;
  XvfbSession& operator=(const XvfbSession&) = delete;

  bool ok() const { return display_ != nullptr; }
  const std::string& name() const { return name_; }  // ":N"
  ::Display* display() const { return display_; }
  // Environment for programs started on this server: DISPLAY, no session bus, and
  // HOME and XDG folders in a private folder so nothing of the user's is read or written.
  std::vector<std::string> env() const;
  const std::string& home() const { return home_; }

  pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});

  // Searches the whole window tree for a window titled `title` (WM_NAME or
  // _NET_WM_NAME) that is mapped; 0 after the timeout.
  ::Window WaitForWindow(const std::string& title, std::chrono::milliseconds timeout);
  ::Window FindWindow(const std::string& title, bool mustBeViewable = true);
  bool WaitForWindowGone(const std::string& title, std::chrono::milliseconds timeout);
  WindowInfo Info(::Window w);
  std::string ClassOf(::Window w);  // WM_CLASS class part

  Picture Capture();                          // the root window, through the X server
  Picture Capture(int x, int y, int w, int h);
  // The framebuffer as Xvfb holds it, software pointer included (-fbdir).
  Picture Framebuffer();

  void Key(const char* keysymName, bool press);
  void TapKey(const char* keysymName, std::chrono::milliseconds hold);
  void MovePointer(int x, int y);
  void Button(int button, bool press);
  void Sync();
  // Kills the server at once (the program under test then loses its display).
  void KillServer();
  // Asks the window to close the way a window manager does (WM_DELETE_WINDOW).
  void SendClose(::Window w);

  // Runs a command (xdotool, xrandr, ...) against this server.
  ExitStatus Run(const std::vector<std::string>& argv, std::string* output = nullptr);
  std::string ScreenSize();  // "WxH" as the root window reports it now

 private:
  pid_t xvfb_ = -1;
  pid_t wm_ = -1;
  ::Display* display_ = nullptr;
  std::string name_;
  std::string home_;
  std::string fbdir_;
};

// Starts an Xvfb session or skips the test with a reason when the server cannot start.
#define VELTRANE_REQUIRE_XVFB(session)                                        \
  do {                                                                        \
    if (!(session).ok()) GTEST_FAIL() << "could not start a private Xvfb";   \
  } while (0)

}  // namespace veltrane::testing
