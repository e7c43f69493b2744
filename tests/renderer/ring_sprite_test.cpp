#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "renderer/ring_sprite.h"

extern const unsigned char kRingSpriteResource[];
extern const std::size_t kRingSpriteResource_size;

namespace veltrane {
namespace {

std::uint32_t U32At(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t U16At(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// The embedded sprite as an image: grey(x, y) with y = 0 the top row.
class RingSpriteImage : public ::testing::Test {
 protected:
  const unsigned char* data = kRingSpriteResource;
  const unsigned char* Pixel(int x, int y) const { return data + 40 + (63 - y) * 192 + x * 3; }
  int Grey(int x, int y) const { return Pixel(x, y)[0]; }
  static double Distance(int x, int y) { return std::hypot(x - 31.5, y - 31.5); }
};

TEST_F(RingSpriteImage, ResourceLayoutAndHeader) {
  ASSERT_EQ(kRingSpriteResource_size, 12330u);
  EXPECT_EQ(U32At(data + 0), 40u);       // biSize
  EXPECT_EQ(U32At(data + 4), 64u);       // biWidth
  EXPECT_EQ(U32At(data + 8), 64u);       // biHeight, bottom row first
  EXPECT_EQ(U16At(data + 12), 1);        // biPlanes
  EXPECT_EQ(U16At(data + 14), 24);       // biBitCount
  EXPECT_EQ(U32At(data + 16), 0u);       // biCompression
  EXPECT_EQ(U32At(data + 20), 0u);       // biSizeImage
  EXPECT_EQ(U32At(data + 24), 2834u);    // biXPelsPerMeter
  EXPECT_EQ(U32At(data + 28), 2834u);    // biYPelsPerMeter
  EXPECT_EQ(U32At(data + 32), 0u);       // biClrUsed
  EXPECT_EQ(U32At(data + 36), 0u);       // biClrImportant
  EXPECT_EQ(data[12328], 0);
  EXPECT_EQ(data[12329], 0);

  const auto bitmap = ReadSpriteBitmap(data, kRingSpriteResource_size);
  ASSERT_TRUE(bitmap.has_value());
  EXPECT_EQ(bitmap->width, 64);
  EXPECT_EQ(bitmap->height, 64);
  EXPECT_EQ(bitmap->bitsPerPixel, 24);
  EXPECT_EQ(bitmap->bits, data + 40);
}

TEST_F(RingSpriteImage, GreyAndSymmetricWithBlackCentreCornersAndBorder) {
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const unsigned char* p = Pixel(x, y);
      ASSERT_EQ(p[0], p[1]) << x << "," << y;
      ASSERT_EQ(p[1], p[2]) << x << "," << y;
      // Mirror and quarter-turn symmetry about (31.5, 31.5).
      ASSERT_EQ(Grey(x, y), Grey(63 - x, y));
      ASSERT_EQ(Grey(x, y), Grey(x, 63 - y));
      ASSERT_EQ(Grey(x, y), Grey(63 - y, x));
      if (Distance(x, y) < 8.0) {
        ASSERT_EQ(Grey(x, y), 0) << "centre disc at " << x << "," << y;
      }
      if (x < 4 || x > 59 || y < 4 || y > 59) {
        ASSERT_EQ(Grey(x, y), 0) << "border at " << x << "," << y;
      }
    }
  }
  for (int x : {0, 63})
    for (int y : {0, 63}) EXPECT_EQ(Grey(x, y), 0);

  // Pixels at (almost) the same distance have (almost) the same level.
  struct Sample {
    double r;
    int grey;
  };
  std::vector<Sample> samples;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) samples.push_back({Distance(x, y), Grey(x, y)});
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.r < b.r; });
  for (std::size_t i = 1; i < samples.size(); ++i)
    if (samples[i].r - samples[i - 1].r < 0.005) {
      ASSERT_LE(std::abs(samples[i].grey - samples[i - 1].grey), 2) << "at distance " << samples[i].r;
    }
}

TEST_F(RingSpriteImage, RingMeansFollowTheProfile) {
  // Mean grey level over the ring [d, d+1); 29 and beyond is black.
  const int profile[] = {0,  0,  0,  0,  0,   0,   0,   0,   4,   12,  15,  21,  28,  36,  45,
                         56, 68, 81, 95, 112, 132, 153, 175, 198, 228, 231, 145, 43,  1};
  std::vector<double> sum(46, 0.0), count(46, 0.0);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int d = static_cast<int>(Distance(x, y));
      sum[d] += Grey(x, y);
      count[d] += 1;
    }
  }
  for (int d = 0; d < 46; ++d) {
    if (count[d] == 0) continue;  // beyond the corners
    const double mean = sum[d] / count[d];
    const double want = d < 29 ? profile[d] : 0.0;
    EXPECT_NEAR(mean, want, 0.5) << "ring " << d;
  }
  // The header's copy of the table is the one the generator used.
  for (int d = 0; d < 29; ++d) EXPECT_EQ(kRingSpriteProfile[d], profile[d]) << d;
}

