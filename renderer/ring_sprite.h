// The ring sprite: a 64 x 64 grey image stored as a bitmap resource (a 40-byte
// BITMAPINFOHEADER followed by 24-bit pixels, blue first, bottom row first), and
// the reader that finds its size and pixels the way the platform's bitmap loader
// would.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace veltrane {

inline constexpr int kRingSpriteId = 101;  // IDB_RINGSPRITE
inline constexpr int kRingSpriteSide = 64;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;
inline constexpr std::size_t kRingSpriteRowBytes = 3 * kRingSpriteSide;  // 192, a multiple of 4
// Header, pixels and two trailing zero bytes.
inline constexpr std::size_t kRingSpriteResourceSize =
    kBitmapInfoHeaderSize + kRingSpriteRowBytes * kRingSpriteSide + 2;
inline constexpr std::int32_t kRingSpritePelsPerMeter = 2834;
// The image is rotationally symmetric about this point (pixel coordinates).
inline constexpr double kRingSpriteCentre = 31.5;

// Mean grey level of the pixels whose distance from the centre lies in [d, d+1),
// for d = 0..28; every pixel at distance 29 or more is black.
inline constexpr std::array<int, 29> kRingSpriteProfile = {
    0,  0,  0,  0,  0,  0,   0,   0,   4,   12,  15,  21,  28,  36, 45,
    56, 68, 81, 95, 112, 132, 153, 175, 198, 228, 231, 145, 43,  1};
inline constexpr int kRingSpritePeakGrey = 246;

// What GetObject reports of a loaded bitmap: its size, bit depth and pixels.
struct SpriteBitmap {
  int width = 0;
  int height = 0;          // rows are stored bottom row first
  int bitsPerPixel = 0;
  const unsigned char* bits = nullptr;  // rows padded to 4 bytes
};

// Reads a bitmap resource (BITMAPINFOHEADER and pixels). Only the uncompressed
// 24-bit bottom-up form can be handed to GL as BGR; anything else, or data too
// short for its header's claims, is not a usable sprite.
std::optional<SpriteBitmap> ReadSpriteBitmap(const unsigned char* data, std::size_t size);

}  // namespace veltrane
