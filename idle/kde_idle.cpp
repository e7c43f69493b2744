#include "idle/kde_idle.h"

#include <wayland-client.h>

#include "idle-client-protocol.h"

namespace veltrane::idle {

std::unique_ptr<KdeIdle> KdeIdle::Take(std::unique_ptr<WaylandGlobals>& globals, std::chrono::milliseconds timeout) {
  if (!globals || globals->kdeIdle == nullptr || globals->seat == nullptr) return nullptr;
  return std::unique_ptr<KdeIdle>(new KdeIdle(std::move(globals), timeout));
}

KdeIdle::~KdeIdle() {
  if (timer_ != nullptr) org_kde_kwin_idle_timeout_release(timer_);
}

void KdeIdle::Idle(void* self, org_kde_kwin_idle_timeout*) { static_cast<KdeIdle*>(self)->listener_(Report::Idle); }

void KdeIdle::Resumed(void* self, org_kde_kwin_idle_timeout*) {
  static_cast<KdeIdle*>(self)->listener_(Report::Active);
}

void KdeIdle::Arm() {
  static const org_kde_kwin_idle_timeout_listener listener = {&KdeIdle::Idle, &KdeIdle::Resumed};
  if (timer_ != nullptr) org_kde_kwin_idle_timeout_release(timer_);
  timer_ = org_kde_kwin_idle_get_idle_timeout(static_cast<org_kde_kwin_idle*>(globals_->kdeIdle), globals_->seat,
                                              static_cast<uint32_t>(timeout_.count()));
  org_kde_kwin_idle_timeout_add_listener(timer_, &listener, this);
}

bool KdeIdle::Start(const Listener& listener) {
  listener_ = listener;
  Arm();
  return wl_display_flush(globals_->display) >= 0;
}

// A new timer counts from its creation; simulate_user_activity would also
// reset every other client's idle timers, which are none of ours.
void KdeIdle::CountAgain() { Arm(); }

}  // namespace veltrane::idle
