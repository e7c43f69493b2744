// veltrane_gnome_key KEYSYM HOLD-MS: presses the key named KEYSYM (an X keysym
// name such as Escape) on gnome-shell's virtual keyboard, holds it HOLD-MS
// milliseconds and lets it go. mutter ends a remote-desktop session when the
// connection that made it closes, so the session lives in this one process.
#include <X11/Xlib.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";

int Fail(const char* what, int r, const sd_bus_error* error = nullptr) {
  std::fprintf(stderr, "veltrane_gnome_key: %s: %s\n", what,
               error && error->message ? error->message : std::strerror(-r));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: veltrane_gnome_key KEYSYM HOLD-MS\n");
    return 2;
  }
  const KeySym keysym = XStringToKeysym(argv[1]);
  if (keysym == NoSymbol) return Fail("unknown keysym", -EINVAL);
  const long hold = std::strtol(argv[2], nullptr, 10);

  sd_bus* bus = nullptr;
  if (int r = sd_bus_open_user(&bus); r < 0) return Fail("no session bus", r);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  if (int r = sd_bus_call_method(bus, kService, "/org/gnome/Mutter/RemoteDesktop", kService, "CreateSession", &error,
                                 &reply, "");
      r < 0)
    return Fail("CreateSession", r, &error);
  const char* found = nullptr;
  if (int r = sd_bus_message_read(reply, "o", &found); r < 0) return Fail("CreateSession's answer", r);
  const std::string session = found;
  sd_bus_message_unref(reply);

  const std::string iface = std::string(kService) + ".Session";
  if (int r = sd_bus_call_method(bus, kService, session.c_str(), iface.c_str(), "Start", &error, nullptr, ""); r < 0)
    return Fail("Start", r, &error);
  for (int pressed : {1, 0}) {
    if (int r = sd_bus_call_method(bus, kService, session.c_str(), iface.c_str(), "NotifyKeyboardKeysym", &error,
                                   nullptr, "ub", static_cast<unsigned>(keysym), pressed);
        r < 0)
      return Fail("NotifyKeyboardKeysym", r, &error);
    if (pressed) usleep(static_cast<useconds_t>(hold) * 1000);
  }
  sd_bus_call_method(bus, kService, session.c_str(), iface.c_str(), "Stop", &error, nullptr, "");
  sd_bus_flush_close_unref(bus);
  return 0;
}
