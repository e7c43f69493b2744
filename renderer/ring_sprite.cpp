#include "renderer/ring_sprite.h"

#include <cstring>

namespace veltrane {
namespace {

std::uint32_t U32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::int32_t I32(const unsigned char* p) { return static_cast<std::int32_t>(U32(p)); }
std::uint16_t U16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// Larger images are not sprites; the bound also keeps the size arithmetic small.
constexpr std::int32_t kMaxSide = 16384;

}  // namespace

std::optional<SpriteBitmap> ReadSpriteBitmap(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size < kBitmapInfoHeaderSize) return std::nullopt;
  const std::uint32_t headerSize = U32(data);
  const std::int32_t width = I32(data + 4);
  const std::int32_t height = I32(data + 8);
  const std::uint16_t planes = U16(data + 12);
  const std::uint16_t bitCount = U16(data + 14);
  const std::uint32_t compression = U32(data + 16);
  const std::uint32_t coloursUsed = U32(data + 32);

  // BITMAPINFOHEADER and its larger successors; the older 12-byte core header
  // cannot describe this image.
  if (headerSize < kBitmapInfoHeaderSize || headerSize > size) return std::nullopt;
  if (planes != 1 || bitCount != 24 || compression != 0) return std::nullopt;
  // A negative height would be a top-down image, which GL would show upside down.
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return std::nullopt;
  if (coloursUsed > 256) return std::nullopt;

  // A 24-bit image may still carry a (unused) colour table before its pixels.
  const std::uint64_t pixelOffset = std::uint64_t{headerSize} + 4ull * coloursUsed;
  const std::uint64_t rowBytes = (3ull * static_cast<std::uint64_t>(width) + 3) & ~3ull;
  const std::uint64_t needed = pixelOffset + rowBytes * static_cast<std::uint64_t>(height);
  if (needed > size) return std::nullopt;

  SpriteBitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = bitCount;
  bitmap.bits = data + pixelOffset;
  return bitmap;
}

}  // namespace veltrane
