// The scene and both executors under a real GL context (GLX on a private Xvfb,
// rendered by Mesa's software rasteriser).
#include "support/xvfb_session.h"  // before any X11 header

#include <GL/gl.h>
#include <GL/glx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "renderer/draw_ops.h"
#include "renderer/particle_field.h"
#include "renderer/ring_sprite.h"
#include "renderer/scene.h"

extern const unsigned char kRingSpriteResource[];
extern const std::size_t kRingSpriteResource_size;

namespace veltrane {
namespace {

constexpr int kWidth = 256;
constexpr int kHeight = 192;

struct Rgb {
  int r = 0, g = 0, b = 0;
};

class SceneGl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok()) << "could not start a private Xvfb";
    display_ = XOpenDisplay(session_.name().c_str());
    ASSERT_NE(display_, nullptr);
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
                        GLX_BLUE_SIZE, 8, GLX_DEPTH_SIZE, 16, 0};
    visual_ = glXChooseVisual(display_, DefaultScreen(display_), attributes);
    ASSERT_NE(visual_, nullptr) << "no GLX visual";
    const ::Window root = DefaultRootWindow(display_);
    XSetWindowAttributes wa{};
    wa.colormap = XCreateColormap(display_, root, visual_->visual, AllocNone);
    window_ = XCreateWindow(display_, root, 0, 0, kWidth, kHeight, 0, visual_->depth, InputOutput,
                            visual_->visual, CWColormap, &wa);
    XMapWindow(display_, window_);
    context_ = glXCreateContext(display_, visual_, nullptr, True);
    ASSERT_NE(context_, nullptr);
    ASSERT_TRUE(glXMakeCurrent(display_, window_, context_));
  }

  void TearDown() override {
    if (display_) {
      glXMakeCurrent(display_, 0, nullptr);
      if (context_) glXDestroyContext(display_, context_);
      if (window_) XDestroyWindow(display_, window_);
      if (visual_) XFree(visual_);
      XCloseDisplay(display_);
    }
  }

  // PrepareScene only records the window and key table; they are opaque here.
  void Prepare() {
    PrepareScene(*reinterpret_cast<RendererWindow*>(windowStandIn_),
                 *reinterpret_cast<KeyStates*>(keysStandIn_));
    SetProjection(kWidth, kHeight);
  }

  // The back buffer, top row first.
  std::vector<Rgb> ReadBack() {
    glFinish();
    std::vector<unsigned char> raw(kWidth * kHeight * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    std::vector<Rgb> out(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const unsigned char* p = &raw[((kHeight - 1 - y) * kWidth + x) * 3];
        out[y * kWidth + x] = {p[0], p[1], p[2]};
      }
    return out;
  }

  static double MeanLight(const std::vector<Rgb>& picture, int x0, int y0, int w, int h) {
    double sum = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        const Rgb& p = picture[y * kWidth + x];
        sum += p.r + p.g + p.b;
      }
    return sum / (3.0 * w * h);
  }

  testing::XvfbSession session_{{640, 480, 24, false}};
  Display* display_ = nullptr;
  XVisualInfo* visual_ = nullptr;
  ::Window window_ = 0;
  GLXContext context_ = nullptr;
  alignas(16) unsigned char windowStandIn_[64] = {};
  alignas(16) unsigned char keysStandIn_[1024] = {};
};

