#include "support/xvfb_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <bit>
#include <cstdio>
#include <cstring>

#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <fstream>
#include <functional>
#include <thread>


namespace veltrane::testing {

namespace {

int IgnoreXErrors(::Display*, XErrorEvent*) { return 0; }

std::string PropertyText(::Display* d, ::Window w, const char* name, const char* type) {
  Atom prop = XInternAtom(d, name, False);
  Atom want = type ? XInternAtom(d, type, False) : AnyPropertyType;
  Atom actual;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(d, w, prop, 0, 1024, False, want, &actual, &format, &n, &after, &data) ==
          Success &&
      data) {
    if (format == 8) out.assign(reinterpret_cast<char*>(data), n);
    XFree(data);
  }
  return out;
}

// One colour channel of a visual, read out of a pixel value and scaled to 8 bits.
// The mask is taken apart once per picture, not once per pixel: screenshots
// are polled often, and a test's own CPU slows the programs it waits on.
struct ChannelReader {
  unsigned long mask = 0;
  int shift = 0, bits = 0;
  explicit ChannelReader(unsigned long m) : mask(m) {
    if (!m) return;
    while (!(m & 1)) { m >>= 1; ++shift; }
    while (m & 1) { m >>= 1; ++bits; }
  }
  std::uint8_t operator()(unsigned long pixel) const {
    if (!mask) return 0;
    const unsigned long v = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(bits >= 8 ? v >> (bits - 8) : (v * 255) / ((1ul << bits) - 1));
  }
};

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(step);
  }
}

bool Picture::SavePng(const std::string& path) const {
  std::string ppm = path + ".ppm";
  {
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (const auto& p : pixels) out.put(static_cast<char>(p.r)).put(static_cast<char>(p.g)).put(static_cast<char>(p.b));
  }
  auto st = RunProcess({"convert", ppm, path});
  std::remove(ppm.c_str());
  return st.exited && st.code == 0;
}

Picture Picture::LoadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  Picture pic;
  if (!(in >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255 || width <= 0 || height <= 0) {
    return pic;
  }
  in.get();  // the one blank before the samples
  std::vector<unsigned char> data(static_cast<size_t>(width) * height * 3);
  if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) return pic;
  pic.width = width;
  pic.height = height;
  pic.pixels.reserve(data.size() / 3);
  for (size_t i = 0; i < data.size(); i += 3) pic.pixels.push_back({data[i], data[i + 1], data[i + 2]});
  return pic;
}

XvfbSession::XvfbSession(const XvfbOptions& o) {
  home_ = MakeTempDir("home");
  fbdir_ = MakeTempDir("fb");
  int pipefd[2];
  if (pipe(pipefd) != 0) return;
  std::string screen = std::to_string(o.width) + "x" + std::to_string(o.height) + "x" + std::to_string(o.depth);
  xvfb_ = fork();
  if (xvfb_ == 0) {
    close(pipefd[0]);
    setpgid(0, 0);
    // The server goes with the test process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    std::string fd = std::to_string(pipefd[1]);
    std::vector<std::string> argv{"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp",
                                  "-noreset", "-fbdir", fbdir_, "+extension", "RANDR"};
    argv.insert(argv.end(), o.extraArgs.begin(), o.extraArgs.end());
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execvp("Xvfb", args.data());
    _exit(127);
  }
  close(pipefd[1]);
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  pollfd p{pipefd[0], POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&p, 1, 200) > 0) {
      char buf[32];
      ssize_t n = read(pipefd[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<size_t>(n));
      if (number.find('\n') != std::string::npos) break;
    }
  }
  close(pipefd[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) return;
  name_ = ":" + number;
  XSetErrorHandler(IgnoreXErrors);
  display_ = XOpenDisplay(name_.c_str());
  if (!display_) return;
  if (o.windowManager) {
    wm_ = Start({"openbox", "--sm-disable"});
    // Ready once it frames a window of ours. A window mapped while the manager is
    // still starting can be left unmapped, so the probe is mapped again until it is
    // framed. Its first start in a fresh home can be slow on a loaded machine.
    ::Window root = DefaultRootWindow(display_);
    ::Window probe = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
    WaitUntil(
        [&] {
          XMapWindow(display_, probe);
          XSync(display_, False);
          ::Window r = 0, parent = 0, *children = nullptr;
          unsigned int n = 0;
          if (!XQueryTree(display_, probe, &r, &parent, &children, &n)) return false;
          if (children) XFree(children);
          return parent != root;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(50));
    XDestroyWindow(display_, probe);
    XSync(display_, False);
  }
}

XvfbSession::~XvfbSession() {
  if (display_) XCloseDisplay(display_);
  if (wm_ > 0) { kill(wm_, SIGTERM); if (!WaitProcess(wm_, std::chrono::seconds(2))) KillProcess(wm_); }
  if (xvfb_ > 0) { kill(xvfb_, SIGTERM); if (!WaitProcess(xvfb_, std::chrono::seconds(3))) KillProcess(xvfb_); }
}

std::vector<std::string> XvfbSession::env() const {
  // No session bus: a program under test neither reaches the user's nor has
  // libdbus start one ("disabled:" is no address it can connect to).
  return {"DISPLAY=" + name_, "XAUTHORITY=", "HOME=" + home_, "XDG_CONFIG_HOME=" + home_ + "/.config",
          "XDG_CACHE_HOME=" + home_ + "/.cache", "XDG_RUNTIME_DIR=" + home_, "WAYLAND_DISPLAY=", "VELTRANE_BACKEND=",
          "QT_QPA_PLATFORM=", "DBUS_SESSION_BUS_ADDRESS=disabled:"};
}

pid_t XvfbSession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  auto e = env();
  e.insert(e.end(), extraEnv.begin(), extraEnv.end());
  return StartProcess(argv, e);
}

