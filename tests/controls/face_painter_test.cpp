// Pixels of faces painted into pictures: the gradient, the nine-slice border in
// twips, the skins themselves, and faces too small for their corners.
#include <array>
#include <set>

#include <gtest/gtest.h>

#include <QImage>

#include "saver/controls/face_painter.h"
#include "saver/controls/skins.h"

namespace veltrane {
namespace {

constexpr double kTpp = 15.0;  // twips per pixel at 96 DPI

QImage Surface(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  return image;
}

// A skin whose every pixel tells where it came from: red = 4 * column, green = 10 * row.
QImage CodedSkin() {
  QImage skin(64, 25, QImage::Format_RGB32);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 64; ++x) skin.setPixel(x, y, qRgb(4 * x, 10 * y, 0));
  return skin;
}
int SourceColumn(QRgb p) { return qRed(p) / 4; }
int SourceRow(QRgb p) { return qGreen(p) / 10; }

TEST(CommandPainting, GradientColoursAreReadIntoSixteenBitChannels) {
  Channels16 white = ReadGradientColour(kGradientTop);
  EXPECT_EQ(white.red, 0xFF00);
  EXPECT_EQ(white.green, 0xFF00);
  EXPECT_EQ(white.blue, 0xFF00);
  EXPECT_EQ(white.alpha, 0);
  Channels16 tint = ReadGradientColour(kGradientTint);
  EXPECT_EQ(tint.red, 0xC600);
  EXPECT_EQ(tint.green, 0xC500);
  EXPECT_EQ(tint.blue, 0xD700);
  Channels16 blue = ReadGradientColour(QStringLiteral("&H0000FF"));
  EXPECT_EQ(blue.red, 0);
  EXPECT_EQ(blue.blue, 0xFF00) << "leading zero digits keep their places";
}

TEST(CommandPainting, GradientRowsAreUniformAndRunFromTopToBottom) {
  for (bool reversed : {false, true}) {
    SCOPED_TRACE(reversed ? "tint at the top" : "white at the top");
    QImage s = Surface(73, 25);
    PaintGradient(s, reversed);
    const QRgb white = qRgb(255, 255, 255), tint = qRgb(198, 197, 215);
    EXPECT_EQ(s.pixel(0, 0), reversed ? tint : white);
    EXPECT_EQ(s.pixel(72, 24), reversed ? white : tint);
    for (int y = 0; y < 25; ++y)
      for (int x = 1; x < 73; ++x) ASSERT_EQ(s.pixel(x, y), s.pixel(0, y)) << "row " << y;
    for (int y = 1; y < 25; ++y) {
      int step = qRed(s.pixel(0, y)) - qRed(s.pixel(0, y - 1));
      EXPECT_TRUE(reversed ? step >= 2 && step <= 3 : step <= -2 && step >= -3) << "row " << y;
    }
    // Row 12 of 0..24 lies halfway: 0xFF00 + (0xC600 - 0xFF00) / 2 in the high byte.
    EXPECT_EQ(s.pixel(0, 12), qRgb(226, 226, 235));
  }
}

TEST(CommandPainting, TheDialogsButtonHasItsBorderPiecesOnThePixelGrid) {
  auto p = BorderPieces(1095, 375, kTpp, kTpp);  // 73 x 25 pixels
  const std::array<QRect, 8> dest = {QRect(0, 0, 4, 4),   QRect(4, 0, 65, 4),  QRect(69, 0, 4, 4),
                                     QRect(69, 4, 4, 17), QRect(69, 21, 4, 4), QRect(4, 21, 65, 4),
                                     QRect(0, 21, 4, 4),  QRect(0, 4, 4, 17)};
  const std::array<QRect, 8> source = {QRect(0, 0, 4, 4),   QRect(4, 0, 56, 4),  QRect(60, 0, 4, 4),
                                       QRect(60, 4, 4, 17), QRect(60, 21, 4, 4), QRect(4, 21, 56, 4),
                                       QRect(0, 21, 4, 4),  QRect(0, 4, 4, 17)};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(p[i].dest, dest[i]);
    EXPECT_EQ(p[i].source, source[i]);
    EXPECT_EQ(p[i].clip, QRect(0, 0, 73, 25));
  }
}

TEST(CommandPainting, CornersAreCopiedAndEdgesStretchedAlongTheirLengthOnly) {
  QImage s = Surface(73, 25);
  PaintGradient(s, false);
  const QImage gradient = s.copy();
  const QImage skin = CodedSkin();
  PaintBorder(s, skin, BorderPieces(73 * kTpp, 25 * kTpp, kTpp, kTpp));

  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(s.pixel(x, y), skin.pixel(x, y));
      EXPECT_EQ(s.pixel(69 + x, y), skin.pixel(60 + x, y));
      EXPECT_EQ(s.pixel(x, 21 + y), skin.pixel(x, 21 + y));
      EXPECT_EQ(s.pixel(69 + x, 21 + y), skin.pixel(60 + x, 21 + y));
    }
  // Left and right edges: 17 rows, not stretched.
  for (int y = 4; y < 21; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(s.pixel(x, y), skin.pixel(x, y));
      EXPECT_EQ(s.pixel(69 + x, y), skin.pixel(60 + x, y));
    }
  // Top and bottom edges: source columns 4..59 spread over 65 columns, in order,
  // none skipped; rows unchanged.
  for (int row : {0, 1, 2, 3, 21, 22, 23, 24}) {
    SCOPED_TRACE(row);
    std::set<int> used;
    int previous = 3;
    for (int x = 4; x < 69; ++x) {
      QRgb p = s.pixel(x, row);
      ASSERT_EQ(SourceRow(p), row);
      int column = SourceColumn(p);
      ASSERT_TRUE(column == previous || column == previous + 1) << "column " << x;
      previous = column;
      used.insert(column);
    }
    EXPECT_EQ(*used.begin(), 4);
    EXPECT_EQ(*used.rbegin(), 59);
    EXPECT_EQ(used.size(), 56u);
  }
  // The skin's interior is never used: the gradient stays there.
  for (int y = 4; y < 21; ++y)
    for (int x = 4; x < 69; ++x) ASSERT_EQ(s.pixel(x, y), gradient.pixel(x, y));
}

