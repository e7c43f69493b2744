// ext-idle-notify-v1: the idle clock of wlroots compositors, KWin, Hyprland,
// niri and COSMIC.
#pragma once

#include "idle/wayland_idle.h"

struct ext_idle_notification_v1;

namespace veltrane::idle {

class ExtIdleNotify : public WaylandIdleSource {
 public:
  // Null when the compositor has no ext_idle_notifier_v1 (the globals are kept
  // in `globals` for the next source to try).
  static std::unique_ptr<ExtIdleNotify> Take(std::unique_ptr<WaylandGlobals>& globals,
                                             std::chrono::milliseconds timeout);
  ~ExtIdleNotify() override;
  std::string Name() const override { return "ext-idle-notify-v1"; }
  bool Start(const Listener& listener) override;
  void CountAgain() override;

 private:
  using WaylandIdleSource::WaylandIdleSource;
  void Arm();
  static void Idled(void* self, ext_idle_notification_v1*);
  static void Resumed(void* self, ext_idle_notification_v1*);
  ext_idle_notification_v1* notification_ = nullptr;
};

}  // namespace veltrane::idle
