#pragma once

#include <string>
#include <string_view>

namespace zentravo::lookup {

// The value of one hexadecimal digit (either letter case), or -1 for any other byte.
int HexDigitValue(char c);

// Undoes percent-escapes once: each "%XY" with two hexadecimal digits (either
// letter case) becomes the byte 0xXY, zero bytes included. Every other byte is kept
// as it stands: a "%" without two hex digits after it, "+" (a link is not form
// data, so "+" is a plus sign), and bytes 0x80..0xFF in whatever encoding they came.
std::string PercentDecode(std::string_view text);

}  // namespace zentravo::lookup
