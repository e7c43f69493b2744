// The clock in seconds since midnight and the re-seedable random generator.
#pragma once

#include <cstdint>

namespace veltrane::vb {

// Seconds since local midnight, single precision.
float SecondsSinceMidnight();

// Uniform values in [0, 1) from a 24-bit linear congruential generator.
float Rnd();
// Re-seeds the generator from `seed` (the clock, as the frame loop does); the
// same seed always starts the same sequence.
void Randomize(double seed);
// The generator's state, for tests.
std::uint32_t RndState();

}  // namespace veltrane::vb
