// The particle field: 5000 ring sprites streaming toward the viewer in one tint,
// the whole field twisting about the viewing axis. Pure logic: a frame step
// produces an ordered list of drawing operations that an executor
// (draw_ops.h) issues to OpenGL, so the simulation runs without a GL context.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltrane {

inline constexpr int kParticleCount = 5000;
inline constexpr float kHalfSize = 0.3f;
inline constexpr double kSpeedDivisor = 2.0;
inline constexpr double kLateralScale = 300.0;
inline constexpr double kDepthScale = 10.0;
inline constexpr float kStartDepth = -100.0f;
inline constexpr float kRespawnThreshold = 1.0f;
inline constexpr int kTintPeriod = 10;
inline constexpr float kTintOffset = 0.003f;
inline constexpr float kSpinIncrement = 0.0001f;
// clear, load identity, bind sprite, colour, then a rotation and a quad per particle
inline constexpr std::size_t kDrawOpCapacity = 4 + 2 * kParticleCount;

struct Particle {
  bool active = false;
  float speedX = 0, speedY = 0, speedZ = 0;
  float posX = 0, posY = 0, posZ = 0;
};

struct Tint {
  float red = 0, green = 0, blue = 0;
};

struct ParticleField {
  std::array<Particle, kParticleCount> particles{};
  Tint tint{};
  float spinAngle = 0.0f;       // degrees; never reset, not even by seeding
  std::int32_t frameCounter = 0;  // frames since the last tint re-roll; not reset by seeding
};

// The C runtime's linear congruential generator: every random number of the field
// comes from here, so a run is reproducible from its seeds.
class RandomSource {
 public:
  void seed(std::uint32_t s) { state_ = s; }
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }
  std::uint32_t state() const { return state_; }

 private:
  std::uint32_t state_ = 1;
};

enum class DrawOpKind : std::uint8_t { Clear, LoadIdentity, BindSprite, Colour, RotateZ, Quad };

// One drawing operation. Colour uses a..d as red, green, blue, alpha; RotateZ uses a
// as the angle in degrees; Quad uses a, b, c as the centre x, y, z.
struct DrawOp {
  DrawOpKind kind;
  float a = 0, b = 0, c = 0, d = 0;
};

// The frame's operations. One list of kDrawOpCapacity is reused for every frame,
// so the frame step allocates nothing once the list exists.
class DrawOpList {
 public:
  DrawOpList() { ops_.reserve(kDrawOpCapacity); }
  void clear() { ops_.clear(); }
  void push(const DrawOp& op) { ops_.push_back(op); }
  std::size_t size() const { return ops_.size(); }
  const DrawOp& operator[](std::size_t i) const { return ops_[i]; }
  const DrawOp* begin() const { return ops_.data(); }
  const DrawOp* end() const { return ops_.data() + ops_.size(); }
  std::size_t capacity() const { return ops_.capacity(); }

 private:
  std::vector<DrawOp> ops_;
};

void SeedParticleField(ParticleField& field, RandomSource& random);

// Advances the field by one frame and fills `ops` (cleared first) with the frame's
// drawing. `nowSeconds` is time(NULL) read once per frame; its low 32 bits reseed
// the generator.
const DrawOpList& StepParticleField(ParticleField& field, RandomSource& random,
                                    std::int64_t nowSeconds, DrawOpList& ops);

}  // namespace veltrane
