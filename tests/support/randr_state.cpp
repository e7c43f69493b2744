#include "support/randr_state.h"

#include <cstring>
#include <thread>

namespace veltrane::testing {

ScreenState ReadScreenState(::Display* d) {
  ScreenState s;
  XSync(d, False);
  const ::Window root = DefaultRootWindow(d);
  XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
  if (res == nullptr) return s;
  XWindowAttributes a{};
  XGetWindowAttributes(d, root, &a);
  s.width = a.width;
  s.height = a.height;
  for (int i = 0; i < res->ncrtc; ++i) {
    XRRCrtcInfo* c = XRRGetCrtcInfo(d, res, res->crtcs[i]);
    if (c != nullptr && c->mode != None) {
      s.mode = c->mode;
      s.x = c->x;
      s.y = c->y;
      s.rotation = c->rotation;
      s.outputs.assign(c->outputs, c->outputs + c->noutput);
    }
    if (c != nullptr) XRRFreeCrtcInfo(c);
  }
  XRRFreeScreenResources(res);
  // The millimetres as the server reports them now, not Xlib's cached values.
  int sizes = 0;
  if (XRRScreenSize* list = XRRSizes(d, DefaultScreen(d), &sizes); list != nullptr && sizes > 0) {
    XRRScreenConfiguration* config = XRRGetScreenInfo(d, root);
    Rotation rotation = 0;
    const SizeID current = XRRConfigCurrentConfiguration(config, &rotation);
    if (current < sizes) {
      s.mmWidth = list[current].mwidth;
      s.mmHeight = list[current].mheight;
    }
    XRRFreeScreenConfigInfo(config);
  }
  return s;
}

bool WaitForScreenState(::Display* d, const ScreenState& state, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!(ReadScreenState(d) == state)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool AddRealMode1024x768(::Display* d) {
  const ::Window root = DefaultRootWindow(d);
  XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
  if (res == nullptr || res->noutput < 1) return false;
  char name[] = "1024x768";
  XRRModeInfo info{};
  info.width = 1024;
  info.height = 768;
  info.dotClock = 65000000;
  info.hSyncStart = 1048;
  info.hSyncEnd = 1184;
  info.hTotal = 1344;
  info.vSyncStart = 771;
  info.vSyncEnd = 777;
  info.vTotal = 806;
  info.name = name;
  info.nameLength = static_cast<unsigned>(std::strlen(name));
  const RRMode mode = XRRCreateMode(d, root, &info);
  XRRAddOutputMode(d, res->outputs[0], mode);
  XSync(d, False);
  XRRFreeScreenResources(res);
  return mode != 0;
}

}  // namespace veltrane::testing
