// The fire under the dialog's logo, on its byte buffers alone.
#include "saver/dialog/logo_fire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace veltrane {
namespace {

// Hands out the given values in order and counts how many were taken.
class ScriptedRandom : public FireRandom {
 public:
  explicit ScriptedRandom(std::vector<float> values = {}, float otherwise = 0.0f)
      : values_(std::move(values)), otherwise_(otherwise) {}
  float Next() override {
    float v = taken < values_.size() ? values_[taken] : otherwise_;
    ++taken;
    return v;
  }
  std::size_t taken = 0;

 private:
  std::vector<float> values_;
  float otherwise_;
};

class MtRandom : public FireRandom {
 public:
  explicit MtRandom(unsigned seed) : gen_(seed) {}
  float Next() override { return dist_(gen_); }

 private:
  std::mt19937 gen_;
  std::uniform_real_distribution<float> dist_{0.0f, 1.0f};
};

LogoFire MakeFire(int w, int h) {
  LogoFire fire;
  fire.Initialize();
  fire.Recreate(w, h);
  return fire;
}

TEST(LogoFirePalette, EntriesRunFromBlackThroughRedAndYellowThenAGreyRamp) {
  LogoFire fire;
  fire.Initialize();
  auto p = [&](int i) { return fire.palette[static_cast<std::size_t>(i)]; };
  EXPECT_EQ(p(0), (PaletteEntry{0, 0, 0}));
  EXPECT_EQ(p(1), (PaletteEntry{4, 0, 0}));
  EXPECT_EQ(p(63), (PaletteEntry{252, 0, 0}));
  EXPECT_EQ(p(64), (PaletteEntry{255, 0, 0}));
  EXPECT_EQ(p(127), (PaletteEntry{255, 252, 0}));
  EXPECT_EQ(p(128), (PaletteEntry{255, 255, 0}));
  EXPECT_EQ(p(191), (PaletteEntry{255, 255, 252}));
  EXPECT_EQ(p(192), (PaletteEntry{0, 0, 0}));
  EXPECT_EQ(p(200), (PaletteEntry{32, 32, 32}));
  EXPECT_EQ(p(255), (PaletteEntry{252, 252, 252}));
}

TEST(LogoFireBuffers, RowsAreBottomUpBlueGreenRedPaddedToFourBytes) {
  EXPECT_EQ(LogoFire::StrideFor(468), 1404u);
  EXPECT_EQ(LogoFire::StrideFor(464), 1392u);
  EXPECT_EQ(LogoFire::StrideFor(5), 16u);
  EXPECT_EQ(LogoFire::StrideFor(0), 0u);

  LogoFire fire = MakeFire(5, 3);
  ASSERT_EQ(fire.heat.size(), 15u);
  ASSERT_EQ(fire.pixels.size(), 48u);
  fire.SetPixel(1, 0, {10, 20, 30});  // top picture row is the last buffer row
  EXPECT_EQ(fire.pixels[2 * 16 + 3], 30);
  EXPECT_EQ(fire.pixels[2 * 16 + 4], 20);
  EXPECT_EQ(fire.pixels[2 * 16 + 5], 10);
  EXPECT_EQ(fire.PixelAt(1, 0), (PaletteEntry{10, 20, 30}));

  // Sampling a lit pixel: a text cell, shown in the marker's colour.
  fire.MarkText(4, 2);
  EXPECT_EQ(fire.heatAt(4, 2), 127);
  EXPECT_EQ(fire.pixels[12], 0);
  EXPECT_EQ(fire.pixels[13], 252);
  EXPECT_EQ(fire.pixels[14], 255);
  fire.MarkText(5, 0);  // outside: ignored
  fire.MarkText(-1, 1);

  // Re-creating discards everything and zero-fills.
  fire.Recreate(4, 2);
  EXPECT_EQ(fire.heat, std::vector<std::uint8_t>(8, 0));
  EXPECT_EQ(fire.pixels, std::vector<std::uint8_t>(24, 0));
  fire.Recreate(-3, 7);
  EXPECT_TRUE(fire.heat.empty());
  EXPECT_TRUE(fire.pixels.empty());
}

TEST(LogoFireSpread, AverageRoundsHalvesToEvenAndNoiseStartsAtThree) {
  ScriptedRandom none;
  EXPECT_EQ(LogoFire::Spread(10, 127, none), 2);  // 2.5 -> 2, below the threshold
  EXPECT_EQ(none.taken, 0u);

  ScriptedRandom zero;
  EXPECT_EQ(LogoFire::Spread(11, 127, zero), 13);  // 2.75 -> 3, noise +10
  EXPECT_EQ(zero.taken, 1u);

  // 1020 averages to 255 before noise: r = 0.9999 takes it down to 250.0015.
  ScriptedRandom high({0.9999f});
  EXPECT_EQ(LogoFire::Spread(1020, 127, high), 250);
}

TEST(LogoFireSpread, EveryNeighbourSumAveragesToTheNearestHalvesToEven) {
  for (int sum = 0; sum <= 1020; ++sum) {
    int average = static_cast<int>(std::nearbyint(sum / 4.0));
    int expected = average < 3 ? average : std::min(average + 10, 255);  // r = 0: +10
    if (expected == 127) expected = 123;
    ScriptedRandom zero;
    ASSERT_EQ(LogoFire::Spread(sum, 127, zero), expected) << "sum " << sum;
    ASSERT_EQ(zero.taken, average < 3 ? 0u : 1u) << "sum " << sum;
  }
}

TEST(LogoFireSpread, NoiseRoundsAndClampsInOrder) {
  ScriptedRandom r({0.0f, 0.9999f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f});
  EXPECT_EQ(LogoFire::Spread(16, 127, r), 14);   // v = 4, r = 0
  EXPECT_EQ(LogoFire::Spread(16, 127, r), 0);    // 4 - 14.9985 + 10 -> -1 -> 0
  EXPECT_EQ(LogoFire::Spread(16, 127, r), 6);    // 6.5 -> 6
  EXPECT_EQ(LogoFire::Spread(20, 127, r), 8);    // 7.5 -> 8
  EXPECT_EQ(LogoFire::Spread(468, 127, r), 123);  // 117 + 10 = T -> T - 4
  EXPECT_EQ(LogoFire::Spread(1020, 127, r), 255);  // 265 -> 255
  EXPECT_EQ(LogoFire::Spread(464, 127, r), 126);   // 116 + 10, not the marker
  EXPECT_EQ(r.taken, 7u);
}

// The noise is rounded on 15 r alone; it must agree with rounding the whole
// v - 15 r + 10 for every v and r, halves included.
TEST(LogoFireSpread, NoiseAgreesWithRoundingTheWholeExpression) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<float> dist(0.0f, 1.0f);
  std::vector<float> rs = {0.0f, 0.5f, 0.1f, 0.3f, 0.7f, 0.9f, 0.9999f, 1.0f / 30, 3.0f / 30,
                           std::nextafter(0.5f, 0.0f), std::nextafter(0.5f, 1.0f),
                           std::nextafter(1.0f, 0.0f)};
  for (int i = 0; i < 2000; ++i) rs.push_back(dist(gen));
  for (int v = 3; v <= 255; ++v) {
    for (float r : rs) {
      double exact = std::nearbyint(static_cast<double>(v) - 15.0 * static_cast<double>(r) + 10.0);
      int expected = exact < 0 ? 0 : exact > 255 ? 255 : static_cast<int>(exact);
      if (expected == 127) expected = 123;
      ScriptedRandom one({r});
      ASSERT_EQ(LogoFire::Spread(4 * v, 127, one), expected) << "v=" << v << " r=" << r;
    }
  }
}

