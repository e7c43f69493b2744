// Makes assets/ring_sprite.bmp, the renderer's ring sprite, from the grey profile
// in renderer/ring_sprite.h: a rotationally symmetric grey ring, dark inside and
// rising gradually to a bright rim that falls sharply to black.
//
// The grey level is a piecewise-linear function of the distance from the centre.
// Each ring [d, d+1) owns one knot whose level is adjusted until the ring's mean
// over the real pixel grid equals the profile, so the image matches the table
// on the grid it is drawn on.
//
// Usage: make_ring_sprite <output.bmp>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "../renderer/ring_sprite.h"

namespace {

using veltrane::kRingSpriteCentre;
using veltrane::kRingSpriteProfile;
using veltrane::kRingSpriteSide;

struct Knot {
  double r;
  double grey;
  int ring;  // the ring whose mean this knot is fitted to; -1 for a fixed knot
};

constexpr double kInnerEdge = 8.0;   // black disc inside
constexpr double kPeakAt = 24.75;    // the brightest pixels lie at distance 24..25
constexpr double kOuterEdge = 28.4;  // black from here on: columns and rows 0..3 and 60..63 stay black

std::vector<Knot> InitialKnots() {
  std::vector<Knot> knots;
  knots.push_back({kInnerEdge, 0.0, -1});
  for (int d = 8; d <= 23; ++d) knots.push_back({d + 0.5, double(kRingSpriteProfile[d]), d});
  knots.push_back({24.25, double(kRingSpriteProfile[24]), 24});
  knots.push_back({kPeakAt, double(veltrane::kRingSpritePeakGrey), -1});
  for (int d = 25; d <= 27; ++d) knots.push_back({d + 0.5, double(kRingSpriteProfile[d]), d});
  knots.push_back({28.0, 4.0, 28});
  knots.push_back({kOuterEdge, 0.0, -1});
  return knots;
}

double Grey(const std::vector<Knot>& knots, double r) {
  if (r <= knots.front().r || r >= knots.back().r) return 0.0;
  for (std::size_t i = 1; i < knots.size(); ++i) {
    if (r <= knots[i].r) {
      const Knot& a = knots[i - 1];
      const Knot& b = knots[i];
      return a.grey + (b.grey - a.grey) * (r - a.r) / (b.r - a.r);
    }
  }
  return 0.0;
}

double Distance(int x, int y) { return std::hypot(x - kRingSpriteCentre, y - kRingSpriteCentre); }

// Mean level per ring d = floor(distance), from a per-pixel level function.
template <typename Level>
std::vector<double> RingMeans(Level level) {
  std::vector<double> sum(64, 0.0), count(64, 0.0);
  for (int y = 0; y < kRingSpriteSide; ++y) {
    for (int x = 0; x < kRingSpriteSide; ++x) {
      const double r = Distance(x, y);
      const int d = static_cast<int>(r);
      sum[d] += level(r);
      count[d] += 1;
    }
  }
  for (std::size_t d = 0; d < sum.size(); ++d) sum[d] = count[d] > 0 ? sum[d] / count[d] : 0.0;
  return sum;
}

void FitKnots(std::vector<Knot>& knots) {
  for (int iteration = 0; iteration < 2000; ++iteration) {
    const std::vector<double> means = RingMeans([&](double r) { return Grey(knots, r); });
    double worst = 0;
    for (Knot& k : knots) {
      if (k.ring < 0) continue;
      const double error = kRingSpriteProfile[k.ring] - means[k.ring];
      worst = std::max(worst, std::fabs(error));
      k.grey = std::clamp(k.grey + error, 0.0, double(veltrane::kRingSpritePeakGrey));
    }
    if (worst < 1e-6) break;
  }
}

void PutU16(std::vector<unsigned char>& out, std::uint16_t v) {
  out.push_back(v & 0xFF);
  out.push_back(v >> 8);
}
void PutU32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.bmp>\n", argv[0]);
    return 2;
  }
  std::vector<Knot> knots = InitialKnots();
  FitKnots(knots);

  auto pixel = [&](int x, int y) {
    return static_cast<unsigned char>(std::lround(std::clamp(Grey(knots, Distance(x, y)), 0.0, 255.0)));
  };

  std::vector<unsigned char> out;
  PutU32(out, veltrane::kBitmapInfoHeaderSize);
  PutU32(out, kRingSpriteSide);  // biWidth
  PutU32(out, kRingSpriteSide);  // biHeight, positive: bottom row first
  PutU16(out, 1);                // biPlanes
  PutU16(out, 24);               // biBitCount
  PutU32(out, 0);                // biCompression: uncompressed
  PutU32(out, 0);                // biSizeImage
  PutU32(out, veltrane::kRingSpritePelsPerMeter);
  PutU32(out, veltrane::kRingSpritePelsPerMeter);
  PutU32(out, 0);  // biClrUsed
  PutU32(out, 0);  // biClrImportant
  for (int row = kRingSpriteSide - 1; row >= 0; --row) {  // bottom row first
    for (int x = 0; x < kRingSpriteSide; ++x) {
      const unsigned char g = pixel(x, row);
      out.insert(out.end(), {g, g, g});  // blue, green, red
    }
  }
  out.push_back(0);
  out.push_back(0);
  if (out.size() != veltrane::kRingSpriteResourceSize) {
    std::fprintf(stderr, "internal error: %zu bytes\n", out.size());
    return 1;
  }

  std::ofstream file(argv[1], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }

  // Report what was made: the knots and each ring's mean against the profile.
  for (const Knot& k : knots) std::printf("knot r=%.2f grey=%.2f\n", k.r, k.grey);
  const std::vector<double> means =
      RingMeans([&](double r) { return std::lround(std::clamp(Grey(knots, r), 0.0, 255.0)); });
  for (int d = 0; d <= 30; ++d) {
    const int want = d < static_cast<int>(kRingSpriteProfile.size()) ? kRingSpriteProfile[d] : 0;
    std::printf("ring %2d: mean %7.2f, profile %3d\n", d, means[d], want);
  }
  return 0;
}
