// The fire's per-frame work on the dialog's 468 x 244 grid: one update pass,
// early (letters on a cold grid) and once the glow has grown over the surface,
// and the sampling of a drawn picture into the grid.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "saver/dialog/logo_fire.h"
#ifdef VELTRANE_BENCH_RUNTIME_RANDOM
#include "saver/runtime/clock_random.h"
#endif

namespace {

constexpr int kW = 468;
constexpr int kH = 244;

class XorShiftRandom : public veltrane::FireRandom {
 public:
  float Next() override {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<float>(state_ >> 40) * (1.0f / 16777216.0f);
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// A block of "letters" across the middle, like the logo text's extent.
std::vector<bool> LogoMask() {
  std::vector<bool> lit(static_cast<std::size_t>(kW) * kH, false);
  for (int y = 106; y < 138; ++y)
    for (int x = 110; x < 358; ++x)
      if ((x / 3 + y / 4) % 3 == 0) lit[static_cast<std::size_t>(y) * kW + x] = true;
  return lit;
}

veltrane::LogoFire SampledFire() {
  veltrane::LogoFire fire;
  fire.Initialize();
  fire.Recreate(kW, kH);
  auto lit = LogoMask();
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (lit[static_cast<std::size_t>(y) * kW + x]) fire.MarkText(x, y);
  return fire;
}

void BM_UpdatePassFirstFrames(benchmark::State& state) {
  XorShiftRandom random;
  veltrane::LogoFire fire = SampledFire();
  const veltrane::LogoFire start = fire;
  int frames = 0;
  for (auto _ : state) {
    if (++frames == 20) {  // stay in the early, mostly cold state
      state.PauseTiming();
      fire = start;
      frames = 0;
      state.ResumeTiming();
    }
    fire.UpdatePass(random);
    benchmark::DoNotOptimize(fire.heat.data());
  }
  state.counters["cells/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * (kW - 3) * (kH - 2), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UpdatePassFirstFrames)->Unit(benchmark::kMicrosecond);

void BM_UpdatePassGrownGlow(benchmark::State& state) {
  XorShiftRandom random;
  veltrane::LogoFire fire = SampledFire();
  for (int i = 0; i < 2000; ++i) fire.UpdatePass(random);  // noise on nearly every cell
  for (auto _ : state) {
    fire.UpdatePass(random);
    benchmark::DoNotOptimize(fire.heat.data());
  }
  state.counters["cells/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * (kW - 3) * (kH - 2), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UpdatePassGrownGlow)->Unit(benchmark::kMicrosecond);

#ifdef VELTRANE_BENCH_RUNTIME_RANDOM
// The same with the form runtime's generator, re-seeded from the clock each
// frame, as the dialog runs it.
class RuntimeRandom : public veltrane::FireRandom {
 public:
  float Next() override { return veltrane::vb::Rnd(); }
};

void BM_FramePassWithRuntimeGenerator(benchmark::State& state) {
  RuntimeRandom random;
  veltrane::LogoFire fire = SampledFire();
  for (int i = 0; i < 2000; ++i) fire.UpdatePass(random);
  for (auto _ : state) {
    veltrane::vb::Randomize(veltrane::vb::SecondsSinceMidnight());
    fire.UpdatePass(random);
    benchmark::DoNotOptimize(fire.heat.data());
  }
}
BENCHMARK(BM_FramePassWithRuntimeGenerator)->Unit(benchmark::kMicrosecond);
#endif

// Sampling on the buffers alone (the dialog reads each pixel from its image first).
void BM_SampleLogo(benchmark::State& state) {
  auto lit = LogoMask();
  veltrane::LogoFire fire;
  fire.Initialize();
  for (auto _ : state) {
    fire.Recreate(kW, kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (lit[static_cast<std::size_t>(y) * kW + x]) fire.MarkText(x, y);
    benchmark::DoNotOptimize(fire.heat.data());
  }
}
BENCHMARK(BM_SampleLogo)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
