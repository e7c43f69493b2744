#include "support/randr_state.h"

#include <string>
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

std::vector<RRMode> AddRealModes(::Display* d, const std::vector<std::pair<int, int>>& sizes) {
  std::vector<RRMode> ids;
  const ::Window root = DefaultRootWindow(d);
  XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
  if (res == nullptr) return ids;
  for (const auto& [w, h] : sizes) {
    if (res->noutput < 1) break;
    // Plain 60 Hz timings with a blanking margin; Xvfb only needs them consistent.
    std::string name = std::to_string(w) + "x" + std::to_string(h);
    XRRModeInfo info{};
    info.width = static_cast<unsigned>(w);
    info.height = static_cast<unsigned>(h);
    info.hSyncStart = info.width + 24;
    info.hSyncEnd = info.width + 160;
    info.hTotal = info.width + 320;
    info.vSyncStart = info.height + 3;
    info.vSyncEnd = info.height + 9;
    info.vTotal = info.height + 38;
    info.dotClock = static_cast<unsigned long>(info.hTotal) * info.vTotal * 60;
    info.name = name.data();
    info.nameLength = static_cast<unsigned>(name.size());
    const RRMode mode = XRRCreateMode(d, root, &info);
    if (mode == 0) break;
    XRRAddOutputMode(d, res->outputs[0], mode);
    ids.push_back(mode);
  }
  XSync(d, False);
  XRRFreeScreenResources(res);
  return ids;
}

bool AddRealMode1024x768(::Display* d) { return AddRealModes(d, {{1024, 768}}).size() == 1; }

}  // namespace veltrane::testing
