#include "platform/x11/glx_config_traits.h"

#include <GL/glx.h>

namespace veltrane::platform {
namespace {

int Attribute(::Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    if (glXGetFBConfigAttrib(display, config, attribute, &value) != Success) return 0;
    return value;
}

}  // namespace

GlConfigTraits ReadGlConfigTraits(::Display* display, GLXFBConfig config, int screenDepth, XVisualInfo* visual) {
    GlConfigTraits t;
    t.redBits = Attribute(display, config, GLX_RED_SIZE);
    t.greenBits = Attribute(display, config, GLX_GREEN_SIZE);
    t.blueBits = Attribute(display, config, GLX_BLUE_SIZE);
    t.alphaBits = Attribute(display, config, GLX_ALPHA_SIZE);
    t.depthBits = Attribute(display, config, GLX_DEPTH_SIZE);
    t.stencilBits = Attribute(display, config, GLX_STENCIL_SIZE);
    t.accumBits = Attribute(display, config, GLX_ACCUM_RED_SIZE) + Attribute(display, config, GLX_ACCUM_GREEN_SIZE) +
                  Attribute(display, config, GLX_ACCUM_BLUE_SIZE) + Attribute(display, config, GLX_ACCUM_ALPHA_SIZE);
    t.auxBuffers = Attribute(display, config, GLX_AUX_BUFFERS);
    t.samples = Attribute(display, config, GLX_SAMPLES);
    t.rgba = (Attribute(display, config, GLX_RENDER_TYPE) & GLX_RGBA_BIT) != 0;
    t.doubleBuffer = Attribute(display, config, GLX_DOUBLEBUFFER) != 0;
    t.drawsToWindow = (Attribute(display, config, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) != 0;
    t.stereo = Attribute(display, config, GLX_STEREO) != 0;
    t.slow = Attribute(display, config, GLX_CONFIG_CAVEAT) == GLX_SLOW_CONFIG;
    const int visualType = Attribute(display, config, GLX_X_VISUAL_TYPE);
    t.hasVisual = visualType == GLX_TRUE_COLOR || visualType == GLX_DIRECT_COLOR;
    if (XVisualInfo* info = glXGetVisualFromFBConfig(display, config)) {
        t.visualDepthIsScreenDepth = info->depth == screenDepth;
        if (visual != nullptr) *visual = *info;
        XFree(info);
    } else {
        t.hasVisual = false;
    }
    return t;
}

}  // namespace veltrane::platform
