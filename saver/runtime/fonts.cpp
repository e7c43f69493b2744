#include "saver/runtime/fonts.h"

namespace veltrane::vb {

void RegisterFontSubstitutions() {
  QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

QFont ToQFont(const FontSpec& font) {
  QFont f(QString::fromStdString(font.Name));
  f.setPointSizeF(font.Size > 0 ? font.Size : 9.0);
  // Qt's weights run 100..900 like the forms' weights, so they carry over directly.
  f.setWeight(static_cast<QFont::Weight>(font.Weight < 1 ? 400 : font.Weight > 1000 ? 1000 : font.Weight));
  f.setItalic(font.Italic);
  f.setUnderline(font.Underline);
  f.setStrikeOut(font.Strikethrough);
  return f;
}

}  // namespace veltrane::vb