::Window XvfbSession::FindWindow(const std::string& title, bool mustBeViewable) {
  if (!display_) return 0;
  XSync(display_, False);
  std::function<::Window(::Window)> walk = [&](::Window w) -> ::Window {
    std::string n = PropertyText(display_, w, "_NET_WM_NAME", "UTF8_STRING");
    if (n.empty()) n = PropertyText(display_, w, "WM_NAME", nullptr);
    if (n == title) {
      XWindowAttributes a;
      if (!mustBeViewable || (XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable)) return w;
    }
    ::Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, w, &root, &parent, &children, &count)) return 0;
    ::Window found = 0;
    for (unsigned int i = count; i-- > 0 && !found;) found = walk(children[i]);
    if (children) XFree(children);
    return found;
  };
  return walk(DefaultRootWindow(display_));
}

::Window XvfbSession::WaitForWindow(const std::string& title, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    if (::Window w = FindWindow(title)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < deadline);
  return 0;
}

bool XvfbSession::WaitForWindowGone(const std::string& title, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    if (!FindWindow(title, false)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

WindowInfo XvfbSession::Info(::Window w) {
  WindowInfo info;
  info.window = w;
  XWindowAttributes a;
  if (!display_ || !XGetWindowAttributes(display_, w, &a)) return info;
  ::Window child;
  XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &info.x, &info.y, &child);
  info.width = a.width;
  info.height = a.height;
  info.viewable = a.map_state == IsViewable;
  return info;
}

std::string XvfbSession::ClassOf(::Window w) {
  XClassHint hint{};
  std::string cls;
  if (display_ && XGetClassHint(display_, w, &hint)) {
    if (hint.res_class) cls = hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  return cls;
}

Picture XvfbSession::Capture() {
  if (!display_) return {};
  XWindowAttributes a;
  XGetWindowAttributes(display_, DefaultRootWindow(display_), &a);
  return Capture(0, 0, a.width, a.height);
}

Picture XvfbSession::Capture(int x, int y, int w, int h) {
  Picture pic;
  if (!display_) return pic;
  XImage* img = XGetImage(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(w),
                          static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (!img) return pic;
  Visual* v = DefaultVisual(display_, DefaultScreen(display_));
  const ChannelReader red(v->red_mask), green(v->green_mask), blue(v->blue_mask);
  pic.width = w;
  pic.height = h;
  pic.pixels.resize(static_cast<size_t>(w) * h);
  // 32-bit pixels in this machine's byte order (what Xvfb serves locally) are
  // read straight from the image; anything else goes through XGetPixel.
  const bool direct = img->bits_per_pixel == 32 &&
                      img->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
  for (int j = 0; j < h; ++j) {
    const char* row = img->data + static_cast<ptrdiff_t>(j) * img->bytes_per_line;
    Rgb* out = &pic.pixels[static_cast<size_t>(j) * w];
    for (int i = 0; i < w; ++i) {
      std::uint32_t word;
      unsigned long px = direct ? (std::memcpy(&word, row + 4 * i, 4), word) : XGetPixel(img, i, j);
      out[i] = {red(px), green(px), blue(px)};
    }
  }
  XDestroyImage(img);
  return pic;
}

Picture XvfbSession::Framebuffer() {
  Picture pic;
  std::ifstream in(fbdir_ + "/Xvfb_screen0", std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
  std::vector<unsigned char> data(size > 0 ? static_cast<size_t>(size) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  data.resize(static_cast<size_t>(in.gcount()));
  if (data.size() < 100) return pic;
  auto be32 = [&](size_t i) {
    return (std::uint32_t(data[i * 4]) << 24) | (std::uint32_t(data[i * 4 + 1]) << 16) |
           (std::uint32_t(data[i * 4 + 2]) << 8) | std::uint32_t(data[i * 4 + 3]);
  };
  std::uint32_t headerSize = be32(0), width = be32(4), height = be32(5), byteOrder = be32(7);
  std::uint32_t bpp = be32(11), bpl = be32(12), rmask = be32(14), gmask = be32(15), bmask = be32(16);
  std::uint32_t ncolors = be32(19);
  size_t offset = headerSize + ncolors * 12;
  if (data.size() < offset + static_cast<size_t>(bpl) * height) return pic;
  pic.width = static_cast<int>(width);
  pic.height = static_cast<int>(height);
  pic.pixels.resize(static_cast<size_t>(width) * height);
  size_t bytes = bpp / 8;
  const ChannelReader red(rmask), green(gmask), blue(bmask);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = &data[offset + static_cast<size_t>(y) * bpl + x * bytes];
      unsigned long px = 0;
      for (size_t k = 0; k < bytes; ++k)
        px |= static_cast<unsigned long>(p[k]) << (byteOrder == LSBFirst ? 8 * k : 8 * (bytes - 1 - k));
      pic.pixels[static_cast<size_t>(y) * width + x] = {red(px), green(px), blue(px)};
    }
  return pic;
}

void XvfbSession::Key(const char* keysymName, bool press) {
  if (!display_) return;
  KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysymName));
  XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
  XFlush(display_);
}

void XvfbSession::TapKey(const char* keysymName, std::chrono::milliseconds hold) {
  Key(keysymName, true);
  std::this_thread::sleep_for(hold);
  Key(keysymName, false);
}

void XvfbSession::MovePointer(int x, int y) {
  if (!display_) return;
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XFlush(display_);
}

void XvfbSession::Button(int button, bool press) {
  if (!display_) return;
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), press ? True : False, CurrentTime);
  XFlush(display_);
}

