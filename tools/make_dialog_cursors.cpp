// Makes the configuration dialog's two small pictures in assets/:
//   hand_pointer.png  the link's 32 x 32 monochrome hand pointer (black outline,
//                     white fill, the rest transparent); its hot spot is the top
//                     left pixel of the index finger's tip, (12, 10)
//   dialog_icon.png   the dialog's 32 x 32 window icon, 256 colours: a flame in
//                     the logo's fire colours on black
// Usage: make_dialog_cursors <assets folder>
#include <QColor>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// 'X' black, 'o' white, anything else transparent. Rows 0-9 and 29-31 are empty.
const char* const kHand[] = {
    "............XX..................",  // 10: the tip; hot spot at column 12
    "...........XooX.................",
    "...........XooX.................",
    "...........XooX.................",
    "...........XooX.................",
    "...........XooXXX...............",  // 15
    "...........XooXooXXX............",
    "...........XooXooXooXX..........",
    "........XX.XooXooXooXoX.........",
    ".......XooXXooXooXooXoX.........",
    ".......XooXoooooooooooX.........",  // 20
    ".......XooooooooooooooX.........",
    "........XoooooooooooooX.........",
    "........XoooooooooooooX.........",
    ".........XooooooooooooX.........",
    ".........XoooooooooooX..........",  // 25
    "..........XooooooooooX..........",
    "..........XooooooooooX..........",
    "..........XXXXXXXXXXXX..........",
};
constexpr int kHandFirstRow = 10;

QImage HandPointer() {
  QImage img(32, 32, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  for (int r = 0; r < static_cast<int>(std::size(kHand)); ++r) {
    for (int x = 0; x < 32; ++x) {
      char c = kHand[r][x];
      if (c == 'X') img.setPixel(x, kHandFirstRow + r, qRgba(0, 0, 0, 255));
      if (c == 'o') img.setPixel(x, kHandFirstRow + r, qRgba(255, 255, 255, 255));
    }
  }
  img.setText("HotSpot", "12,10");
  return img;
}

// The fire colours of the logo, black through red and yellow to near white.
QRgb FireColour(int i) {
  i = std::clamp(i, 0, 191);
  if (i < 64) return qRgb(4 * i, 0, 0);
  if (i < 128) return qRgb(255, 4 * (i - 64), 0);
  return qRgb(255, 255, 4 * (i - 128));
}

QImage Icon() {
  QImage img(32, 32, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (int i = 0; i < 192; ++i) table.push_back(FireColour(i));
  img.setColorTable(table);
  // A tear-drop flame standing on the bottom edge: hottest low in the middle,
  // cooling toward its rim and its tip.
  const double cx = 15.5, base = 29.5, tip = 2.5;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      double t = (base - (y + 0.5)) / (base - tip);  // 0 at the base, 1 at the tip
      double heat = 0;
      if (t > 0 && t < 1) {
        double halfWidth = 12.5 * std::pow(std::sin(M_PI * std::sqrt(t)), 1.2) * (1.0 - 0.35 * t);
        double sway = 1.5 * std::sin(t * 5.0);
        double d = std::abs(x + 0.5 - cx - sway) / std::max(halfWidth, 0.01);
        if (d < 1) heat = (1.0 - d * d) * (1.0 - 0.55 * t) * 200.0;
      }
      img.setPixel(x, y, static_cast<uint>(std::clamp(static_cast<int>(heat), 0, 191)));
    }
  }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <assets folder>\n", argv[0]);
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  bool ok = HandPointer().save(dir + "/hand_pointer.png", "PNG");
  ok = Icon().save(dir + "/dialog_icon.png", "PNG") && ok;
  if (!ok) {
    std::fprintf(stderr, "could not write the pictures into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
