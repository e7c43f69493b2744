// veltrane_hold_inhibit: holds an org.freedesktop.ScreenSaver inhibit on the
// session bus, as a video player does while it plays, until it is ended. Prints
// "held" once the inhibit is in place.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>

int main() {
  sd_bus* bus = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int r = sd_bus_open_user(&bus);
  if (r >= 0)
    r = sd_bus_call_method(bus, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                           "org.freedesktop.ScreenSaver", "Inhibit", &error, &reply, "ss", "video player", "playing");
  if (r < 0) {
    std::fprintf(stderr, "veltrane_hold_inhibit: %s\n", error.message ? error.message : std::strerror(-r));
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  // The inhibit lasts as long as this connection.
  for (;;) {
    if (sd_bus_process(bus, nullptr) < 0) return 0;
    if (sd_bus_wait(bus, UINT64_MAX) < 0) return 0;
  }
}
