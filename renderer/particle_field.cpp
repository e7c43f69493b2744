#include "renderer/particle_field.h"

namespace veltrane {
namespace {

// The field's arithmetic is done in double from single-precision operands and
// stored back as single precision, so results are reproducible bit for bit.
float AddDouble(float base, double increment) {
  return static_cast<float>(static_cast<double>(base) + increment);
}

float DrawSpeed(RandomSource& random, int modulus, int offset) {
  return static_cast<float>(random.next() % modulus + offset);
}

float DrawTintComponent(RandomSource& random) {
  return static_cast<float>(static_cast<double>(random.next() % 100) / 100.0 +
                            static_cast<double>(kTintOffset));
}

// A particle that has passed the viewer starts again at the far end. Exactly
// four numbers are drawn; the last one is not used.
void RespawnParticle(Particle& p, RandomSource& random) {
  p.active = true;
  p.posX = 0.0f;
  p.posY = 0.0f;
  p.posZ = kStartDepth;
  p.speedX = DrawSpeed(random, 50, -25);
  p.speedY = DrawSpeed(random, 50, -25);
  p.speedZ = DrawSpeed(random, 20, 1);
  random.next();
}

}  // namespace

void SeedParticleField(ParticleField& field, RandomSource& random) {
  for (Particle& p : field.particles) {
    p.active = true;
    p.posX = 0.0f;
    p.posY = 0.0f;
    p.posZ = kStartDepth;
    p.speedX = DrawSpeed(random, 50, -25);
    p.speedY = DrawSpeed(random, 50, -25);
    // The depth speed at seeding comes from the lateral range, so some particles
    // stand still or recede for good.
    p.speedZ = DrawSpeed(random, 50, -25);
  }
  field.tint = Tint{0.5f, 0.1f, 0.9f};
}

const DrawOpList& StepParticleField(ParticleField& field, RandomSource& random,
                                    std::int64_t nowSeconds, DrawOpList& ops) {
  // The tint draws continue from where the previous frame left the generator.
  field.frameCounter += 1;
  if (field.frameCounter == kTintPeriod) {
    field.tint.red = DrawTintComponent(random);
    field.tint.green = DrawTintComponent(random);
    field.tint.blue = DrawTintComponent(random);
    field.frameCounter = 0;
  }

  random.seed(static_cast<std::uint32_t>(static_cast<std::uint64_t>(nowSeconds)));

  ops.clear();
  ops.push({DrawOpKind::Clear});
  ops.push({DrawOpKind::LoadIdentity});
  ops.push({DrawOpKind::BindSprite});
  ops.push({DrawOpKind::Colour, field.tint.red, field.tint.green, field.tint.blue, 1.0f});

  const double lateralDivisor = kSpeedDivisor * kLateralScale;
  const double depthDivisor = kSpeedDivisor * kDepthScale;
  const float angle = field.spinAngle;
  for (Particle& p : field.particles) {
    if (!p.active) continue;
    ops.push({DrawOpKind::RotateZ, angle});
    ops.push({DrawOpKind::Quad, p.posX, p.posY, p.posZ});
    p.posX = AddDouble(p.posX, static_cast<double>(p.speedX) / lateralDivisor);
    p.posY = AddDouble(p.posY, static_cast<double>(p.speedY) / lateralDivisor);
    p.posZ = AddDouble(p.posZ, static_cast<double>(p.speedZ) / depthDivisor);
    // A z that is not a number compares false and so never counts as passed.
    if (p.posZ >= kRespawnThreshold) RespawnParticle(p, random);
  }

  field.spinAngle = AddDouble(field.spinAngle, static_cast<double>(kSpinIncrement));
  return ops;
}

}  // namespace veltrane
