// org_kde_kwin_idle: the older idle clock, the only one of sway 1.7.
#pragma once

#include "idle/wayland_idle.h"

struct org_kde_kwin_idle_timeout;

namespace veltrane::idle {

class KdeIdle : public WaylandIdleSource {
 public:
  // Null when the compositor has no org_kde_kwin_idle.
  static std::unique_ptr<KdeIdle> Take(std::unique_ptr<WaylandGlobals>& globals, std::chrono::milliseconds timeout);
  ~KdeIdle() override;
  std::string Name() const override { return "org_kde_kwin_idle"; }
  bool Start(const Listener& listener) override;
  void CountAgain() override;

 private:
  using WaylandIdleSource::WaylandIdleSource;
  void Arm();
  static void Idle(void* self, org_kde_kwin_idle_timeout*);
  static void Resumed(void* self, org_kde_kwin_idle_timeout*);
  org_kde_kwin_idle_timeout* timer_ = nullptr;
};

}  // namespace veltrane::idle