TEST(LogoFireCell, StoresTheSpreadValueAndShowsItsColour) {
  LogoFire fire = MakeFire(4, 3);
  // Neighbours of (2, 1) summing to 468: average 117, +10 with r = 0 gives 127.
  fire.heatAt(3, 1) = 200;
  fire.heatAt(1, 1) = 68;
  fire.heatAt(2, 0) = 100;
  fire.heatAt(2, 2) = 100;
  ScriptedRandom zero;
  EXPECT_EQ(fire.UpdateCell(2, 1, zero), 123);
  EXPECT_EQ(fire.heatAt(2, 1), 123);
  EXPECT_EQ(fire.PixelAt(2, 1), fire.palette[123]);

  fire.heatAt(2, 0) = 255;
  fire.heatAt(2, 2) = 255;
  fire.heatAt(3, 1) = 255;
  fire.heatAt(1, 1) = 255;
  EXPECT_EQ(fire.UpdateCell(2, 1, zero), 255);  // 265 clamped
  EXPECT_EQ(fire.heatAt(2, 1), 255);
  EXPECT_EQ(fire.PixelAt(2, 1), (PaletteEntry{252, 252, 252}));
}

TEST(LogoFireCell, TextCellsKeepTheirHeatAreShownBlackAndStillDrawNoise) {
  LogoFire fire = MakeFire(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) fire.heatAt(x, y) = 200;
  fire.MarkText(2, 1);
  ASSERT_EQ(fire.PixelAt(2, 1), (PaletteEntry{255, 252, 0}));
  ScriptedRandom r;
  for (int frame = 0; frame < 50; ++frame) fire.UpdatePass(r);
  EXPECT_EQ(fire.heatAt(2, 1), 127);
  EXPECT_EQ(fire.PixelAt(2, 1), (PaletteEntry{0, 0, 0}));
  // Four updated cells per pass, all hot: each took one value, the letter too.
  EXPECT_EQ(r.taken, 50u * 4u);
  EXPECT_GT(fire.heatAt(3, 2), 200);  // the neighbours kept glowing around it
}

