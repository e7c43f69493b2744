#include "renderer/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "renderer/ring_sprite.h"

// The ring sprite, compiled into the program (cmake/Embed.cmake).
extern const unsigned char kRingSpriteResource[];
extern const std::size_t kRingSpriteResource_size;

namespace veltrane {
namespace {

unsigned int gSpriteTexture = 0;
RendererWindow* gWindow = nullptr;
KeyStates* gKeys = nullptr;

constexpr double kFieldOfViewY = 45.0;
constexpr double kNearPlane = 1.0;
constexpr double kFarPlane = 100.0;

}  // namespace

ParticleField& TheParticleField() {
  static ParticleField field;
  return field;
}

RandomSource& TheRandomSource() {
  static RandomSource random;  // state 1 at process start
  return random;
}

unsigned int SpriteTexture() { return gSpriteTexture; }
RendererWindow* SceneWindow() { return gWindow; }
KeyStates* SceneKeys() { return gKeys; }

void LoadSpriteTextureFrom(const unsigned char* resource, std::size_t size) {
  GLuint name = 0;
  glGenTextures(1, &name);
  gSpriteTexture = name;

  const std::optional<SpriteBitmap> bitmap = ReadSpriteBitmap(resource, size);
  if (!bitmap) return;  // the texture stays without an image
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  // Bytes go in as stored, blue first; the bottom row becomes texture row t = 0.
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, bitmap->width, bitmap->height, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                    bitmap->bits);
}

void LoadSpriteTexture() { LoadSpriteTextureFrom(kRingSpriteResource, kRingSpriteResource_size); }

bool PrepareScene(RendererWindow& window, KeyStates& keys) {
  gWindow = &window;
  gKeys = &keys;
  LoadSpriteTexture();
  SeedParticleField(TheParticleField(), TheRandomSource());

  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glShadeModel(GL_SMOOTH);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  // Every particle adds tint x texel; black texels add nothing.
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDisable(GL_DEPTH_TEST);
  return true;
}

void SetProjection(std::int32_t width, std::int32_t height) {
  glViewport(0, 0, std::max(width, 0), std::max(height, 0));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double aspect = static_cast<double>(std::max(width, 1)) / static_cast<double>(std::max(height, 1));
  gluPerspective(kFieldOfViewY, aspect, kNearPlane, kFarPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace veltrane
