// The preview still (152 x 112 JPEG), compiled into the program from assets/preview_still.jpg.
#pragma once

#include <cstddef>

extern const unsigned char kPreviewStill[];
extern const std::size_t kPreviewStill_size;
