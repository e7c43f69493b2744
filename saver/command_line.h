// Reading the screen-saver command line: the mode letter and the preview
// window's handle. Plain text rules, no window system.
#pragma once

#include <cstdint>
#include <string>

namespace veltrane {

// The argument string upper-cased, then its second character; empty when the
// string has fewer than two characters. "/s", "-s" and "xs" all give "S".
std::string ModeLetter(const std::string& arguments);

// The characters of `text` from position `start` (counting from 1) to the end.
std::string MidFrom(const std::string& text, std::size_t start);

// The numeric value at the start of `text`: blanks, tabs and line feeds are
// skipped, and the number ends at the first character that cannot continue it
// (decimal with fraction and exponent, or &H / &O prefixed). No number gives 0.
double Val(const std::string& text);

// The preview window handle: the value of the argument string from its fourth
// character on, rounded to the nearest 32-bit integer (halves to even). So "/p 1234"
// and "/p:1234" give 1234 and "/p1234" gives 234. Raises Overflow when the value
// does not fit.
std::int32_t ReadPreviewHandle(const std::string& arguments);

}  // namespace veltrane
