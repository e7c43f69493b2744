#include "saver/command_line.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "saver/runtime/runtime_error.h"
#include "saver/runtime/vb_types.h"

namespace veltrane {

namespace {

// Byte length of the UTF-8 character that starts with byte `c` (1 for stray bytes).
std::size_t CharLength(unsigned char c) {
  if (c >= 0xF0 && c <= 0xF7) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

// Byte offset of character `index` (from 0); npos when the text is shorter.
std::size_t OffsetOfChar(const std::string& text, std::size_t index) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (at >= text.size()) return std::string::npos;
    at += CharLength(static_cast<unsigned char>(text[at]));
  }
  return at < text.size() ? at : std::string::npos;
}

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

std::string ModeLetter(const std::string& arguments) {
  std::size_t at = OffsetOfChar(arguments, 1);
  if (at == std::string::npos) return "";
  std::size_t len = CharLength(static_cast<unsigned char>(arguments[at]));
  std::string letter = arguments.substr(at, len);
  if (len == 1) letter[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
  return letter;
}

std::string MidFrom(const std::string& text, std::size_t start) {
  if (start < 1) throw vb::RuntimeError(vb::kErrInvalidProcedureCall);
  std::size_t at = OffsetOfChar(text, start - 1);
  return at == std::string::npos ? std::string() : text.substr(at);
}

double Val(const std::string& text) {
  // The significant characters, with the skipped ones taken out wherever they stand.
  std::string s;
  for (char c : text)
    if (!IsSkipped(c)) s += c;
  std::size_t i = 0;
  if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    const bool hex = s[1] == 'H' || s[1] == 'h';
    std::uint64_t v = 0;
    int digits = 0;
    for (i = 2; i < s.size(); ++i) {
      int d = -1;
      char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
      if (c >= '0' && c <= '7') d = c - '0';
      else if (hex && c >= '8' && c <= '9') d = c - '0';
      else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      if (d < 0) break;
      v = v * (hex ? 16 : 8) + static_cast<std::uint64_t>(d);
      ++digits;
      if (v > 0xFFFFFFFFull) throw vb::RuntimeError(vb::kErrOverflow);
    }
    // Up to 16 bits the value is a 16-bit integer, beyond that a 32-bit one, both signed.
    if (v <= 0xFFFF && digits > 0 && (hex ? digits <= 4 : v <= 0xFFFF))
      return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(v)));
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
  }
  std::string number;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) number += s[i++], digits = true;
  if (i < s.size() && s[i] == '.') {
    number += s[i++];
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) number += s[i++], digits = true;
  }
  if (!digits) return 0.0;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    std::size_t first = j;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) exponent += s[j++];
    if (j > first) number += exponent;
  }
  double v = std::strtod(number.c_str(), nullptr);
  if (std::isinf(v)) throw vb::RuntimeError(vb::kErrOverflow);
  return v;
}

std::int32_t ReadPreviewHandle(const std::string& arguments) { return vb::CLng(Val(MidFrom(arguments, 4))); }

}  // namespace veltrane
