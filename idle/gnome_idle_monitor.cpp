#include "idle/gnome_idle_monitor.h"

#include <poll.h>
#include <systemd/sd-bus.h>

#include <cstring>

namespace veltrane::idle {

namespace {

constexpr const char* kMonitorName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
// The session manager's inhibit flag for "idle".
constexpr std::uint32_t kInhibitIdle = 8;
// Every bus call waits at most this long: a hung peer must not hang the launcher.
constexpr std::uint64_t kCallLimitUs = 5'000'000;

// A method call that never starts a service by bus activation.
int Call(sd_bus* bus, const char* destination, const char* path, const char* interface, const char* member,
         sd_bus_message** reply, const char* types = nullptr, ...) {
  sd_bus_message* m = nullptr;
  int r = sd_bus_message_new_method_call(bus, &m, destination, path, interface, member);
  if (r < 0) return r;
  sd_bus_message_set_auto_start(m, 0);
  if (types != nullptr) {
    va_list ap;
    va_start(ap, types);
    r = sd_bus_message_appendv(m, types, ap);
    va_end(ap);
  }
  if (r >= 0) r = sd_bus_call(bus, m, kCallLimitUs, nullptr, reply);
  sd_bus_message_unref(m);
  return r;
}

}  // namespace

std::unique_ptr<GnomeIdleMonitor> GnomeIdleMonitor::Connect(std::chrono::milliseconds timeout) {
  // Only a bus the session already has: sd-bus never launches one.
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return nullptr;
  sd_bus_message* reply = nullptr;
  const char* owner = nullptr;
  if (Call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner", &reply, "s",
           kMonitorName) < 0 ||
      sd_bus_message_read(reply, "s", &owner) < 0) {
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return nullptr;
  }
  std::string unique = owner;
  sd_bus_message_unref(reply);
  return std::unique_ptr<GnomeIdleMonitor>(new GnomeIdleMonitor(bus, unique, timeout));
}

GnomeIdleMonitor::GnomeIdleMonitor(sd_bus* bus, std::string owner, std::chrono::milliseconds timeout)
    : bus_(bus), owner_(std::move(owner)), timeout_(timeout) {}

GnomeIdleMonitor::~GnomeIdleMonitor() {
  if (!lost_) {
    RemoveWatch(idleWatch_);
    RemoveWatch(activeWatch_);
  }
  sd_bus_slot_unref(signals_);
  sd_bus_flush_close_unref(bus_);
}

bool GnomeIdleMonitor::Start(const Listener& listener) {
  listener_ = listener;
  // WatchFired is sent to this connection alone; the IdleMonitor leaving the bus
  // (the shell has ended) is the session gone.
  if (sd_bus_add_filter(
          bus_, &signals_, [](sd_bus_message* m, void* self, sd_bus_error*) { return OnSignal(m, self); }, this) < 0)
    return false;
  if (sd_bus_add_match(bus_, nullptr,
                       "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                       "member='NameOwnerChanged',arg0='org.gnome.Mutter.IdleMonitor'",
                       nullptr, nullptr) < 0)
    return false;
  return Arm(0, false);
}

int GnomeIdleMonitor::OnSignal(sd_bus_message* m, void* data) {
  auto* self = static_cast<GnomeIdleMonitor*>(data);
  if (sd_bus_message_is_signal(m, "org.freedesktop.DBus", "NameOwnerChanged")) {
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &before, &after) >= 0 && name != nullptr &&
        std::strcmp(name, kMonitorName) == 0 && after != nullptr && self->owner_ != after)
      self->lost_ = true;
    return 0;
  }
  if (!sd_bus_message_is_signal(m, kMonitorName, "WatchFired")) return 0;
  const char* sender = sd_bus_message_get_sender(m);
  const char* path = sd_bus_message_get_path(m);
  if (sender == nullptr || self->owner_ != sender || path == nullptr || std::strcmp(path, kMonitorPath) != 0)
    return 0;
  std::uint32_t id = 0;
  if (sd_bus_message_read(m, "u", &id) < 0 || id == 0) return 0;
  if (id == self->idleWatch_) {
    // An idle watch fires once per idle period; the next input ends the period.
    self->Arm(0, true);
    self->listener_(Report::Idle);
  } else if (id == self->activeWatch_) {
    self->activeWatch_ = 0;  // user-active watches fire once and are gone
    // After a count from the saver's end, the plain time-out holds again.
    self->Arm(self->timeout_.count(), false);
    self->listener_(Report::Active);
  }
  return 0;
}

