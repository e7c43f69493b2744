// A value quoted for a one-line message: in double quotes, with the quote, the
// backslash and every control character escaped (\n, \r, \t, else \xHH; the C1
// controls of UTF-8 too), so that whatever came from a command line or the
// environment can neither break the line nor forge a second one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace veltrane::platform {

inline std::string QuotedText(std::string_view text) {
    std::string out = "\"";
    auto hex = [&out](unsigned char byte) {
        char code[5];
        std::snprintf(code, sizeof code, "\\x%02X", byte);
        out += code;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            hex(byte);
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            hex(byte);  // U+0080..U+009F, which terminals may take as controls
            hex(static_cast<unsigned char>(text[++i]));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out + "\"";
}

}  // namespace veltrane::platform
