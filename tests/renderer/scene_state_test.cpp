#include <gtest/gtest.h>

#include "renderer/scene.h"

namespace veltrane {
namespace {

// Runs in a fresh process (each test is its own ctest case), before any scene.
TEST(SceneProcessStateTest, GeneratorAndFieldStartFromTheProcessStartState) {
  EXPECT_EQ(TheRandomSource().state(), 1u);
  EXPECT_EQ(&TheRandomSource(), &TheRandomSource());
  EXPECT_EQ(&TheParticleField(), &TheParticleField());
  EXPECT_EQ(TheParticleField().spinAngle, 0.0f);
  EXPECT_EQ(TheParticleField().frameCounter, 0);
  EXPECT_EQ(SpriteTexture(), 0u);
  EXPECT_EQ(SceneWindow(), nullptr);
  EXPECT_EQ(SceneKeys(), nullptr);

  // The first seeding of a process gives the same start field on every run.
  SeedParticleField(TheParticleField(), TheRandomSource());
  EXPECT_EQ(TheParticleField().particles[0].speedX, 16.0f);
  EXPECT_EQ(TheParticleField().particles[0].speedY, -8.0f);
  EXPECT_EQ(TheParticleField().particles[0].speedZ, 9.0f);
}

}  // namespace
}  // namespace veltrane
