#pragma once

#include <string>

// Bytes as upper-case hex pairs separated by spaces ("D6 D0"), so that a failed
// comparison of code page 936 text shows which bytes differ.
inline std::string HexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}
