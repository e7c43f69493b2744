#include "saver/controls/face_painter.h"

#include <cmath>

#include <QColor>
#include <QPainter>

#include "saver/runtime/property_bag.h"
#include "saver/runtime/runtime_error.h"
#include "saver/runtime/vb_types.h"

namespace veltrane {

namespace {

inline constexpr int kErrInvalidPicture = 481;

int ToPixels(double twips, double twipsPerPixel) { return static_cast<int>(std::lround(twips / twipsPerPixel)); }

// A rectangle given in twips, mapped by its edges so neighbouring pieces meet.
QRect TwipsRect(double x, double y, double w, double h, double tppX, double tppY) {
  int left = ToPixels(x, tppX), top = ToPixels(y, tppY);
  return QRect(left, top, ToPixels(x + w, tppX) - left, ToPixels(y + h, tppY) - top);
}

}  // namespace

Channels16 ReadGradientColour(const QString& text) {
  std::int32_t value = vb::VarToLong(text);
  QString hex = QString::number(static_cast<quint32>(value), 16).toUpper();
  // Colours with leading zero digits keep their places.
  if (hex.size() > 6) throw vb::RuntimeError(vb::kErrOverflow);
  hex = hex.rightJustified(6, QLatin1Char('0'));
  auto channel = [&](int at) {
    // "&Hxx00" is a 16-bit value; its bits are the channel.
    return static_cast<std::uint16_t>(vb::VarToInteger(QStringLiteral("&H") + hex.mid(at, 2) + QStringLiteral("00")));
  };
  Channels16 c;
  c.red = channel(0);
  c.green = channel(2);
  c.blue = channel(4);
  return c;
}

void FillVerticalGradient(QImage& surface, Channels16 top, Channels16 bottom) {
  const int w = surface.width(), h = surface.height();
  if (w <= 0 || h <= 0) return;
  QPainter painter(&surface);
  auto lerp = [&](int a, int b, int y) {
    if (h == 1) return a >> 8;
    return (a + static_cast<int>(static_cast<long long>(b - a) * y / (h - 1))) >> 8;
  };
  for (int y = 0; y < h; ++y) {
    painter.fillRect(0, y, w, 1,
                     QColor(lerp(top.red, bottom.red, y), lerp(top.green, bottom.green, y),
                            lerp(top.blue, bottom.blue, y)));
  }
}

void PaintGradient(QImage& surface, bool reversed) {
  Channels16 white = ReadGradientColour(kGradientTop);
  Channels16 tint = ReadGradientColour(kGradientTint);
  if (reversed)
    FillVerticalGradient(surface, tint, white);
  else
    FillVerticalGradient(surface, white, tint);
}

std::array<BorderPiece, 8> BorderPieces(double widthTwips, double heightTwips, double tppX, double tppY) {
  const double W = widthTwips, H = heightTwips;
  const double c = kCornerSize;
  // The edge lengths, whole twips.
  const double ew = vb::RoundHalfEven(W - 2 * c);
  const double eh = vb::RoundHalfEven(H - 2 * c);
  const int wPx = ToPixels(W, tppX), hPx = ToPixels(H, tppY);

  auto dest = [&](double x, double y, double w, double h) { return TwipsRect(x, y, w, h, tppX, tppY); };
  auto src = [&](double x, double y, double w, double h) {
    return TwipsRect(x, y, w, h, kSkinTwipsPerPixel, kSkinTwipsPerPixel);
  };

  // Where each side's pieces may draw: the whole face, or half of it when the
  // face has no room for both corners.
  const int splitX = W < 2 * c ? wPx / 2 : wPx;
  const int splitY = H < 2 * c ? hPx / 2 : hPx;
  const int leftEnd = splitX, rightStart = W < 2 * c ? splitX : 0;
  const int topEnd = splitY, bottomStart = H < 2 * c ? splitY : 0;
  auto clip = [&](bool left, bool right, bool top, bool bottom) {
    int x0 = 0, x1 = wPx, y0 = 0, y1 = hPx;
    if (left) x1 = leftEnd;
    if (right) x0 = rightStart;
    if (top) y1 = topEnd;
    if (bottom) y0 = bottomStart;
    return QRect(x0, y0, x1 - x0, y1 - y0);
  };

  return {{
      {dest(1, 1, c, c), src(0, 0, c, c), clip(true, false, true, false)},
      {dest(c, 1, ew, c), src(c, 1, 840, c), clip(false, false, true, false)},
      {dest(W - c, 1, c, c), src(900, 1, c, c), clip(false, true, true, false)},
      {dest(W - c, c, c, eh), src(900, c, c, 255), clip(false, true, false, false)},
      {dest(W - c, H - c, c, c), src(900, 315, c, c), clip(false, true, false, true)},
      {dest(c, H - c, ew, c), src(c, 315, 840, c), clip(false, false, false, true)},
      {dest(1, H - c, c, c), src(0, 315, c, c), clip(true, false, false, true)},
      {dest(1, c, c, eh), src(1, c, c, 255), clip(true, false, false, false)},
  }};
}

void PaintBorder(QImage& surface, const QImage& skin, const std::array<BorderPiece, 8>& pieces) {
  if (surface.isNull()) return;
  QPainter painter(&surface);
  // Stretching repeats skin pixels (no smoothing), so the edges keep their lines crisp.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  for (const BorderPiece& piece : pieces) {
    vb::TryStep([&] {
      if (skin.isNull()) throw vb::RuntimeError(kErrInvalidPicture);
      if (piece.dest.width() <= 0 || piece.dest.height() <= 0 || piece.clip.isEmpty()) return;
      painter.setClipRect(piece.clip);
      painter.drawImage(QRectF(piece.dest), skin, QRectF(piece.source));
    });
  }
}

double CaptionTop(double heightTwips, double labelHeightTwips) {
  return (heightTwips - labelHeightTwips - kCaptionLift) / 2.0;
}

}  // namespace veltrane
