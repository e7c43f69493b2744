// kwin_key CODE [MS]: presses the key with evdev code CODE through KWin's fake
// input, holds it for MS milliseconds (or until killed) and releases it. KWin's
// own seat reads it through the session's keymap, as a real keyboard would be.
#include <poll.h>
#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wayland-client.h>

#include "fake-input-client-protocol.h"

namespace {

org_kde_kwin_fake_input* fakeInput = nullptr;

void Global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
    fakeInput = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
  }
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistry = {Global, GlobalRemove};

volatile sig_atomic_t stopped = 0;
void Stop(int) { stopped = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kwin_key CODE [MS]\n");
    return 2;
  }
  const std::uint32_t code = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const int ms = argc > 2 ? std::atoi(argv[2]) : -1;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "kwin_key: no compositor\n");
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistry, nullptr);
  wl_display_roundtrip(display);
  if (fakeInput == nullptr) {
    std::fprintf(stderr, "kwin_key: the compositor has no org_kde_kwin_fake_input v4\n");
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(fakeInput, "veltrane tests", "type keys into the saver under test");
  org_kde_kwin_fake_input_keyboard_key(fakeInput, code, WL_KEYBOARD_KEY_STATE_PRESSED);
  wl_display_roundtrip(display);

  // Held until the time is up or we are told to stop; a lost compositor ends it too.
  struct sigaction action {};
  action.sa_handler = Stop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  pollfd fd{wl_display_get_fd(display), POLLIN, 0};
  while (!stopped && poll(&fd, 1, ms) > 0) {
    if (wl_display_dispatch(display) < 0) return 0;
  }
  org_kde_kwin_fake_input_keyboard_key(fakeInput, code, WL_KEYBOARD_KEY_STATE_RELEASED);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