TEST(LogoFirePass, UsesNewValuesBelowAndLeftAndOldValuesAboveAndRight) {
  ScriptedRandom zero;

  // A hot cell on the bottom edge spreads up and to the right within one pass.
  LogoFire below = MakeFire(6, 5);
  below.heatAt(2, 4) = 40;
  below.UpdatePass(zero);
  EXPECT_EQ(below.heatAt(2, 3), 20);  // 40 / 4 = 10, +10
  EXPECT_EQ(below.heatAt(3, 3), 15);  // new left neighbour 20: 5, +10
  EXPECT_EQ(below.heatAt(4, 3), 14);  // new left neighbour 15: 3.75 -> 4, +10
  EXPECT_EQ(below.heatAt(2, 2), 15);  // new cell below, 20
  EXPECT_EQ(below.heatAt(3, 2), 18);  // new below 15 + new left 15: 7.5 -> 8, +10
  EXPECT_EQ(below.heatAt(2, 1), 14);  // new below 15: 3.75 -> 4, +10

  // A hot cell on the top edge reaches only the first row under it.
  LogoFire above = MakeFire(6, 5);
  above.heatAt(3, 0) = 40;
  above.UpdatePass(zero);
  EXPECT_EQ(above.heatAt(3, 1), 20);
  EXPECT_EQ(above.heatAt(4, 1), 15);  // still spreads right along its row
  EXPECT_EQ(above.heatAt(2, 1), 0);   // left of it was updated before it
  for (int x = 2; x <= 4; ++x) {
    EXPECT_EQ(above.heatAt(x, 2), 0) << x;
    EXPECT_EQ(above.heatAt(x, 3), 0) << x;
  }
  above.UpdatePass(zero);
  EXPECT_EQ(above.heatAt(3, 2), 15);  // one row further per pass: 20 / 4 = 5, +10

  // A hot cell on the right edge reaches only the column left of it.
  LogoFire right = MakeFire(6, 5);
  right.heatAt(5, 2) = 40;
  right.UpdatePass(zero);
  EXPECT_EQ(right.heatAt(4, 2), 20);
  EXPECT_EQ(right.heatAt(3, 2), 0);   // its right neighbour was still old
  EXPECT_EQ(right.heatAt(4, 1), 15);  // the row above sees the new value below
}

