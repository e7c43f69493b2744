// Fonts as the shell's forms name them. The names stay the ones the forms use
// ("Verdana", "ＭＳ Ｐゴシック"); the program registers substitutions so that they
// resolve to the fonts a Linux desktop has (DejaVu Sans, IPAPGothic).
#pragma once

#include <string>

#include <QFont>

namespace veltrane::vb {

inline constexpr int kCharsetWestern = 0;
inline constexpr int kCharsetShiftJis = 128;

struct FontSpec {
  std::string Name = "ＭＳ Ｐゴシック";
  double Size = 9.0;  // points
  int Weight = 400;   // 400 normal, 700 bold
  bool Italic = false;
  bool Underline = false;
  bool Strikethrough = false;
  int Charset = kCharsetShiftJis;
  bool Bold() const { return Weight >= 600; }
};

// Registers the substitutions; called once by the application before any form loads.
void RegisterFontSubstitutions();

QFont ToQFont(const FontSpec& font);

}  // namespace veltrane::vb
