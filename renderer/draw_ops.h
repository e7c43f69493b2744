// Executors that issue a frame's drawing operations (particle_field.h) to the
// current OpenGL 1.1 context. Both give the same picture; neither pushes or pops
// matrices nor swaps buffers.
#pragma once

#include "renderer/particle_field.h"

namespace veltrane {

// Issues every operation literally in immediate mode: one glRotatef and one
// four-vertex triangle strip per particle.
void PlayDrawOps(const DrawOpList& ops, unsigned int spriteTexture);

// Applies the accumulated rotations to the vertices on the CPU, the same way
// GL's model-view matrix would accumulate them, and draws a run of quads with
// one vertex-array call. Leaves the model-view matrix as PlayDrawOps would.
void PlayDrawOpsBatched(const DrawOpList& ops, unsigned int spriteTexture);

}  // namespace veltrane