TEST(LogoFirePass, OneRandomValuePerNoisyCellInPassOrder) {
  // Every interior cell of a 6 x 4 grid (rows 2, 1; columns 2..4) is noisy.
  LogoFire fire = MakeFire(6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) fire.heatAt(x, y) = 100;
  ScriptedRandom r({0.0f, 0.5f, 0.25f, 0.75f, 0.125f, 0.875f}, 0.999f);
  fire.UpdatePass(r);
  EXPECT_EQ(r.taken, 6u);
  // Pass order (2,2) (3,2) (4,2) (2,1) (3,1) (4,1), each with the next value.
  EXPECT_EQ(fire.heatAt(2, 2), 110);  // 400 / 4 = 100, r = 0: 110
  EXPECT_EQ(fire.heatAt(3, 2), 104);  // 410 / 4 = 102.5 -> 102, r = 0.5: 104.5 -> 104
  EXPECT_EQ(fire.heatAt(4, 2), 107);  // 404 / 4 = 101, r = 0.25: 107.25
  EXPECT_EQ(fire.heatAt(2, 1), 101);  // 410 -> 102, r = 0.75: 100.75
  EXPECT_EQ(fire.heatAt(3, 1), 109);  // 405 -> 101, r = 0.125: 109.125
  EXPECT_EQ(fire.heatAt(4, 1), 101);  // 416 -> 104, r = 0.875: 100.875
}

TEST(LogoFirePass, BorderCellsNeverChange) {
  LogoFire fire = MakeFire(23, 11);
  // Letters touching every edge, and some inside.
  for (int x = 0; x < 23; x += 3) {
    fire.MarkText(x, 0);
    fire.MarkText(x, 10);
  }
  for (int y = 0; y < 11; y += 2) {
    fire.MarkText(0, y);
    fire.MarkText(1, y);
    fire.MarkText(22, y);
  }
  fire.MarkText(10, 5);
  fire.MarkText(11, 5);
  fire.SetPixel(1, 4, {1, 2, 3});  // column 1 keeps whatever capture put there
  const LogoFire before = fire;

  MtRandom r(7);
  for (int frame = 0; frame < 300; ++frame) fire.UpdatePass(r);

  auto same = [&](int x, int y) {
    EXPECT_EQ(fire.heatAt(x, y), before.heatAt(x, y)) << x << "," << y;
    EXPECT_EQ(fire.PixelAt(x, y), before.PixelAt(x, y)) << x << "," << y;
  };
  for (int x = 0; x < 23; ++x) {
    same(x, 0);
    same(x, 10);
  }
  for (int y = 0; y < 11; ++y) {
    same(0, y);
    same(1, y);
    same(22, y);
  }
  // The glow grew: interior cells heated, letters kept and shown black.
  EXPECT_EQ(fire.heatAt(10, 5), 127);
  EXPECT_EQ(fire.PixelAt(11, 5), (PaletteEntry{0, 0, 0}));
  EXPECT_GT(fire.heatAt(15, 7), 100);
  for (int y = 1; y <= 9; ++y)
    for (int x = 2; x <= 21; ++x)
      if (before.heatAt(x, y) != 127) {
        EXPECT_NE(fire.heatAt(x, y), 127) << x << "," << y;
      }
}

TEST(LogoFirePass, EmptyGridStaysBlackAndDrawsNoRandomValue) {
  LogoFire fire = MakeFire(468, 244);
  ScriptedRandom r;
  for (int frame = 0; frame < 20; ++frame) fire.UpdatePass(r);
  EXPECT_EQ(r.taken, 0u);
  EXPECT_EQ(fire.heat, std::vector<std::uint8_t>(fire.heat.size(), 0));
  EXPECT_EQ(fire.pixels, std::vector<std::uint8_t>(fire.pixels.size(), 0));
}

TEST(LogoFirePass, SurfacesTooSmallForTheUpdateLeaveItEmpty) {
  for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {3, 50}, {50, 2}, {0, 9}, {9, 0}}) {
    LogoFire fire = MakeFire(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) fire.heatAt(x, y) = 255;
    const auto heat = fire.heat;
    const auto pixels = fire.pixels;
    ScriptedRandom r;
    fire.UpdatePass(r);
    EXPECT_EQ(r.taken, 0u) << w << "x" << h;
    EXPECT_EQ(fire.heat, heat) << w << "x" << h;
    EXPECT_EQ(fire.pixels, pixels) << w << "x" << h;
  }
  // 4 x 3 is the smallest surface with a cell to update: (2, 1) alone.
  LogoFire fire = MakeFire(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) fire.heatAt(x, y) = 40;
  ScriptedRandom r;
  fire.UpdatePass(r);
  EXPECT_EQ(r.taken, 1u);
  EXPECT_EQ(fire.heatAt(2, 1), 50);
  EXPECT_EQ(fire.heatAt(1, 1), 40);
}

}  // namespace
}  // namespace veltrane