TEST(CommandPainting, TheSixSkinsAre64By25AndHighLightSelectIsHighLight) {
  for (int i = 0; i < kLookCount; ++i) {
    const QImage& skin = SkinPicture(static_cast<Look>(i));
    SCOPED_TRACE(LookName(static_cast<Look>(i)));
    ASSERT_FALSE(skin.isNull());
    EXPECT_EQ(skin.size(), QSize(64, 25));
  }
  EXPECT_EQ(SkinPicture(Look::HighLightSelect), SkinPicture(Look::HighLight));
  EXPECT_NE(SkinPicture(Look::HighLight), SkinPicture(Look::Normal));
  // The principal colours: frame and trim of each look.
  EXPECT_EQ(SkinPicture(Look::Normal).pixel(30, 1), qRgb(0x00, 0x3C, 0x74));
  EXPECT_EQ(SkinPicture(Look::HighLight).pixel(30, 2), qRgb(0xFF, 0xF0, 0xCF));
  EXPECT_EQ(SkinPicture(Look::HighLight).pixel(30, 22), qRgb(0xE5, 0x97, 0x00));
  EXPECT_EQ(SkinPicture(Look::Selected).pixel(30, 21), qRgb(0x69, 0x82, 0xEE));
  EXPECT_EQ(SkinPicture(Look::Selected).pixel(2, 12), qRgb(0xA9, 0xC5, 0xEF));
  EXPECT_EQ(SkinPicture(Look::Pressed).pixel(30, 2), qRgb(0x00, 0x3C, 0x74));
  EXPECT_EQ(SkinPicture(Look::Pressed).pixel(30, 0), qRgb(0xEC, 0xE9, 0xD8));
  EXPECT_EQ(SkinPicture(Look::Disable).pixel(30, 1), qRgb(0xC9, 0xC7, 0xBA));
}

TEST(CommandPainting, AFaceOfTheSkinsOwnSizeReproducesItsBorderRing) {
  for (int i = 0; i < kLookCount; ++i) {
    const Look look = static_cast<Look>(i);
    SCOPED_TRACE(LookName(look));
    const QImage& skin = SkinPicture(look);
    QImage s = Surface(64, 25);
    PaintGradient(s, true);
    PaintBorder(s, skin, BorderPieces(kSkinWidth, kSkinHeight, kTpp, kTpp));
    for (int y = 0; y < 25; ++y)
      for (int x = 0; x < 64; ++x) {
        bool ring = x < 4 || x >= 60 || y < 4 || y >= 21;
        if (ring) {
          ASSERT_EQ(s.pixel(x, y), skin.pixel(x, y)) << x << "," << y;
        }
      }
  }
}

TEST(CommandPainting, FacesSmallerThanTwoCornersKeepAClosedOutline) {
  const QImage skin = CodedSkin();
  // 6 x 25 pixels: the left corner pieces fill columns 0-2 with their outer
  // columns, the right ones columns 3-5 with theirs; no edges between them.
  QImage s = Surface(6, 25);
  PaintBorder(s, skin, BorderPieces(90, 375, kTpp, kTpp));
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(SourceColumn(s.pixel(x, y)), x) << x << "," << y;
    for (int x = 3; x < 6; ++x) EXPECT_EQ(SourceColumn(s.pixel(x, y)), 58 + x) << x << "," << y;
  }
  // 73 x 5: the top pieces cover rows 0-1, the bottom ones rows 2-4.
  QImage t = Surface(73, 5);
  PaintBorder(t, skin, BorderPieces(73 * kTpp, 75, kTpp, kTpp));
  for (int x = 0; x < 73; ++x) {
    EXPECT_EQ(SourceRow(t.pixel(x, 0)), 0);
    EXPECT_EQ(SourceRow(t.pixel(x, 1)), 1);
    EXPECT_EQ(SourceRow(t.pixel(x, 2)), 22);
    EXPECT_EQ(SourceRow(t.pixel(x, 4)), 24);
  }
  // Down to nothing at all: no crash, nothing outside the surface.
  for (QSize size : {QSize(1, 1), QSize(2, 3), QSize(8, 8), QSize(7, 200)}) {
    QImage u = Surface(size.width(), size.height());
    PaintGradient(u, false);
    PaintBorder(u, skin, BorderPieces(size.width() * kTpp, size.height() * kTpp, kTpp, kTpp));
    EXPECT_NE(u.pixel(0, 0), QColor(Qt::magenta).rgb());
  }
  QImage none;
  PaintGradient(none, false);
  PaintBorder(none, skin, BorderPieces(0, 0, kTpp, kTpp));
  EXPECT_TRUE(none.isNull());
}

TEST(CommandPainting, AMissingSkinLeavesTheGradient) {
  QImage s = Surface(73, 25);
  PaintGradient(s, false);
  QImage before = s.copy();
  PaintBorder(s, QImage(), BorderPieces(1095, 375, kTpp, kTpp));
  EXPECT_EQ(s, before);
}

TEST(CommandPainting, TheCaptionIsCentredWithItsLift) {
  EXPECT_DOUBLE_EQ(CaptionTop(375, 195), 80);
  EXPECT_DOUBLE_EQ(CaptionTop(375, 180), 87.5);
}

}  // namespace
}  // namespace veltrane
