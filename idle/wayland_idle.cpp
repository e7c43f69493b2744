#include "idle/wayland_idle.h"

#include <poll.h>
#include <wayland-client.h>

#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace veltrane::idle {

namespace {

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto* g = static_cast<WaylandGlobals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr) {
    g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
    g->extNotifier = wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1);
  } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
    g->kdeIdle = wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1);
  }
}

void GlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

}  // namespace

WaylandGlobals::~WaylandGlobals() {
  if (extNotifier != nullptr) ext_idle_notifier_v1_destroy(static_cast<ext_idle_notifier_v1*>(extNotifier));
  if (kdeIdle != nullptr) org_kde_kwin_idle_destroy(static_cast<org_kde_kwin_idle*>(kdeIdle));
  if (seat != nullptr) wl_seat_destroy(seat);
  if (registry != nullptr) wl_registry_destroy(registry);
  if (display != nullptr) wl_display_disconnect(display);
}

std::unique_ptr<WaylandGlobals> ConnectWayland() {
  auto g = std::make_unique<WaylandGlobals>();
  g->display = wl_display_connect(nullptr);
  if (g->display == nullptr) return nullptr;
  g->registry = wl_display_get_registry(g->display);
  wl_registry_add_listener(g->registry, &kRegistryListener, g.get());
  if (wl_display_roundtrip(g->display) < 0) return nullptr;
  return g;
}

int WaylandIdleSource::Fd() const { return wl_display_get_fd(globals_->display); }

short WaylandIdleSource::PrepareWait(int& timeoutMs) {
  timeoutMs = -1;
  wl_display_dispatch_pending(globals_->display);
  wl_display_flush(globals_->display);
  return POLLIN;
}

bool WaylandIdleSource::Dispatch() { return wl_display_dispatch(globals_->display) >= 0; }

}  // namespace veltrane::idle
