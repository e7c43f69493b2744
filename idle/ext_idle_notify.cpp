#include "idle/ext_idle_notify.h"

#include <wayland-client.h>

#include "ext-idle-notify-v1-client-protocol.h"

namespace veltrane::idle {

std::unique_ptr<ExtIdleNotify> ExtIdleNotify::Take(std::unique_ptr<WaylandGlobals>& globals,
                                                   std::chrono::milliseconds timeout) {
  if (!globals || globals->extNotifier == nullptr || globals->seat == nullptr) return nullptr;
  return std::unique_ptr<ExtIdleNotify>(new ExtIdleNotify(std::move(globals), timeout));
}

ExtIdleNotify::~ExtIdleNotify() {
  if (notification_ != nullptr) ext_idle_notification_v1_destroy(notification_);
}

void ExtIdleNotify::Idled(void* self, ext_idle_notification_v1*) {
  static_cast<ExtIdleNotify*>(self)->listener_(Report::Idle);
}

void ExtIdleNotify::Resumed(void* self, ext_idle_notification_v1*) {
  static_cast<ExtIdleNotify*>(self)->listener_(Report::Active);
}

void ExtIdleNotify::Arm() {
  static const ext_idle_notification_v1_listener listener = {&ExtIdleNotify::Idled, &ExtIdleNotify::Resumed};
  if (notification_ != nullptr) ext_idle_notification_v1_destroy(notification_);
  // Version 1's notification honours idle inhibitors (the input-only kind of
  // version 2 would not).
  notification_ = ext_idle_notifier_v1_get_idle_notification(
      static_cast<ext_idle_notifier_v1*>(globals_->extNotifier), static_cast<uint32_t>(timeout_.count()),
      globals_->seat);
  ext_idle_notification_v1_add_listener(notification_, &listener, this);
}

bool ExtIdleNotify::Start(const Listener& listener) {
  listener_ = listener;
  Arm();
  return wl_display_flush(globals_->display) >= 0;
}

// A new notification counts its time-out from its creation.
void ExtIdleNotify::CountAgain() { Arm(); }

}  // namespace veltrane::idle
