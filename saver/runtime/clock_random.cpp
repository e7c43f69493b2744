#include "saver/runtime/clock_random.h"

#include <chrono>
#include <cstring>
#include <ctime>

namespace veltrane::vb {

namespace {
std::uint32_t g_state = 0x50000;
}

float SecondsSinceMidnight() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  double sub = duration<double>(now.time_since_epoch()).count() - static_cast<double>(t);
  if (sub < 0) sub = 0;
  return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + sub);
}

float Rnd() {
  g_state = (g_state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
  return static_cast<float>(g_state) / 16777216.0f;
}

void Randomize(double seed) {
  // Every bit of the seed counts, so clock readings a millisecond apart give
  // different sequences, and the same seed always gives the same sequence.
  std::uint64_t bits;
  std::memcpy(&bits, &seed, sizeof bits);
  auto folded = static_cast<std::uint32_t>(bits ^ (bits >> 32));
  g_state = (folded ^ (folded >> 24)) & 0xFFFFFFu;
}

std::uint32_t RndState() { return g_state; }

}  // namespace veltrane::vb
