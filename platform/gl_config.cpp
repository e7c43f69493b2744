#include "platform/gl_config.h"

#include <cstdlib>
#include <limits>

namespace veltrane::platform {
namespace {

bool Usable(const GlConfigTraits& c, const PixelFormatRequest& request) {
    const bool wantDouble = (request.dwFlags & PFD_DOUBLEBUFFER) != 0;
    return c.rgba && c.drawsToWindow && c.hasVisual && !c.stereo && c.doubleBuffer == wantDouble;
}

// Lower is better. Slow configurations come last; then colour bits (red + green +
// blue) weigh most, then depth bits (too few is worse than too many), then
// everything the request did not ask for.
long Cost(const GlConfigTraits& c, const PixelFormatRequest& request) {
    const int colour = c.redBits + c.greenBits + c.blueBits;
    long cost = 1000000L * std::abs(colour - request.cColorBits);
    const int depthGap = c.depthBits - request.cDepthBits;
    cost += 10000L * (depthGap < 0 ? -depthGap * 4 : depthGap);
    cost += 100L * std::abs(c.alphaBits - request.cAlphaBits);
    cost += 100L * std::abs(c.stencilBits - request.cStencilBits);
    cost += 100L * std::abs(c.accumBits - request.cAccumBits);
    cost += 100L * std::abs(c.auxBuffers - request.cAuxBuffers);
    cost += 1000L * c.samples;
    if (c.slow) cost += 100000000L;  // a slow (software fallback) configuration only as a last resort
    if (!c.visualDepthIsScreenDepth) cost += 10;
    return cost;
}

}  // namespace

int ChooseGlConfig(const std::vector<GlConfigTraits>& configs, const PixelFormatRequest& request) {
    int best = -1;
    long bestCost = std::numeric_limits<long>::max();
    for (int i = 0; i < static_cast<int>(configs.size()); ++i) {
        if (!Usable(configs[i], request)) continue;
        const long cost = Cost(configs[i], request);
        if (cost < bestCost) {
            best = i;
            bestCost = cost;
        }
    }
    return best;
}

}  // namespace veltrane::platform
