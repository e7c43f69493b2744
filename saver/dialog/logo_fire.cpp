#include "saver/dialog/logo_fire.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace veltrane {

void LogoFire::Initialize() {
  for (int i = 0; i < 256; ++i) {
    PaletteEntry& e = palette[static_cast<std::size_t>(i)];
    if (i < 64) {
      e = {static_cast<std::uint8_t>(4 * i), 0, 0};
    } else if (i < 128) {
      e = {255, static_cast<std::uint8_t>(4 * (i - 64)), 0};
    } else if (i < 192) {
      e = {255, 255, static_cast<std::uint8_t>(4 * (i - 128))};
    } else {
      auto g = static_cast<std::uint8_t>(4 * (i - 192));
      e = {g, g, g};
    }
  }
}

std::size_t LogoFire::StrideFor(int w) {
  if (w <= 0) return 0;
  return (static_cast<std::size_t>(w) * 3 + 3) & ~static_cast<std::size_t>(3);
}

void LogoFire::Recreate(int w, int h) {
  width_ = std::max(w, 0);
  height_ = std::max(h, 0);
  stride_ = StrideFor(width_);
  // assign() both resizes and zero-fills, dropping what the buffers held.
  heat.assign(static_cast<std::size_t>(width_) * height_, 0);
  pixels.assign(stride_ * height_, 0);
}

PaletteEntry LogoFire::PixelAt(int x, int y) const {
  const std::uint8_t* p = pixels.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_ +
                          static_cast<std::size_t>(x) * 3;
  return {p[2], p[1], p[0]};
}

void LogoFire::SetPixel(int x, int y, const PaletteEntry& colour) {
  std::uint8_t* p = PixelPtr(x, y);
  p[0] = colour.blue;
  p[1] = colour.green;
  p[2] = colour.red;
}

void LogoFire::MarkText(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  heatAt(x, y) = static_cast<std::uint8_t>(textLevel);
  if (textLevel >= 0 && textLevel <= 255) SetPixel(x, y, palette[static_cast<std::size_t>(textLevel)]);
}

namespace {
// To the nearest integer, halves to even, under the default rounding mode.
inline int RoundToInt(double v) {
#if defined(__SSE2__)
  return _mm_cvtsd_si32(_mm_set_sd(v));  // one instruction; nearbyint is a library call
#else
  return static_cast<int>(std::nearbyint(v));
#endif
}

// s / 4 to the nearest integer, halves to the even neighbour (6 -> 2, 10 -> 2, 14 -> 4).
// Without branches: adding 1 rounds the remainders 3 up and, with the quotient's
// parity added too, the remainder 2 up exactly when the quotient is odd.
inline int AverageOfFour(int s) { return (s + 1 + ((s >> 2) & 1)) >> 2; }

// v - 15 r + 10 to the nearest integer, halves to even, for an integer v.
// 15 r is exact in double for a single-precision r, and it ends in exactly .5
// only for r = 0.5; every other r rounds the same way whatever v is, so the
// rounding can be done on 15 r alone, away from the chain of cells that the
// in-place pass makes.
inline int AddNoise(int v, float r) {
  if (r == 0.5f) {
    int a = v + 2;  // v + 2.5
    return a + (a & 1);
  }
  return v + 10 - RoundToInt(15.0 * static_cast<double>(r));
}

inline int Clamp(int v, int textLevel) {
  v = v < 0 ? 0 : v;
  v = v > 255 ? 255 : v;
  // Only a value that was inside the range can equal the marker here.
  return v == textLevel ? textLevel - 4 : v;
}

inline int SpreadValue(int neighbourSum, int textLevel, FireRandom& random) {
  int v = AverageOfFour(neighbourSum);
  if (v >= LogoFire::kNoiseThreshold) v = AddNoise(v, random.Next());
  return Clamp(v, textLevel);
}

inline void ShowColour(std::uint8_t* px, int x, const PaletteEntry& c) {
  px[3 * x] = c.blue;
  px[3 * x + 1] = c.green;
  px[3 * x + 2] = c.red;
}
}  // namespace

int LogoFire::Spread(int neighbourSum, int textLevel, FireRandom& random) {
  return SpreadValue(neighbourSum, textLevel, random);
}

std::uint8_t LogoFire::UpdateCell(int x, int y, FireRandom& random) {
  const std::size_t w = static_cast<std::size_t>(width_);
  std::uint8_t* row = heat.data() + static_cast<std::size_t>(y) * w;
  int v = SpreadValue(row[x + 1] + row[x - 1] + row[x - w] + row[x + w], textLevel, random);
  if (row[x] == textLevel) {
    v = 0;  // a letter keeps its heat and is shown black
  } else {
    row[x] = static_cast<std::uint8_t>(v);
  }
  ShowColour(pixels.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_, x, palette[v]);
  return static_cast<std::uint8_t>(v);
}

void LogoFire::UpdatePass(FireRandom& random) {
  // Everything the loop reads is held in locals: the buffers are bytes, and a
  // byte store would otherwise make the compiler reload every member.
  const int w = width_;
  const int h = height_;
  const std::size_t stride = stride_;
  const int text = textLevel;
  const PaletteEntry* pal = palette.data();
  std::uint8_t* heatData = heat.data();
  std::uint8_t* pixelData = pixels.data();
  // Rows H-2 up to 1, columns 2 to W-2; a surface under 4 x 3 has no such cell.
  if (w < 4 || h < 3) return;
  for (int y = h - 2; y >= 1; --y) {
    std::uint8_t* row = heatData + static_cast<std::size_t>(y) * w;
    const std::uint8_t* up = row - w;
    const std::uint8_t* down = row + w;
    std::uint8_t* px = pixelData + static_cast<std::size_t>(h - 1 - y) * stride;
    // The left neighbour's new value stays in a register rather than making
    // each cell wait for the store of the one before.
    int left = row[1];
    for (int x = 2; x <= w - 2; ++x) {
      int v = SpreadValue(row[x + 1] + left + up[x] + down[x], text, random);
      if (row[x] == text) {
        left = text;
        v = 0;  // a letter keeps its heat and is shown black
      } else {
        row[x] = static_cast<std::uint8_t>(v);
        left = v;
      }
      ShowColour(px, x, pal[v]);
    }
  }
}

}  // namespace veltrane
