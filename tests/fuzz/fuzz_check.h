#pragma once

// What the fuzz targets share: a broken invariant names itself and aborts, so
// libFuzzer keeps the input as a crash; and cutting the input into pieces.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace zentravo::fuzz {

inline void Check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "broken invariant: %s\n", invariant);
  std::abort();
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at its first zero byte, which no Text can hold anyway: what is
// before it and what is after it (empty when there is none).
inline std::pair<std::string_view, std::string_view> CutAtZero(std::string_view input) {
  const std::size_t zero = input.find('\0');
  if (zero == std::string_view::npos) return {input, {}};
  return {input.substr(0, zero), input.substr(zero + 1)};
}

inline bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace zentravo::fuzz
