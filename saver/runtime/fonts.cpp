#include "saver/runtime/fonts.h"

namespace veltrane::vb {

void RegisterFontSubstitutions() {
  QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

QFont ToQFont(const FontSpec& spec) {
  QFont f(QString::fromStdString(spec.Name));
  f.setPointSizeF(spec.Size > 0 ? spec.Size : 9.0);
  // Qt's weights run 100..900 like the forms' weights, so they carry over directly.
  f.setWeight(static_cast<QFont::Weight>(spec.Weight < 1 ? 400 : spec.Weight > 1000 ? 1000 : spec.Weight));
  f.setItalic(spec.Italic);
  f.setUnderline(spec.Underline);
  f.setStrikeOut(spec.Strikethrough);
  return f;
}

}  // namespace veltrane::vb
