// Time of one frame step (5000 particles, 10004 operations) and of a seeding.
#include <benchmark/benchmark.h>

#include <memory>

#include "renderer/particle_field.h"

namespace {

using namespace veltrane;

void BM_StepParticleField(benchmark::State& state) {
  auto field = std::make_unique<ParticleField>();
  RandomSource random;
  SeedParticleField(*field, random);
  DrawOpList ops;
  std::int64_t frame = 0;
  // Run into the steady stream first, where particles respawn every frame.
  for (; frame < 500; ++frame) StepParticleField(*field, random, 1700000000 + frame / 60, ops);
  for (auto _ : state) {
    const DrawOpList& out = StepParticleField(*field, random, 1700000000 + frame / 60, ops);
    benchmark::DoNotOptimize(out.begin());
    ++frame;
  }
  state.SetItemsProcessed(state.iterations() * kParticleCount);
}
BENCHMARK(BM_StepParticleField)->Unit(benchmark::kMicrosecond);

void BM_SeedParticleField(benchmark::State& state) {
  auto field = std::make_unique<ParticleField>();
  RandomSource random;
  for (auto _ : state) {
    SeedParticleField(*field, random);
    benchmark::DoNotOptimize(field->particles[0].speedZ);
  }
}
BENCHMARK(BM_SeedParticleField)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
