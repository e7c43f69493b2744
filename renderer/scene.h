// The scene around the particle field: the sprite texture, the fixed GL state and
// the projection. Also home of the renderer's process-wide field and generator.
#pragma once

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

void SetProjection(std::int32_t width, std::int32_t height);
void LoadSpriteTexture();

}  // namespace veltrane