void XvfbSession::Sync() {
  if (display_) XSync(display_, False);
}

void XvfbSession::KillServer() {
  if (display_) XCloseDisplay(display_);
  display_ = nullptr;
  if (xvfb_ > 0) KillProcess(xvfb_);
  xvfb_ = -1;
}

void SendWmClose(::Display* d, ::Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

::Window MakeHostWindow(::Display* d, int x, int y, int w, int h, const XVisualInfo* visual) {
  const ::Window root = DefaultRootWindow(d);
  XSetWindowAttributes a{};
  a.background_pixel = 0;
  a.border_pixel = 0;
  unsigned long mask = CWBackPixel | CWBorderPixel;
  int depth = CopyFromParent;
  Visual* v = CopyFromParent;
  if (visual != nullptr) {
    a.colormap = XCreateColormap(d, root, visual->visual, AllocNone);
    mask |= CWColormap;
    depth = visual->depth;
    v = visual->visual;
  }
  a.override_redirect = True;  // XScreenSaver's own windows are override-redirect
  a.cursor = XCreateFontCursor(d, XC_left_ptr);  // an arrow that must stay visible
  mask |= CWOverrideRedirect | CWCursor;
  const ::Window window = XCreateWindow(d, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, depth,
                                        InputOutput, v, mask, &a);
  XMapWindow(d, window);
  for (int i = 0; i < 500; ++i) {
    XWindowAttributes wa{};
    if (XGetWindowAttributes(d, window, &wa) && wa.map_state == IsViewable) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return window;
}

bool CentreLit(::Display* d, ::Window w, int width, int height) {
  XImage* image = XGetImage(d, w, width / 2 - 8, height / 2 - 8, 16, 16, AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  bool lit = false;
  for (int y = 0; y < 16 && !lit; ++y)
    for (int x = 0; x < 16 && !lit; ++x) lit = XGetPixel(image, x, y) != 0;
  XDestroyImage(image);
  return lit;
}

bool TitleIs(::Display* d, ::Window w, const char* title) {
  char* name = nullptr;
  bool match = false;
  if (XFetchName(d, w, &name) && name != nullptr) {
    match = std::strcmp(name, title) == 0;
    XFree(name);
  }
  return match;
}

void XvfbSession::SendClose(::Window w) {
  if (display_) SendWmClose(display_, w);
}

ExitStatus XvfbSession::Run(const std::vector<std::string>& argv, std::string* output) {
  return RunProcess(argv, env(), std::chrono::seconds(20), output);
}

std::string XvfbSession::ScreenSize() {
  if (!display_) return "";
  XWindowAttributes a;
  XGetWindowAttributes(display_, DefaultRootWindow(display_), &a);
  return std::to_string(a.width) + "x" + std::to_string(a.height);
}

}  // namespace veltrane::testing
