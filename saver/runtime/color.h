// Colours as the shell's forms and controls hold them: a 32-bit value laid out
// 0x00BBGGRR (red in the low byte), as RGB(r, g, b) builds it and GetPixel returns it.
#pragma once

#include <cstdint>

#include <QColor>

namespace veltrane::vb {

using Color = std::uint32_t;

inline constexpr Color RGB(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kWhite = 0xFFFFFF;
// What GetPixel gives for a point outside the surface.
inline constexpr Color kInvalidColor = 0xFFFFFFFF;

inline QColor ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
inline Color FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }
inline Color FromQRgb(unsigned int argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace veltrane::vb
