// What ChooseGlConfig weighs, read from a GLX frame-buffer configuration. The
// attributes come from the client's copy of the configurations: no round trips.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/gl_config.h"

typedef struct __GLXFBConfigRec* GLXFBConfig;

namespace veltrane::platform {

// `hasVisual` is true for a true- or direct-colour X visual; `visual`, when
// given, receives that visual (unset when the configuration has none).
GlConfigTraits ReadGlConfigTraits(::Display* display, GLXFBConfig config, int screenDepth,
                                  XVisualInfo* visual = nullptr);

}  // namespace veltrane::platform
