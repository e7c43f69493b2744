// The Wayland compositor's idle clock: ext-idle-notify-v1, or org_kde_kwin_idle
// where only that exists (sway 1.7). Both honour the compositor's idle
// inhibitors: a notification does not fire while one is held on a visible surface.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "idle/idle_source.h"

struct wl_display;
struct wl_registry;
struct wl_seat;

namespace veltrane::idle {

// The connection and the globals both protocols need.
struct WaylandGlobals {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  void* extNotifier = nullptr;  // ext_idle_notifier_v1
  void* kdeIdle = nullptr;      // org_kde_kwin_idle
  ~WaylandGlobals();
};

// Connects to WAYLAND_DISPLAY and binds the first seat and the idle globals;
// null when there is no compositor to reach.
std::unique_ptr<WaylandGlobals> ConnectWayland();

// A source over one compositor connection; owns it.
class WaylandIdleSource : public IdleSource {
 public:
  int Fd() const override;
  short PrepareWait(int& timeoutMs) override;
  bool Dispatch() override;
  // The compositor honours its inhibitors itself.
  bool Inhibited() override { return false; }

 protected:
  WaylandIdleSource(std::unique_ptr<WaylandGlobals> globals, std::chrono::milliseconds timeout)
      : globals_(std::move(globals)), timeout_(timeout) {}
  std::unique_ptr<WaylandGlobals> globals_;
  std::chrono::milliseconds timeout_;
  Listener listener_;
};

}  // namespace veltrane::idle
