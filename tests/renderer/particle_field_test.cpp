#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "renderer/particle_field.h"

namespace veltrane {
namespace {

// The field is 140 KB; keep it off the stack.
std::unique_ptr<ParticleField> SeededField(RandomSource& random) {
  auto field = std::make_unique<ParticleField>();
  SeedParticleField(*field, random);
  return field;
}

RandomSource SeededAt(std::uint32_t seed, int draws = 0) {
  RandomSource r;
  r.seed(seed);
  for (int i = 0; i < draws; ++i) r.next();
  return r;
}

// Parks every particle far away so that a step respawns none of them.
void ParkAll(ParticleField& field) {
  for (Particle& p : field.particles) {
    p.posZ = -100.0f;
    p.speedZ = 0.0f;
  }
}

TEST(RandomSourceTest, StartsAtStateOneAndFollowsTheCRuntimeSequence) {
  RandomSource r;
  EXPECT_EQ(r.state(), 1u);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int e : expected) EXPECT_EQ(r.next(), e);
  r.seed(1);
  EXPECT_EQ(r.next(), 41);
}

TEST(SeedParticleFieldTest, StartFieldIsTheSameOnEveryRun) {
  RandomSource random;
  auto field = SeededField(random);
  auto speeds = [&](int i) {
    const Particle& p = field->particles[i];
    return std::vector<float>{p.speedX, p.speedY, p.speedZ};
  };
  EXPECT_EQ(speeds(0), (std::vector<float>{16, -8, 9}));
  EXPECT_EQ(speeds(1), (std::vector<float>{-25, -6, -1}));
  EXPECT_EQ(speeds(2), (std::vector<float>{3, -17, -13}));

  int positive = 0, zero = 0, negative = 0;
  for (const Particle& p : field->particles) {
    ASSERT_TRUE(p.active);
    ASSERT_EQ(p.posX, 0.0f);
    ASSERT_EQ(p.posY, 0.0f);
    ASSERT_EQ(p.posZ, -100.0f);
    for (float s : {p.speedX, p.speedY, p.speedZ}) {
      ASSERT_GE(s, -25.0f);
      ASSERT_LE(s, 24.0f);
      ASSERT_EQ(s, std::floor(s));
    }
    (p.speedZ > 0 ? positive : p.speedZ == 0 ? zero : negative)++;
  }
  EXPECT_EQ(positive, 2404);
  EXPECT_EQ(zero, 99);
  EXPECT_EQ(negative, 2497);
  EXPECT_EQ(field->tint.red, 0.5f);
  EXPECT_EQ(field->tint.green, 0.1f);
  EXPECT_EQ(field->tint.blue, 0.9f);

  // Exactly 15000 draws, continuing the generator without reseeding it.
  EXPECT_EQ(random.state(), SeededAt(1, 15000).state());
}

TEST(StepParticleFieldTest, FirstFramesOperationsInOrder) {
  RandomSource random;
  auto field = SeededField(random);
  const Particle p0 = field->particles[0];
  DrawOpList ops;
  StepParticleField(*field, random, 1234, ops);

  ASSERT_EQ(ops.size(), kDrawOpCapacity);
  ASSERT_EQ(ops.size(), 10004u);
  EXPECT_EQ(ops[0].kind, DrawOpKind::Clear);
  EXPECT_EQ(ops[1].kind, DrawOpKind::LoadIdentity);
  EXPECT_EQ(ops[2].kind, DrawOpKind::BindSprite);
  ASSERT_EQ(ops[3].kind, DrawOpKind::Colour);
  EXPECT_EQ(ops[3].a, 0.5f);
  EXPECT_EQ(ops[3].b, 0.1f);
  EXPECT_EQ(ops[3].c, 0.9f);
  EXPECT_EQ(ops[3].d, 1.0f);
  for (std::size_t i = 4; i < ops.size(); i += 2) {
    ASSERT_EQ(ops[i].kind, DrawOpKind::RotateZ);
    ASSERT_EQ(ops[i].a, 0.0f);
    ASSERT_EQ(ops[i + 1].kind, DrawOpKind::Quad);
  }
  // The quad shows the position before the move.
  EXPECT_EQ(ops[5].a, 0.0f);
  EXPECT_EQ(ops[5].b, 0.0f);
  EXPECT_EQ(ops[5].c, -100.0f);
  const Particle& moved = field->particles[0];
  EXPECT_EQ(moved.posX, static_cast<float>(p0.speedX / 600.0));
  EXPECT_EQ(moved.posY, static_cast<float>(p0.speedY / 600.0));
  EXPECT_EQ(moved.posZ, static_cast<float>(-100.0 + p0.speedZ / 20.0));

  EXPECT_EQ(field->spinAngle, 0.0001f);
  EXPECT_EQ(field->frameCounter, 1);

  const float zAfterFirst = moved.posZ;
  StepParticleField(*field, random, 1234, ops);
  for (std::size_t i = 4; i < ops.size(); i += 2) ASSERT_EQ(ops[i].a, 0.0001f);
  EXPECT_EQ(ops[5].c, zAfterFirst);
}

TEST(StepParticleFieldTest, SpinAngleAfterTenThousandFrames) {
  RandomSource random;
  auto field = SeededField(random);
  DrawOpList ops;
  for (int i = 0; i < 10000; ++i) StepParticleField(*field, random, 1700000000 + i / 50, ops);
  EXPECT_EQ(field->spinAngle, 1.0000535f);
  EXPECT_NE(field->spinAngle, 1.0f);
  // Every rotation of the last frame carried the angle of the 9999 frames before it.
  float previous = 0.0f;
  for (int i = 0; i < 9999; ++i) previous = static_cast<float>(double(previous) + double(0.0001f));
  EXPECT_EQ(ops[4].a, previous);
  EXPECT_EQ(ops[ops.size() - 2].a, previous);
}

TEST(StepParticleFieldTest, TintIsRerolledInEveryTenthFrameFromTheCarriedOverGenerator) {
  RandomSource random;
  auto field = SeededField(random);
  ParkAll(*field);
  DrawOpList ops;
  for (int frame = 1; frame <= 25; ++frame) {
    RandomSource carried = random;
    const Tint before = field->tint;
    StepParticleField(*field, random, 5000 + frame, ops);
    ASSERT_EQ(ops[3].kind, DrawOpKind::Colour);
    if (frame % 10 == 0) {
      // Three draws before the reseed, red then green then blue; the frame
      // already shows the new tint.
      const float red = static_cast<float>((carried.next() % 100) / 100.0 + double(0.003f));
      const float green = static_cast<float>((carried.next() % 100) / 100.0 + double(0.003f));
      const float blue = static_cast<float>((carried.next() % 100) / 100.0 + double(0.003f));
      EXPECT_EQ(field->tint.red, red) << "frame " << frame;
      EXPECT_EQ(field->tint.green, green);
      EXPECT_EQ(field->tint.blue, blue);
      EXPECT_EQ(ops[3].a, red);
      EXPECT_EQ(ops[3].b, green);
      EXPECT_EQ(ops[3].c, blue);
      EXPECT_EQ(field->frameCounter, 0);
      for (float c : {red, green, blue}) {
        EXPECT_GE(c, 0.003f);
        EXPECT_LE(c, 0.993f);
      }
    } else {
      EXPECT_EQ(field->tint.red, before.red) << "frame " << frame;
      EXPECT_EQ(field->tint.green, before.green);
      EXPECT_EQ(field->tint.blue, before.blue);
      EXPECT_EQ(ops[3].a, before.red);
      EXPECT_EQ(field->frameCounter, frame % 10);
    }
    // No respawn: nothing is drawn after the reseed, re-roll or not.
    EXPECT_EQ(random.state(), SeededAt(5000 + frame).state()) << "frame " << frame;
  }
}

TEST(StepParticleFieldTest, EachRespawnDrawsFourNumbersAfterTheReseed) {
  RandomSource random;
  auto field = SeededField(random);
  ParkAll(*field);
  // Particles 7 and 4000 pass the threshold in this step.
  for (int i : {7, 4000}) {
    field->particles[i].posZ = 0.99f;
    field->particles[i].speedZ = 20.0f;
  }
  DrawOpList ops;
  StepParticleField(*field, random, 777, ops);

  RandomSource expected = SeededAt(777);
  for (int i : {7, 4000}) {
    const Particle& p = field->particles[i];
    EXPECT_TRUE(p.active);
    EXPECT_EQ(p.posX, 0.0f);
    EXPECT_EQ(p.posY, 0.0f);
    EXPECT_EQ(p.posZ, -100.0f);
    EXPECT_EQ(p.speedX, static_cast<float>(expected.next() % 50 - 25));
    EXPECT_EQ(p.speedY, static_cast<float>(expected.next() % 50 - 25));
    EXPECT_EQ(p.speedZ, static_cast<float>(expected.next() % 20 + 1));
    expected.next();  // drawn and discarded
  }
  EXPECT_EQ(random.state(), expected.state());
  EXPECT_EQ(random.state(), SeededAt(777, 8).state());
}

TEST(StepParticleFieldTest, SameSecondGivesSameRespawnSpeedsWhateverCameBefore) {
  auto firstRespawn = [](std::uint32_t history, std::int64_t now) {
    RandomSource random;
    random.seed(history);
    auto field = SeededField(random);
    DrawOpList ops;
    for (int i = 0; i < 7; ++i) StepParticleField(*field, random, history + i, ops);
    ParkAll(*field);
    field->particles[42].posZ = 0.99f;
    field->particles[42].speedZ = 1.0f;
    StepParticleField(*field, random, now, ops);
    const Particle& p = field->particles[42];
    return std::vector<float>{p.speedX, p.speedY, p.speedZ};
  };
  const auto a = firstRespawn(3, 1700000123);
  EXPECT_EQ(a, firstRespawn(99999, 1700000123));
  // Only the low 32 bits of the time seed the generator.
  EXPECT_EQ(a, firstRespawn(5, 1700000123 + (std::int64_t{1} << 32)));
  EXPECT_NE(a, firstRespawn(3, 1700000124));
}

TEST(StepParticleFieldTest, RespawnThresholdIsInclusiveAndIgnoresNaN) {
  RandomSource random;
  auto field = SeededField(random);
  ParkAll(*field);
  Particle& a = field->particles[0];
  Particle& b = field->particles[1];
  Particle& c = field->particles[2];
  Particle& n = field->particles[3];
  a.posZ = 0.96f, a.speedZ = 1.0f;   // moves to 1.01
  b.posZ = 0.95f, b.speedZ = 1.0f;   // moves to exactly 1.0
  c.posZ = 0.94f, c.speedZ = 1.0f;   // moves to 0.99 and stays
  n.posZ = std::numeric_limits<float>::quiet_NaN(), n.speedZ = 1.0f;
  ASSERT_EQ(static_cast<float>(double(0.95f) + 1.0 / 20.0), 1.0f);

  DrawOpList ops;
  StepParticleField(*field, random, 31, ops);
  EXPECT_EQ(ops[5].c, 0.96f);  // drawn where it was, then respawned
  EXPECT_EQ(a.posZ, -100.0f);
  EXPECT_EQ(ops[7].c, 0.95f);
  EXPECT_EQ(b.posZ, -100.0f);
  EXPECT_EQ(c.posZ, static_cast<float>(double(0.94f) + 0.05));
  EXPECT_TRUE(std::isnan(n.posZ));
  EXPECT_TRUE(n.active);
  EXPECT_TRUE(std::isnan(ops[11].c));
  EXPECT_EQ(random.state(), SeededAt(31, 8).state());  // two respawns
}

TEST(StepParticleFieldTest, RespawnSpeedsCoverExactlyTheirRanges) {
  RandomSource random;
  auto field = SeededField(random);
  DrawOpList ops;
  float minLateral = 100, maxLateral = -100, minDepth = 100, maxDepth = -100;
  for (int second = 0; second < 8; ++second) {
    for (Particle& p : field->particles) {
      p.posZ = 0.99f;
      p.speedZ = 20.0f;
    }
    StepParticleField(*field, random, 1700000000 + second, ops);
    for (const Particle& p : field->particles) {
      ASSERT_EQ(p.posZ, -100.0f);
      minLateral = std::min({minLateral, p.speedX, p.speedY});
      maxLateral = std::max({maxLateral, p.speedX, p.speedY});
      minDepth = std::min(minDepth, p.speedZ);
      maxDepth = std::max(maxDepth, p.speedZ);
    }
  }
  EXPECT_EQ(minLateral, -25.0f);
  EXPECT_EQ(maxLateral, 24.0f);
  EXPECT_EQ(minDepth, 1.0f);
  EXPECT_EQ(maxDepth, 20.0f);
}

TEST(StepParticleFieldTest, InactiveParticleIsNeitherTurnedDrawnNorMoved) {
  RandomSource random;
  auto field = SeededField(random);
  Particle& p = field->particles[1];
  p.active = false;
  p.posZ = 0.99f;
  p.speedZ = 20.0f;
  const Particle before = p;
  DrawOpList ops;
  StepParticleField(*field, random, 8, ops);
  EXPECT_EQ(ops.size(), kDrawOpCapacity - 2);
  EXPECT_EQ(p.posX, before.posX);
  EXPECT_EQ(p.posZ, before.posZ);
  EXPECT_FALSE(p.active);
  // Particle 2's quad follows particle 0's directly.
  EXPECT_EQ(ops[5].c, -100.0f);
  EXPECT_EQ(ops[6].kind, DrawOpKind::RotateZ);
  EXPECT_EQ(ops[7].kind, DrawOpKind::Quad);
  EXPECT_EQ(random.state(), SeededAt(8).state());
}

TEST(StepParticleFieldTest, OneListBufferServesEveryFrame) {
  RandomSource random;
  auto field = SeededField(random);
  DrawOpList ops;
  EXPECT_GE(ops.capacity(), kDrawOpCapacity);
  const DrawOp* storage = ops.begin();
  const std::size_t capacity = ops.capacity();
  for (int i = 0; i < 300; ++i) {
    const DrawOpList& result = StepParticleField(*field, random, 1700000000 + i / 60, ops);
    ASSERT_EQ(&result, &ops);
    ASSERT_EQ(ops.size(), 10004u);
  }
  EXPECT_EQ(ops.begin(), storage);
  EXPECT_EQ(ops.capacity(), capacity);
}

}  // namespace
}  // namespace veltrane
