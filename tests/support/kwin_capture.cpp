// kwin_capture FILE: saves KWin's whole workspace as a binary PPM, through
// org.kde.KWin.ScreenShot2 on the session bus (KWin must run with
// KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 for a client that is not Plasma's).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <systemd/sd-bus.h>

namespace {

int Fail(const char* what, int error) {
  std::fprintf(stderr, "kwin_capture: %s: %s\n", what, std::strerror(error < 0 ? -error : error));
  return 1;
}

// The answer is a{sv}; we need width, height, stride (all u) and format (u, a QImage format).
int ReadResults(sd_bus_message* reply, std::uint32_t& width, std::uint32_t& height, std::uint32_t& stride,
                std::uint32_t& format) {
  int r = sd_bus_message_enter_container(reply, 'a', "{sv}");
  if (r < 0) return r;
  while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
    const char* key = nullptr;
    if ((r = sd_bus_message_read(reply, "s", &key)) < 0) return r;
    std::uint32_t* target = std::strcmp(key, "width") == 0    ? &width
                            : std::strcmp(key, "height") == 0 ? &height
                            : std::strcmp(key, "stride") == 0 ? &stride
                            : std::strcmp(key, "format") == 0 ? &format
                                                              : nullptr;
    if (target != nullptr) {
      r = sd_bus_message_read(reply, "v", "u", target);
    } else {
      r = sd_bus_message_skip(reply, "v");
    }
    if (r < 0) return r;
    if ((r = sd_bus_message_exit_container(reply)) < 0) return r;
  }
  if (r < 0) return r;
  return sd_bus_message_exit_container(reply);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kwin_capture FILE.ppm\n");
    return 2;
  }
  sd_bus* bus = nullptr;
  int r = sd_bus_open_user(&bus);
  if (r < 0) return Fail("session bus", r);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return Fail("pipe", errno);

  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  r = sd_bus_message_new_method_call(bus, &call, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                     "org.kde.KWin.ScreenShot2", "CaptureWorkspace");
  if (r >= 0) r = sd_bus_message_append(call, "a{sv}h", 1, "native-resolution", "b", 1, fds[1]);
  if (r >= 0) r = sd_bus_call(bus, call, 20 * 1000000ULL, &error, &reply);
  // The message holds a copy of the write end: the read below ends only once every copy is closed.
  sd_bus_message_unref(call);
  close(fds[1]);
  if (r < 0) {
    std::fprintf(stderr, "kwin_capture: %s\n", error.message != nullptr ? error.message : std::strerror(-r));
    return 1;
  }
  std::uint32_t width = 0, height = 0, stride = 0, format = 0;
  if ((r = ReadResults(reply, width, height, stride, format)) < 0) return Fail("answer", r);

  std::vector<unsigned char> data;
  unsigned char chunk[65536];
  for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("read", errno);
    }
    data.insert(data.end(), chunk, chunk + n);
  }
  // QImage's 32-bit RGB formats (4, 5, 6) are 0xAARRGGBB words: B, G, R, A in memory.
  if ((format != 4 && format != 5 && format != 6) || stride < width * 4 || data.size() < std::size_t{stride} * height) {
    std::fprintf(stderr, "kwin_capture: unexpected image: format %u, %ux%u, stride %u, %zu bytes\n", format, width,
                 height, stride, data.size());
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << "P6\n" << width << ' ' << height << "\n255\n";
  for (std::uint32_t y = 0; y < height; ++y) {
    const unsigned char* row = data.data() + std::size_t{stride} * y;
    for (std::uint32_t x = 0; x < width; ++x) {
      const unsigned char rgb[3] = {row[x * 4 + 2], row[x * 4 + 1], row[x * 4]};
      out.write(reinterpret_cast<const char*>(rgb), 3);
    }
  }
  sd_bus_message_unref(reply);
  sd_bus_unref(bus);
  return out ? 0 : 1;
}
