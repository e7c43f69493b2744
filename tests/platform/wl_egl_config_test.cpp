#include <gtest/gtest.h>

#include "platform/wayland/wl_egl.h"

namespace veltrane::platform {
namespace {

// A double-buffered RGBA window configuration as EGL reports it; one with alpha
// has no usable visual (ReadEglConfigTraits).
GlConfigTraits Egl(int r, int g, int b, int a, int depth) {
    GlConfigTraits t;
    t.redBits = r, t.greenBits = g, t.blueBits = b, t.alphaBits = a, t.depthBits = depth;
    t.rgba = t.drawsToWindow = t.doubleBuffer = t.visualDepthIsScreenDepth = true;
    t.hasVisual = a == 0;
    return t;
}

TEST(ChooseWaylandGlConfig, TakesEightBitsAChannelWhateverColourIsAsked) {
    struct Case {
        const char* what;
        std::vector<GlConfigTraits> configs;
        int chosen;
    };
    const Case cases[] = {
        {"16 bits asked: XRGB8888 over RGB565", {Egl(5, 6, 5, 0, 16), Egl(8, 8, 8, 0, 16), Egl(8, 8, 8, 8, 16)}, 1},
        {"XRGB8888 over 10 bits a channel", {Egl(10, 10, 10, 0, 24), Egl(8, 8, 8, 0, 24)}, 1},
        {"depth stays the closest to the asked", {Egl(8, 8, 8, 0, 0), Egl(8, 8, 8, 0, 32), Egl(8, 8, 8, 0, 24)}, 2},
        {"RGB565 alone still serves", {Egl(8, 8, 8, 8, 24), Egl(5, 6, 5, 0, 16)}, 1},
        {"only ARGB8888: nothing serves", {Egl(8, 8, 8, 8, 24)}, -1},
    };
    PixelFormatRequest request;  // the renderer's: 16 colour bits, 16 depth bits, double-buffered
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.cColorBits = request.cDepthBits = 16;
    for (const Case& c : cases) EXPECT_EQ(ChooseWaylandGlConfig(c.configs, request), c.chosen) << c.what;
}

}  // namespace
}  // namespace veltrane::platform