bool GnomeIdleMonitor::Arm(std::uint64_t after, bool watchActivity) {
  if (after != 0 || idleWatch_ == 0) {
    RemoveWatch(idleWatch_);
    sd_bus_message* reply = nullptr;
    const std::uint64_t at = after != 0 ? after : static_cast<std::uint64_t>(timeout_.count());
    if (Call(bus_, owner_.c_str(), kMonitorPath, kMonitorName, "AddIdleWatch", &reply, "t", at) < 0 ||
        sd_bus_message_read(reply, "u", &idleWatch_) < 0) {
      sd_bus_message_unref(reply);
      return false;
    }
    sd_bus_message_unref(reply);
  }
  if (watchActivity && activeWatch_ == 0) {
    sd_bus_message* reply = nullptr;
    if (Call(bus_, owner_.c_str(), kMonitorPath, kMonitorName, "AddUserActiveWatch", &reply) < 0 ||
        sd_bus_message_read(reply, "u", &activeWatch_) < 0) {
      sd_bus_message_unref(reply);
      return false;
    }
    sd_bus_message_unref(reply);
  }
  return true;
}

void GnomeIdleMonitor::RemoveWatch(std::uint32_t& id) {
  if (id == 0) return;
  sd_bus_message* reply = nullptr;
  Call(bus_, owner_.c_str(), kMonitorPath, kMonitorName, "RemoveWatch", &reply, "u", id);
  sd_bus_message_unref(reply);
  id = 0;
}

int GnomeIdleMonitor::Fd() const { return sd_bus_get_fd(bus_); }

short GnomeIdleMonitor::PrepareWait(int& timeoutMs) {
  sd_bus_flush(bus_);
  std::uint64_t until = 0;
  timeoutMs = -1;
  // sd-bus names a time only while a call of its own is in flight.
  if (sd_bus_get_timeout(bus_, &until) > 0 && until != UINT64_MAX) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
    timeoutMs = until > nowUs ? static_cast<int>((until - nowUs + 999) / 1000) : 0;
  }
  const int events = sd_bus_get_events(bus_);
  return static_cast<short>(events < 0 ? POLLIN : events);
}

bool GnomeIdleMonitor::Dispatch() {
  for (;;) {
    const int r = sd_bus_process(bus_, nullptr);
    if (r < 0 || lost_) {
      lost_ = true;
      return false;
    }
    if (r == 0) return true;
  }
}

bool GnomeIdleMonitor::Inhibited() {
  sd_bus_message* reply = nullptr;
  int inhibited = 0;
  // No session manager on the bus: nothing can be held there.
  if (Call(bus_, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager", "IsInhibited",
           &reply, "u", kInhibitIdle) < 0 ||
      sd_bus_message_read(reply, "b", &inhibited) < 0)
    inhibited = 0;
  sd_bus_message_unref(reply);
  return inhibited != 0;
}

void GnomeIdleMonitor::CountAgain() {
  // The idle time goes on through the saver's run when it ended without input:
  // count the time-out from now, and from the next input on as usual.
  sd_bus_message* reply = nullptr;
  std::uint64_t idleMs = 0;
  if (Call(bus_, owner_.c_str(), kMonitorPath, kMonitorName, "GetIdletime", &reply) < 0 ||
      sd_bus_message_read(reply, "t", &idleMs) < 0)
    idleMs = 0;
  sd_bus_message_unref(reply);
  Arm(idleMs + static_cast<std::uint64_t>(timeout_.count()), true);
}

}  // namespace veltrane::idle
