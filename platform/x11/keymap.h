// X key symbols to the virtual-key codes the renderer's key table is indexed by.
#pragma once

#include <cstdint>

#include <X11/X.h>

namespace veltrane::platform {

// Keys without a code of their own get 0xFF, as unassigned keys do on the
// system the codes come from. Letters map to their upper-case code whatever the
// shift state; pass the unshifted key symbol (column 0 of the key).
std::uint8_t VirtualKeyFromKeySym(KeySym keysym);

}  // namespace veltrane::platform