TEST_F(RingSpriteImage, BrightRimAtTwentyFourToTwentyFiveThenASharpFall) {
  int brightest = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) brightest = std::max(brightest, Grey(x, y));
  EXPECT_EQ(brightest, 246);
  double outermostBright = 0, outermostLit = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const double r = Distance(x, y);
      if (Grey(x, y) == brightest) {
        EXPECT_GE(r, 24.0);
        EXPECT_LT(r, 25.0);
      }
      if (Grey(x, y) >= 200) outermostBright = std::max(outermostBright, r);
      if (Grey(x, y) > 0) outermostLit = std::max(outermostLit, r);
    }
  }
  EXPECT_LE(outermostLit - outermostBright, 3.0);
  EXPECT_GT(outermostLit, 28.0);
}

// A minimal bitmap resource for the reader: header plus zeroed pixels.
std::vector<unsigned char> Bitmap(std::int32_t width, std::int32_t height, int bits = 24,
                                  std::uint32_t compression = 0, std::uint32_t coloursUsed = 0) {
  const std::size_t row = (static_cast<std::size_t>(std::abs(width)) * 3 + 3) & ~std::size_t{3};
  std::vector<unsigned char> out(40 + 4 * coloursUsed + row * static_cast<std::size_t>(std::abs(height)));
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
  };
  put32(0, 40);
  put32(4, static_cast<std::uint32_t>(width));
  put32(8, static_cast<std::uint32_t>(height));
  out[12] = 1;
  out[14] = static_cast<unsigned char>(bits);
  put32(16, compression);
  put32(32, coloursUsed);
  return out;
}

TEST(ReadSpriteBitmapTest, AcceptsPaddedRowsAndSkipsAColourTable) {
  auto odd = Bitmap(3, 2);  // rows of 9 bytes padded to 12
  ASSERT_EQ(odd.size(), 40u + 24u);
  const auto read = ReadSpriteBitmap(odd.data(), odd.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->width, 3);
  EXPECT_EQ(read->height, 2);
  EXPECT_EQ(read->bits, odd.data() + 40);

  auto withTable = Bitmap(4, 4, 24, 0, 2);
  const auto tabled = ReadSpriteBitmap(withTable.data(), withTable.size());
  ASSERT_TRUE(tabled);
  EXPECT_EQ(tabled->bits, withTable.data() + 48);
}

TEST(ReadSpriteBitmapTest, RejectsWhatCannotBeHandedToGLAsBGR) {
  EXPECT_FALSE(ReadSpriteBitmap(nullptr, 100));
  const auto good = Bitmap(64, 64);
  EXPECT_FALSE(ReadSpriteBitmap(good.data(), 39));
  EXPECT_FALSE(ReadSpriteBitmap(good.data(), good.size() - 1)) << "truncated pixels";
  auto unusable = [](const std::vector<unsigned char>& b) { return !ReadSpriteBitmap(b.data(), b.size()); };
  EXPECT_TRUE(unusable(Bitmap(64, 64, 32)));
  EXPECT_TRUE(unusable(Bitmap(64, 64, 8)));
  EXPECT_TRUE(unusable(Bitmap(64, 64, 24, 1)));  // run-length compressed
  EXPECT_TRUE(unusable(Bitmap(64, -64)));        // top-down rows
  EXPECT_TRUE(unusable(Bitmap(0, 64)));

  auto core = good;
  core[0] = 12;  // the old core header cannot describe this layout
  EXPECT_FALSE(ReadSpriteBitmap(core.data(), core.size()));
  auto huge = good;
  huge[7] = 0x7F;  // width near 2^31: must not overflow the size check
  EXPECT_FALSE(ReadSpriteBitmap(huge.data(), huge.size()));
  auto headerPastEnd = good;
  headerPastEnd[2] = 1;  // biSize 65576
  EXPECT_FALSE(ReadSpriteBitmap(headerPastEnd.data(), headerPastEnd.size()));
}

}  // namespace
}  // namespace veltrane
