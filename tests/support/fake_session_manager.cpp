// veltrane_fake_session_manager: stands in on a private session bus for GNOME's
// settings daemon (org.freedesktop.ScreenSaver) and session manager
// (org.gnome.SessionManager), which do not run headless. Both names share one
// list of inhibits, as the settings daemon forwards ScreenSaver.Inhibit to the
// session manager with the idle flag. An inhibit goes when its holder releases it
// or leaves the bus. Tests read the list with GetInhibitors or IsInhibited; every
// change is also printed as one line, "inhibits N".
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kIdleFlag = 8;

struct Inhibit {
  std::string holder;  // the caller's unique bus name
  std::uint32_t flags = 0;
};

std::map<std::uint32_t, Inhibit> inhibits;
std::uint32_t lastCookie = 0;

void Report() {
  std::printf("inhibits %zu\n", inhibits.size());
  std::fflush(stdout);
}

std::uint32_t Add(sd_bus_message* m, std::uint32_t flags) {
  inhibits[++lastCookie] = Inhibit{sd_bus_message_get_sender(m), flags};
  Report();
  return lastCookie;
}

int Remove(sd_bus_message* m, std::uint32_t cookie) {
  if (inhibits.erase(cookie) == 0)
    return sd_bus_reply_method_errorf(m, "org.freedesktop.DBus.Error.InvalidArgs", "no inhibit %u", cookie);
  Report();
  return sd_bus_reply_method_return(m, "");
}

// org.freedesktop.ScreenSaver

int ScreenSaverInhibit(sd_bus_message* m, void*, sd_bus_error*) {
  const char *app = nullptr, *reason = nullptr;
  if (int r = sd_bus_message_read(m, "ss", &app, &reason); r < 0) return r;
  return sd_bus_reply_method_return(m, "u", Add(m, kIdleFlag));
}

int ScreenSaverUnInhibit(sd_bus_message* m, void*, sd_bus_error*) {
  std::uint32_t cookie = 0;
  if (int r = sd_bus_message_read(m, "u", &cookie); r < 0) return r;
  return Remove(m, cookie);
}

// org.gnome.SessionManager

int SessionInhibit(sd_bus_message* m, void*, sd_bus_error*) {
  const char *app = nullptr, *reason = nullptr;
  std::uint32_t xid = 0, flags = 0;
  if (int r = sd_bus_message_read(m, "susu", &app, &xid, &reason, &flags); r < 0) return r;
  return sd_bus_reply_method_return(m, "u", Add(m, flags));
}

int SessionIsInhibited(sd_bus_message* m, void*, sd_bus_error*) {
  std::uint32_t flags = 0;
  if (int r = sd_bus_message_read(m, "u", &flags); r < 0) return r;
  bool any = false;
  for (const auto& [cookie, inhibit] : inhibits) any = any || (inhibit.flags & flags) != 0;
  return sd_bus_reply_method_return(m, "b", any);
}

int SessionGetInhibitors(sd_bus_message* m, void*, sd_bus_error*) {
  std::vector<std::string> paths;
  for (const auto& [cookie, inhibit] : inhibits) paths.push_back("/org/gnome/SessionManager/Inhibitor" + std::to_string(cookie));
  sd_bus_message* reply = nullptr;
  int r = sd_bus_message_new_method_return(m, &reply);
  if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "o");
  for (const std::string& path : paths)
    if (r >= 0) r = sd_bus_message_append(reply, "o", path.c_str());
  if (r >= 0) r = sd_bus_message_close_container(reply);
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r;
}

// A caller that leaves the bus takes its inhibits with it.
int NameOwnerChanged(sd_bus_message* m, void*, sd_bus_error*) {
  const char *name = nullptr, *oldOwner = nullptr, *newOwner = nullptr;
  if (sd_bus_message_read(m, "sss", &name, &oldOwner, &newOwner) < 0 || newOwner[0] != '\0') return 0;
  if (std::erase_if(inhibits, [&](const auto& entry) { return entry.second.holder == name; }) > 0) Report();
  return 0;
}

const sd_bus_vtable kScreenSaver[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ss", "u", ScreenSaverInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("UnInhibit", "u", "", ScreenSaverUnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kSessionManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "susu", "u", SessionInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Uninhibit", "u", "", ScreenSaverUnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("IsInhibited", "u", "b", SessionIsInhibited, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetInhibitors", "", "ao", SessionGetInhibitors, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

int Fail(const char* what, int r) {
  std::fprintf(stderr, "veltrane_fake_session_manager: %s: %s\n", what, std::strerror(-r));
  return 1;
}

}  // namespace

int main() {
  sd_bus* bus = nullptr;
  if (int r = sd_bus_open_user(&bus); r < 0) return Fail("no session bus", r);
  // KDE's clients call /ScreenSaver, the others /org/freedesktop/ScreenSaver; the
  // settings daemon answers on both.
  for (const char* path : {"/org/freedesktop/ScreenSaver", "/ScreenSaver"})
    if (int r = sd_bus_add_object_vtable(bus, nullptr, path, "org.freedesktop.ScreenSaver", kScreenSaver, nullptr); r < 0)
      return Fail("object", r);
  if (int r = sd_bus_add_object_vtable(bus, nullptr, "/org/gnome/SessionManager", "org.gnome.SessionManager",
                                       kSessionManager, nullptr);
      r < 0)
    return Fail("object", r);
  if (int r = sd_bus_match_signal(bus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "NameOwnerChanged", NameOwnerChanged, nullptr);
      r < 0)
    return Fail("match", r);
  // The names last: a caller that sees them finds the objects in place.
  for (const char* name : {"org.freedesktop.ScreenSaver", "org.gnome.SessionManager"})
    if (int r = sd_bus_request_name(bus, name, 0); r < 0) return Fail(name, r);
  Report();
  for (;;) {
    int r = sd_bus_process(bus, nullptr);
    if (r < 0) return Fail("bus", r);
    if (r > 0) continue;
    if ((r = sd_bus_wait(bus, UINT64_MAX)) < 0) return Fail("wait", r);
  }
}
