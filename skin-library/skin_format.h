#pragma once

// The skin data format ".SHE", version 1; README.md in this folder describes it
// byte by byte.

#include <cstddef>
#include <cstdint>

namespace skinh {

// Result codes of SkinH_AttachRes; 0 is success, every other value leaves the
// windows untouched.
enum class SkinStatus : int {
  kApplied = 0,
  kNoData = 1,              // null pointer, length <= 0, or memory that cannot be read
  kTooShort = 2,            // fewer bytes than the 16-byte header
  kNotASkin = 3,            // does not start with ".SHE"
  kUnsupportedVersion = 4,  // a format version other than 1
  kDamaged = 5,             // lengths, record count or checksum do not add up
  kIncomplete = 6,          // the required background record is missing or malformed
};

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// What a skin says about the look of a window.
struct Skin {
  char name[64] = {};          // informational, zero-terminated
  Rgb backgroundTop;           // client area: a vertical gradient from top ...
  Rgb backgroundBottom;        // ... to bottom
  Rgb frame;                   // a band just inside the client area's edge ...
  int frameWidth = 0;          // ... this many pixels wide (0: none)
};

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::uint16_t kFormatVersion = 1;

// Record tags of version 1. Unknown tags are skipped, so later writers may add
// optional records without raising the version.
inline constexpr std::uint16_t kTagName = 0x0001;
inline constexpr std::uint16_t kTagBackground = 0x0010;
inline constexpr std::uint16_t kTagFrame = 0x0011;
inline constexpr int kMaxFrameWidth = 16;

// Reads `length` bytes at `data` into `skin`. Reads nothing outside that range and
// writes `skin` only when the result is kApplied. `data` must be readable for
// `length` bytes; null and length <= 0 are reported as kNoData.
SkinStatus ParseSkin(const std::uint8_t* data, std::size_t length, Skin& skin);

// Adler-32 of `length` bytes, the checksum of the record area.
std::uint32_t Adler32(const std::uint8_t* data, std::size_t length);

}  // namespace skinh
