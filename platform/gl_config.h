// Choosing a GLX frame-buffer configuration for a pixel format request: the
// closest available to the asked colour and depth bits, among double-buffered
// (when asked) RGBA configurations that can draw to a window.
#pragma once

#include <vector>

#include "platform/window_system.h"

namespace veltrane::platform {

struct GlConfigTraits {
    int redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
    int depthBits = 0, stencilBits = 0, accumBits = 0, auxBuffers = 0, samples = 0;
    bool rgba = false, doubleBuffer = false, drawsToWindow = false, hasVisual = false;
    bool stereo = false, slow = false;
    bool visualDepthIsScreenDepth = false;
};

// Index of the best configuration, -1 when none can serve the request.
int ChooseGlConfig(const std::vector<GlConfigTraits>& configs, const PixelFormatRequest& request);

}  // namespace veltrane::platform
