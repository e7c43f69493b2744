// The layer shell's generated client header, for C++: one of its arguments is
// named `namespace`, a C++ keyword, so the name is changed while it is read.
// The headers it includes itself are read first, untouched.
#pragma once

#include <stdint.h>

#include <wayland-client.h>

#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