TEST_F(SceneGl, PrepareSceneSetsTheStateSeedsTheFieldAndUploadsTheSprite) {
  ParticleField& field = TheParticleField();
  EXPECT_EQ(&field, &TheParticleField());
  EXPECT_EQ(&TheRandomSource(), &TheRandomSource());
  field.spinAngle = 0.25f;
  field.frameCounter = 7;
  field.tint = {0.2f, 0.2f, 0.2f};
  RandomSource expectedRandom = TheRandomSource();
  auto expected = std::make_unique<ParticleField>();
  SeedParticleField(*expected, expectedRandom);

  Prepare();
  EXPECT_EQ(SceneWindow(), reinterpret_cast<RendererWindow*>(windowStandIn_));
  EXPECT_EQ(SceneKeys(), reinterpret_cast<KeyStates*>(keysStandIn_));
  // Seeded from the process's generator; spin angle and frame count carry on.
  EXPECT_EQ(field.particles[0].speedX, expected->particles[0].speedX);
  EXPECT_EQ(field.particles[4999].speedZ, expected->particles[4999].speedZ);
  EXPECT_EQ(field.particles[4999].posZ, -100.0f);
  EXPECT_EQ(TheRandomSource().state(), expectedRandom.state());
  EXPECT_EQ(field.tint.red, 0.5f);
  EXPECT_EQ(field.tint.green, 0.1f);
  EXPECT_EQ(field.tint.blue, 0.9f);
  EXPECT_EQ(field.spinAngle, 0.25f);
  EXPECT_EQ(field.frameCounter, 7);

  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 0.0f);
  EXPECT_EQ(clear[2], 0.0f);
  EXPECT_EQ(clear[3], 0.5f);
  GLint value = 0;
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_SMOOTH);
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
  EXPECT_EQ(value, GL_NICEST);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  EXPECT_EQ(value, GL_MODULATE);

  // The sprite: 64 x 64 with its whole mipmap chain, texels as stored.
  const unsigned int texture = SpriteTexture();
  ASSERT_NE(texture, 0u);
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 64);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 1);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  std::vector<unsigned char> texels(64 * 64 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(0, std::memcmp(texels.data(), kRingSpriteResource + 40, texels.size()));

  // A second preparation (after a screen-mode switch) makes a new texture name.
  Prepare();
  EXPECT_NE(SpriteTexture(), texture);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneGl, ProjectionKeepsTheAspectAndSurvivesAZeroHeight) {
  auto projectionFor = [](int w, int h) {
    SetProjection(w, h);
    std::vector<double> m(16);
    glGetDoublev(GL_PROJECTION_MATRIX, m.data());
    return m;
  };
  const std::vector<double> large = projectionFor(1024, 768);
  EXPECT_EQ(large, projectionFor(800, 600));
  const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
  EXPECT_NEAR(large[5], f, 1e-6);
  EXPECT_NEAR(large[5] / large[0], 1024.0 / 768.0, 1e-6);
  EXPECT_NEAR(large[10], -101.0 / 99.0, 1e-6);
  EXPECT_NEAR(large[14], -200.0 / 99.0, 1e-6);
  EXPECT_EQ(large[11], -1.0);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  double modelview[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(modelview[i], i % 5 == 0 ? 1.0 : 0.0);

  // A collapsed client area still gets a finite projection.
  for (auto [w, h] : {std::pair{800, 0}, std::pair{0, 0}, std::pair{0, 600}}) {
    const std::vector<double> m = projectionFor(w, h);
    for (double v : m) EXPECT_TRUE(std::isfinite(v)) << w << "x" << h;
    EXPECT_NE(m[5], 0.0) << w << "x" << h;
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], w);
    EXPECT_EQ(viewport[3], h);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneGl, BothExecutorsDrawTheSameFrame) {
  Prepare();
  ParticleField& field = TheParticleField();
  DrawOpList ops;
  // About 200 frames into a run, a new second every 25 frames.
  for (int frame = 0; frame < 200; ++frame)
    StepParticleField(field, TheRandomSource(), 1700000000 + frame / 25, ops);

  PlayDrawOps(ops, SpriteTexture());
  const std::vector<Rgb> literal = ReadBack();
  GLfloat literalMatrix[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, literalMatrix);

  PlayDrawOpsBatched(ops, SpriteTexture());
  const std::vector<Rgb> batched = ReadBack();
  GLfloat batchedMatrix[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, batchedMatrix);

  int differing = 0, largest = 0;
  long long total = 0;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    const int d = std::max({std::abs(literal[i].r - batched[i].r), std::abs(literal[i].g - batched[i].g),
                            std::abs(literal[i].b - batched[i].b)});
    if (d > 0) ++differing;
    largest = std::max(largest, d);
    total += d;
  }
  std::printf("executors: %d of %zu pixels differ, largest channel difference %d, summed %lld\n",
              differing, literal.size(), largest, total);
  EXPECT_LE(differing, static_cast<int>(literal.size() / 200));
  EXPECT_LE(largest, 8);
  // Both leave the model-view matrix turned by 5000 x the frame's angle; the
  // batched executor accumulates it with GL's own single-precision steps.
  std::printf("model-view matrices after both executors are %s\n",
              std::memcmp(batchedMatrix, literalMatrix, sizeof literalMatrix) == 0 ? "identical" : "different");
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(batchedMatrix[i], literalMatrix[i], 1e-6) << i;
  const double turn = 5000.0 * ops[4].a * M_PI / 180.0;
  EXPECT_NEAR(literalMatrix[0], std::cos(turn), 1e-3);
  EXPECT_NEAR(literalMatrix[1], std::sin(turn), 1e-3);

  // The stream: light around the centre, where new particles appear; the
  // corners stay dark.
  const double centre = MeanLight(literal, kWidth / 2 - 16, kHeight / 2 - 16, 32, 32);
  double corners = 0;
  for (int x : {0, kWidth - 24})
    for (int y : {0, kHeight - 24}) corners = std::max(corners, MeanLight(literal, x, y, 24, 24));
  std::printf("mean light: centre %.1f, brightest corner %.1f\n", centre, corners);
  EXPECT_GT(centre, 20.0);
  EXPECT_LT(corners, centre / 4);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneGl, SpriteTintsAdditivelyAndItsAbsenceLeavesPlainSquares) {
  Prepare();
  // One particle facing the viewer at depth 2, in the start tint.
  DrawOpList ops;
  ops.push({DrawOpKind::Clear});
  ops.push({DrawOpKind::LoadIdentity});
  ops.push({DrawOpKind::BindSprite});
  ops.push({DrawOpKind::Colour, 0.5f, 0.1f, 0.9f, 1.0f});
  ops.push({DrawOpKind::RotateZ, 0.0f});
  ops.push({DrawOpKind::Quad, 0.0f, 0.0f, -2.0f});
  const int cy = kHeight / 2, cx = kWidth / 2;
  // Edge 0.6 at depth 2 under a 45 degree field of view.
  const double edge = 0.6 / (2.0 * 2.0 * std::tan(22.5 * M_PI / 180.0)) * kHeight;

  PlayDrawOps(ops, SpriteTexture());
  std::vector<Rgb> ring = ReadBack();
  // The black disc in the middle adds nothing; the rim adds about tint x 246/255.
  EXPECT_EQ(ring[cy * kWidth + cx].r + ring[cy * kWidth + cx].g + ring[cy * kWidth + cx].b, 0);
  Rgb rim;
  for (int x = 0; x < kWidth; ++x) {
    const Rgb& p = ring[cy * kWidth + x];
    if (p.b > rim.b) rim = p;
  }
  EXPECT_NEAR(rim.r, 0.5 * 246, 12);
  EXPECT_NEAR(rim.g, 0.1 * 246, 4);
  EXPECT_NEAR(rim.b, 0.9 * 246, 20);
  EXPECT_EQ(ring[0].r + ring[0].g + ring[0].b, 0);

  // Without a usable sprite the texture stays incomplete and the particle is a
  // plain square in the tint.
  const unsigned char junk[40] = {12};
  LoadSpriteTextureFrom(junk, sizeof junk);
  EXPECT_NE(SpriteTexture(), 0u);
  PlayDrawOpsBatched(ops, SpriteTexture());
  std::vector<Rgb> square = ReadBack();
  const Rgb& middle = square[cy * kWidth + cx];
  EXPECT_NEAR(middle.r, 127.5, 1);
  EXPECT_NEAR(middle.g, 25.5, 1);
  EXPECT_NEAR(middle.b, 229.5, 1);
  int lit = 0;
  for (int x = 0; x < kWidth; ++x) lit += square[cy * kWidth + x].b > 0;
  EXPECT_NEAR(lit, edge, 2.0);
  EXPECT_EQ(square[0].b, 0);

  // Overlapping particles add up and saturate per channel.
  ops.push({DrawOpKind::Quad, 0.0f, 0.0f, -2.0f});
  PlayDrawOps(ops, SpriteTexture());
  square = ReadBack();
  const Rgb& twice = square[cy * kWidth + cx];
  EXPECT_NEAR(twice.r, 255, 1);
  EXPECT_NEAR(twice.g, 51, 1);
  EXPECT_EQ(twice.b, 255);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace veltrane
