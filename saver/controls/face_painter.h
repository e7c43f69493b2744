// Drawing a button face into a picture: the two-colour vertical gradient, then the
// eight border pieces of a skin (corners at their natural size, edges stretched),
// laid out in twips the way the skins were made for (15 twips to a pixel).
#pragma once

#include <array>
#include <cstdint>

#include <QImage>
#include <QRect>
#include <QString>

namespace veltrane {

// Skin geometry, in twips at 15 twips per pixel.
inline constexpr int kCornerSize = 60;     // corner edge and edge thickness (4 px)
inline constexpr int kSkinWidth = 960;     // 64 px
inline constexpr int kSkinHeight = 375;    // 25 px
inline constexpr int kSkinTwipsPerPixel = 15;
inline constexpr int kCaptionLift = 20;    // subtracted when the caption is centred vertically

// The two ends of the gradient, as the shell writes colours.
inline const QString kGradientTop = QStringLiteral("&HFFFFFF");
inline const QString kGradientTint = QStringLiteral("&HC6C5D7");

// A gradient vertex's colour, 16 bits per channel (the 8-bit value in the high byte).
struct Channels16 {
  std::uint16_t red = 0, green = 0, blue = 0, alpha = 0;
};

// Reads a colour text "&Hrrggbb": the number written back as hexadecimal digits,
// digits 1-2 red, 3-4 green, 5-6 blue, each pair as the high byte of its channel.
Channels16 ReadGradientColour(const QString& text);

// Fills rows 0 .. height-1 from `top` to `bottom`, every row uniform, each channel
// linear in the row (the first row is `top`, the last `bottom`).
void FillVerticalGradient(QImage& surface, Channels16 top, Channels16 bottom);

// The gradient of a face: white at the top, or the tint at the top when reversed.
void PaintGradient(QImage& surface, bool reversed);

// One border piece in pixels: the destination on the face, the source in the skin,
// and the part of the face it may cover. A piece whose destination is empty is skipped.
struct BorderPiece {
  QRect dest;
  QRect source;
  QRect clip;
};

// The eight pieces (top-left corner, top edge, top-right corner, right edge,
// bottom-right corner, bottom edge, bottom-left corner, left edge) for a face of
// widthTwips x heightTwips at the given twips per pixel.
//
// A face narrower or lower than two corners has no room for edges between them:
// the edges are left out and each corner keeps its outer part, the left (top)
// corners covering the left (top) half of the face and the right (bottom) corners
// the rest, so the outline stays closed and nothing is drawn twice.
std::array<BorderPiece, 8> BorderPieces(double widthTwips, double heightTwips, double twipsPerPixelX,
                                        double twipsPerPixelY);

// Draws the pieces of `skin`; a piece that cannot be drawn (a missing picture) is
// skipped and the others are drawn.
void PaintBorder(QImage& surface, const QImage& skin, const std::array<BorderPiece, 8>& pieces);

// The caption's top in twips: (H - label height - CaptionLift) / 2.
double CaptionTop(double heightTwips, double labelHeightTwips);

}  // namespace veltrane
