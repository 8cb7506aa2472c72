#pragma once

#include <cstdint>
#include <string_view>

namespace zentravo::lookup {

enum class UidProblem {
  kNone,
  kNameTooShort,          // fewer than 8 bytes before the first "." of the name
  kUnreadableCharacter,   // one of the first 8 bytes is outside the name's alphabet
  kZero,                  // the bytes spell 0, which is no account's UID
};

struct UidReading {
  std::uint64_t uid = 0;
  UidProblem problem = UidProblem::kNone;
};

// Reads the poster's UID from the file name of a Weibo image (the last segment of
// its path, with or without an extension). Only the first 8 bytes count:
// - when they begin with "00" they are a base-62 number with the digits 0-9, a-z,
//   A-Z (values 0..61, so letter case matters), at most 62^8 - 1;
// - otherwise they are 8 hexadecimal digits, in either letter case.
// The name must hold at least 8 bytes before its first "."; any byte outside the
// chosen alphabet (including bytes 0x80..0xFF and ".") is a problem, not skipped.
UidReading UidFromFileName(std::string_view fileName);

// Reads the UID that an old avatar link carries as its first path segment: 1 to
// 19 decimal digits, nothing else. Empty is kNameTooShort; any other byte, or more
// digits than a 64-bit number surely holds, kUnreadableCharacter; all zeros kZero.
UidReading UidFromAvatarSegment(std::string_view segment);

}  // namespace zentravo::lookup
