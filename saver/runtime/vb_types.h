// The shell's value rules: 16-bit Booleans (True is -1), conversion of fractions
// to integers to the nearest with halves to the even neighbour, and the integer
// division `\` that truncates toward zero. Conversions out of range raise the
// run-time error "Overflow" (6), which resume-next procedures skip.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

using Boolean = std::int16_t;
inline constexpr Boolean True = -1;
inline constexpr Boolean False = 0;
inline constexpr Boolean ToBoolean(bool b) { return b ? True : False; }

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
inline double RoundHalfEven(double v) { return std::nearbyint(v); }

template <typename Int>
Int ConvertRounded(double v) {
  if (std::isnan(v)) throw RuntimeError(kErrOverflow);
  double r = RoundHalfEven(v);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max()))
    throw RuntimeError(kErrOverflow);
  return static_cast<Int>(r);
}

inline std::int16_t CInt(double v) { return ConvertRounded<std::int16_t>(v); }
inline std::int32_t CLng(double v) { return ConvertRounded<std::int32_t>(v); }
inline std::uint8_t CByte(double v) { return ConvertRounded<std::uint8_t>(v); }

// a \ b: both operands rounded to integers first, the quotient truncated toward zero.
inline std::int32_t IntDiv(double a, double b) {
  std::int64_t x = ConvertRounded<std::int32_t>(a);
  std::int64_t y = ConvertRounded<std::int32_t>(b);
  if (y == 0) throw RuntimeError(kErrDivisionByZero);
  std::int64_t q = x / y;  // C++ division truncates toward zero
  if (q > std::numeric_limits<std::int32_t>::max()) throw RuntimeError(kErrOverflow);
  return static_cast<std::int32_t>(q);
}

}  // namespace veltrane::vb
