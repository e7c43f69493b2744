// Generates the six skin pictures of the gradient button, 64 x 25 pixels in 24-bit
// colour: Normal, HighLight, HighLightSelect (the same picture as HighLight),
// Pressed, Disable and Selected. Only their outer four rows and columns reach the
// screen; the button draws its own gradient inside.
//
//   make_button_skins <output folder>     (the kept copies are in assets/skins/)
#include <cstdio>
#include <functional>
#include <string>

#include <QColor>
#include <QDir>
#include <QImage>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 25;

QColor Hex(unsigned rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QColor Mix(QColor a, QColor b, double t) {
  auto ch = [&](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
  return QColor(ch(a.red(), b.red()), ch(a.green(), b.green()), ch(a.blue(), b.blue()));
}

class Skin {
 public:
  Skin() : image_(kWidth, kHeight, QImage::Format_RGB888) {}
  void Set(int x, int y, QColor c) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) image_.setPixelColor(x, y, c);
  }
  void Fill(int x0, int y0, int x1, int y1, QColor c) {  // inclusive
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, c);
  }
  void Rows(int y0, int y1, int x0, int x1, const std::function<QColor(int, int)>& f) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, f(x, y));
  }
  // A one-pixel outline inset by `inset`, its four corner pixels rounded off by
  // blends toward the colour outside it.
  void Frame(int inset, QColor line, QColor corner, QColor side, QColor inner) {
    int x0 = inset, y0 = inset, x1 = kWidth - 1 - inset, y1 = kHeight - 1 - inset;
    Fill(x0, y0, x1, y0, line);
    Fill(x0, y1, x1, y1, line);
    Fill(x0, y0, x0, y1, line);
    Fill(x1, y0, x1, y1, line);
    const int cx[2] = {x0, x1}, cy[2] = {y0, y1}, dx[2] = {1, -1}, dy[2] = {1, -1};
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j) {
        Set(cx[i], cy[j], corner);                  // the cut-off corner pixel
        Set(cx[i] + dx[i], cy[j], side);            // its two neighbours on the line
        Set(cx[i], cy[j] + dy[j], side);
        Set(cx[i] + dx[i], cy[j] + dy[j], inner);   // the curve continues inside
      }
    }
  }
  bool Save(const QString& path) const { return image_.save(path, "BMP"); }

 private:
  QImage image_;
};

// The light outer ring of the raised skins: near white at the top left, cream
// toward the bottom right.
void RaisedRing(Skin& s) {
  const QColor light = Hex(0xFAFAF6), cream = Hex(0xE0DCC9);
  auto ring = [&](int x, int y) { return Mix(light, cream, (x / 63.0 + y / 24.0) / 2.0); };
  s.Rows(0, 0, 0, 63, ring);
  s.Rows(24, 24, 0, 63, ring);
  s.Rows(0, 24, 0, 0, ring);
  s.Rows(0, 24, 63, 63, ring);
}

void RaisedFrame(Skin& s) { s.Frame(1, Hex(0x003C74), Hex(0x7A95A8), Hex(0x255783), Hex(0x164D7E)); }

// Normal, HighLight and Selected share the ring, the frame and the interior and
// differ in the trim inside the frame.
struct Trim {
  std::function<QColor(int x, int y)> left, right;  // columns 2-3 and 60-61
  QColor top2, top3, bottom21, bottom22;
};

Skin Raised(const Trim& trim) {
  Skin s;
  s.Fill(0, 0, 63, 24, Hex(0xF3F3EE));
  RaisedRing(s);
  s.Rows(2, 22, 2, 3, trim.left);
  s.Rows(2, 22, 60, 61, trim.right);
  s.Fill(2, 2, 61, 2, trim.top2);
  s.Fill(2, 3, 61, 3, trim.top3);
  s.Fill(2, 21, 61, 21, trim.bottom21);
  s.Fill(2, 22, 61, 22, trim.bottom22);
  RaisedFrame(s);
  return s;
}

Skin Normal() {
  Trim t;
  t.left = [](int, int y) { return Mix(Hex(0xFDFDFC), Hex(0xECEBE6), (y - 2) / 20.0); };
  t.right = [](int, int y) { return Mix(Hex(0xF6F4F2), Hex(0xE0DDD4), (y - 2) / 20.0); };
  t.top2 = Hex(0xFEFEFD);
  t.top3 = Hex(0xFAFAF7);
  t.bottom21 = Hex(0xE2DFD6);
  t.bottom22 = Hex(0xD6D0C5);
  return Raised(t);
}

Skin HighLight() {
  Trim t;
  t.left = t.right = [](int, int) { return Hex(0xFCCA69); };
  t.top2 = Hex(0xFFF0CF);
  t.top3 = Hex(0xFDD889);
  t.bottom21 = Hex(0xF8B330);
  t.bottom22 = Hex(0xE59700);
  return Raised(t);
}

Skin Selected() {
  Trim t;
  t.left = t.right = [](int, int) { return Hex(0xA9C5EF); };
  t.top2 = t.top3 = Hex(0xCEE7FF);
  t.bottom21 = t.bottom22 = Hex(0x6982EE);
  return Raised(t);
}

Skin Pressed() {
  Skin s;
  const QColor cream = Hex(0xF4F2E8);
  s.Fill(0, 0, 63, 24, cream);
  s.Fill(0, 0, 63, 0, Hex(0xECE9D8));
  s.Fill(0, 0, 0, 24, Hex(0xECE9D8));
  s.Fill(3, 3, 60, 21, Hex(0xE2E1D9));
  // Sunken: shaded at the top and left, lighter toward the bottom.
  s.Fill(3, 3, 3, 21, Hex(0xD1CCC1));
  s.Fill(4, 4, 4, 21, Hex(0xDCD8CF));
  s.Fill(3, 3, 60, 3, Hex(0xD1CCC1));
  s.Fill(4, 4, 60, 4, Hex(0xDCD8CF));
  s.Fill(4, 20, 60, 20, Hex(0xEAE9E3));
  s.Fill(4, 21, 60, 21, Hex(0xF2F1EE));
  s.Frame(2, Hex(0x003C74), Mix(Hex(0x003C74), cream, 0.6), Hex(0x255783), Hex(0x164D7E));
  return s;
}

Skin Disable() {
  Skin s;
  const QColor ring = Hex(0xECE9D8), line = Hex(0xC9C7BA), inside = Hex(0xF5F4EA);
  s.Fill(0, 0, 63, 24, inside);
  s.Fill(0, 0, 63, 0, ring);
  s.Fill(0, 24, 63, 24, ring);
  s.Fill(0, 0, 0, 24, ring);
  s.Fill(63, 0, 63, 24, ring);
  s.Frame(1, line, Mix(line, ring, 0.6), Mix(line, ring, 0.25), Mix(line, inside, 0.5));
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  const struct {
    const char* name;
    Skin skin;
  } skins[] = {
      {"Normal", Normal()},   {"HighLight", HighLight()}, {"HighLightSelect", HighLight()},
      {"Pressed", Pressed()}, {"Disable", Disable()},     {"Selected", Selected()},
  };
  for (const auto& s : skins) {
    QString path = dir.filePath(QString::fromLatin1(s.name) + QStringLiteral(".bmp"));
    if (!s.skin.Save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
    std::printf("%s\n", qPrintable(path));
  }
  return 0;
}
