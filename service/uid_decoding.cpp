#include "service/uid_decoding.h"

#include "service/percent_decoding.h"

namespace zentravo::lookup {
namespace {

constexpr std::size_t kUidLength = 8;

int Base62Value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 36;
  return -1;
}

}  // namespace

UidReading UidFromFileName(std::string_view fileName) {
  const std::string_view stem = fileName.substr(0, fileName.find('.'));
  if (stem.size() < kUidLength) return {0, UidProblem::kNameTooShort};

  const std::string_view digits = stem.substr(0, kUidLength);
  const bool base62 = digits.starts_with("00");
  const int radix = base62 ? 62 : 16;
  std::uint64_t uid = 0;  // 62^8 < 2^48, so 8 digits never overflow
  for (char c : digits) {
    const int value = base62 ? Base62Value(c) : HexDigitValue(c);
    if (value < 0) return {0, UidProblem::kUnreadableCharacter};
    uid = uid * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(value);
  }
  if (uid == 0) return {0, UidProblem::kZero};
  return {uid, UidProblem::kNone};
}

UidReading UidFromAvatarSegment(std::string_view segment) {
  constexpr std::size_t kMaxDigits = 19;  // 10^19 - 1 < 2^64
  if (segment.empty()) return {0, UidProblem::kNameTooShort};
  if (segment.size() > kMaxDigits) return {0, UidProblem::kUnreadableCharacter};
  std::uint64_t uid = 0;
  for (char c : segment) {
    if (c < '0' || c > '9') return {0, UidProblem::kUnreadableCharacter};
    uid = uid * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (uid == 0) return {0, UidProblem::kZero};
  return {uid, UidProblem::kNone};
}

}  // namespace zentravo::lookup
