// The fire under the dialog's logo, on plain byte buffers and free of any window
// system: a heat grid the size of the logo surface, a 24-bit bottom-up colour
// buffer in the device-independent image layout, and the 256-entry fire palette.
//
// The letters are fixed heat sources (cells holding the text marker). Each frame
// one in-place pass spreads heat from row H-2 up to row 1, left to right, with a
// little random flicker, and maps every updated cell through the palette into the
// colour buffer. Because the cell below and the cell to the left already hold the
// new values of the pass, the glow rises.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltrane {

// Values uniform in [0, 1); the animation draws one per cell that gets noise.
class FireRandom {
 public:
  virtual ~FireRandom() = default;
  virtual float Next() = 0;
};

struct PaletteEntry {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const PaletteEntry&) const = default;
};

class LogoFire {
 public:
  static constexpr std::int16_t kTextLevel = 127;  // heat of a text cell
  static constexpr int kNeighbourDivisor = 4;
  static constexpr int kNoiseThreshold = 3;

  // Fills `palette`: black to red to yellow to near white over 0..191, then a
  // grey ramp from black at 192 to (252, 252, 252) at 255.
  void Initialize();

  // Re-creates `heat` and `pixels` for a w x h image, all zero; earlier contents
  // are discarded. Negative sizes count as 0.
  void Recreate(int w, int h);

  int width() const { return width_; }
  int height() const { return height_; }
  // Bytes per buffer row: 3 * width, padded up to a multiple of four.
  std::size_t stride() const { return stride_; }
  static std::size_t StrideFor(int w);

  // Sampling of one lit picture pixel: the cell becomes a text cell and its
  // buffer pixel takes the text marker's colour. Out-of-range cells are ignored.
  void MarkText(int x, int y);

  // One update pass over rows H-2 .. 1 and columns 2 .. W-2, in place.
  void UpdatePass(FireRandom& random);

  // The update of one interior cell (1 <= y <= H-2, 1 <= x <= W-2), exposed so
  // its arithmetic can be checked on its own. Returns the value shown.
  std::uint8_t UpdateCell(int x, int y, FireRandom& random);

  // The value a cell gets from its neighbour sum, before the text-cell rule.
  // `random` is consulted only when the averaged value reaches the threshold.
  static int Spread(int neighbourSum, int textLevel, FireRandom& random);

  std::uint8_t& heatAt(int x, int y) { return heat[static_cast<std::size_t>(y) * width_ + x]; }
  std::uint8_t heatAt(int x, int y) const { return heat[static_cast<std::size_t>(y) * width_ + x]; }
  // The colour buffer's pixel for picture coordinates (y = 0 is the top row).
  PaletteEntry PixelAt(int x, int y) const;
  void SetPixel(int x, int y, const PaletteEntry& colour);

  std::int16_t textLevel = kTextLevel;  // T; the marker that drawlogo sets
  std::array<PaletteEntry, 256> palette{};
  std::vector<std::uint8_t> heat;    // (x, y), x fastest, y = 0 the top row
  std::vector<std::uint8_t> pixels;  // bottom-up rows of blue, green, red

 private:
  std::uint8_t* PixelPtr(int x, int y) {
    return pixels.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_ +
           static_cast<std::size_t>(x) * 3;
  }

  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
};

}  // namespace veltrane
