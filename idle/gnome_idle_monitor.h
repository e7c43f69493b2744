// GNOME's idle clock: org.gnome.Mutter.IdleMonitor on the session bus (GNOME on
// Wayland and on Xorg), with the session manager's idle inhibit asked when the
// time-out fires.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "idle/idle_source.h"

struct sd_bus;
struct sd_bus_slot;
struct sd_bus_message;

namespace veltrane::idle {

class GnomeIdleMonitor : public IdleSource {
 public:
  // Null when the session bus cannot be reached or no IdleMonitor is on it.
  static std::unique_ptr<GnomeIdleMonitor> Connect(std::chrono::milliseconds timeout);
  ~GnomeIdleMonitor() override;

  std::string Name() const override { return "org.gnome.Mutter.IdleMonitor"; }
  bool Start(const Listener& listener) override;
  int Fd() const override;
  short PrepareWait(int& timeoutMs) override;
  bool Dispatch() override;
  bool Inhibited() override;
  void CountAgain() override;

 private:
  GnomeIdleMonitor(sd_bus* bus, std::string owner, std::chrono::milliseconds timeout);
  static int OnSignal(sd_bus_message* m, void* self);
  // Puts the idle watch at `after` ms of idle time (removing the previous one)
  // and, when `watchActivity`, a one-shot watch for the next input.
  bool Arm(std::uint64_t after, bool watchActivity);
  void RemoveWatch(std::uint32_t& id);

  sd_bus* bus_;
  sd_bus_slot* signals_ = nullptr;
  std::string owner_;  // the IdleMonitor's unique name: WatchFired comes from it
  std::chrono::milliseconds timeout_;
  Listener listener_;
  std::uint32_t idleWatch_ = 0, activeWatch_ = 0;
  bool lost_ = false;
};

}  // namespace veltrane::idle
