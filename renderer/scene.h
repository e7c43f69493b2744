// The scene around the particle field: the sprite texture, the fixed GL state and
// the projection. Also home of the renderer's process-wide field and generator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "renderer/particle_field.h"

namespace veltrane {

struct RendererWindow;
struct KeyStates;

// The renderer process's one field and generator. The generator starts at state 1
// and lives as long as the process.
ParticleField& TheParticleField();
RandomSource& TheRandomSource();

// The sprite texture name made by the last PrepareScene (0 before).
unsigned int SpriteTexture();

// Records the window and key table for the per-frame Escape check, loads the
// sprite texture, seeds the field and sets the GL state. Needs a current context.
bool PrepareScene(RendererWindow& window, KeyStates& keys);
RendererWindow* SceneWindow();
KeyStates* SceneKeys();

// Viewport and a 45 degree perspective from depth 1 to 100; leaves the model-view
// matrix current and at identity. A zero or negative size is taken as 1 for the
// aspect ratio, so a collapsed client area still gets a finite projection.
void SetProjection(std::int32_t width, std::int32_t height);

// Makes a new texture name and gives it the embedded ring sprite with a full
// mipmap chain. An unusable sprite leaves the name without an image: particles
// then show as plain tinted squares.
void LoadSpriteTexture();
// The same from any bitmap resource data (BITMAPINFOHEADER and pixels).
void LoadSpriteTextureFrom(const unsigned char* resource, std::size_t size);

}  // namespace veltrane
