// The six skin pictures of the button, compiled into the program.
#pragma once

#include <QImage>

#include "saver/controls/command_logic.h"

namespace veltrane {

// The skin picture of a look, 64 x 25 pixels; a null image if it could not be
// decoded (the face is then drawn without its border).
const QImage& SkinPicture(Look look);

}  // namespace veltrane
