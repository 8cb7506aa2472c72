#pragma once

// ASCII character classes and letter case for the parts of a request that are
// ASCII by definition (schemes, host names, query keys). Bytes 0x80..0xFF are
// neither letters nor digits and have no case.

#include <cstddef>
#include <string_view>

namespace zentravo::lookup {

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Whether `a` and `b` are equal when ASCII letter case is ignored.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Whether `text` begins with `prefix` when ASCII letter case is ignored.
inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace zentravo::lookup
