#include "saver/dialog/dialog_desktop.h"

#include <chrono>
#include <thread>

// Qt before Xlib: Xlib's macros (Bool, Status, CursorShape) break Qt's headers.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/x11/x_error_trap.h"
#include "saver/runtime/window_system.h"
#include "saver/runtime/x_display.h"

namespace veltrane::platform {

bool GetCursorPos(CursorPoint& point) {
  ::Display* d = vb::XDisplay();
  if (!d) return false;
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned int mask = 0;
  XErrorTrap trap(d);
  // False when the pointer is on another screen than the default one.
  if (!XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &winX, &winY, &mask)) return false;
  if (trap.Failed()) return false;
  point = {rootX, rootY};
  return true;
}

bool OpenAddress(const std::string& address, const std::vector<std::string>& environment) {
  QProcess opener;
  opener.setProgram(QStringLiteral("xdg-open"));
  opener.setArguments({QString::fromStdString(address)});
  if (!environment.empty()) {
    QStringList env;
    for (const std::string& entry : environment) env.push_back(QString::fromStdString(entry));
    opener.setEnvironment(env);
  }
  opener.setStandardInputFile(QProcess::nullDevice());
  // Detached: the opener outlives nothing of ours, and no child is left to reap.
  return opener.startDetached();
}

namespace {

bool Supports(::Display* d, ::Atom feature) {
  ::Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
  ::Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(d, DefaultRootWindow(d), supported, 0, 4096, False, XA_ATOM, &type, &format, &count,
                         &after, &data) == Success &&
      data && format == 32) {
    auto* atoms = reinterpret_cast<::Atom*>(data);
    for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == feature;
  }
  if (data) XFree(data);
  return found;
}

bool ReadExtents(unsigned long window, FrameExtents& out) {
  vb::Rect e;
  if (!vb::GetFrameExtents(window, e)) return false;
  out = {e.left, e.right, e.top, e.bottom};
  return true;
}

}  // namespace

FrameExtents WindowFrameExtents(unsigned long window, int waitMs) {
  FrameExtents result;
  ::Display* d = vb::XDisplay();
  if (!d || window == 0) return result;
  // The window was made on Qt's own connection; make sure the server has it.
  vb::FlushWindowSystem();
  XErrorTrap trap(d);
  if (ReadExtents(window, result)) return result;
  ::Atom request = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
  if (!Supports(d, request)) return result;  // no manager, or one that cannot say

  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = request;
  e.xclient.format = 32;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadExtents(window, result)) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return FrameExtents{};
}

bool WaitForWindowAt(unsigned long window, int x, int y, int waitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    vb::Rect rect;
    if (!vb::GetWindowRect(window, rect)) return false;
    if (rect.left == x && rect.top == y) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace veltrane::platform
