#include "skin_format.h"

namespace skinh {
namespace {

std::uint16_t ReadU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

Rgb ReadRgb(const std::uint8_t* at) { return Rgb{at[0], at[1], at[2]}; }

}  // namespace

std::uint32_t Adler32(const std::uint8_t* data, std::size_t length) {
  constexpr std::uint32_t kModulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::size_t i = 0; i < length; ++i) {
    a = (a + data[i]) % kModulus;
    b = (b + a) % kModulus;
  }
  return (b << 16) | a;
}

SkinStatus ParseSkin(const std::uint8_t* data, std::size_t length, Skin& skin) {
  if (data == nullptr || length == 0) return SkinStatus::kNoData;
  if (length < kHeaderSize) {
    // A short buffer is still told apart from a foreign one, as far as it goes.
    static const std::uint8_t kMagic[] = {'.', 'S', 'H', 'E'};
    for (std::size_t i = 0; i < length && i < 4; ++i) {
      if (data[i] != kMagic[i]) return SkinStatus::kNotASkin;
    }
    return SkinStatus::kTooShort;
  }
  if (data[0] != '.' || data[1] != 'S' || data[2] != 'H' || data[3] != 'E') {
    return SkinStatus::kNotASkin;
  }
  if (ReadU16(data + 4) != kFormatVersion) return SkinStatus::kUnsupportedVersion;
  const std::uint16_t recordCount = ReadU16(data + 6);
  const std::uint32_t areaLength = ReadU32(data + 8);
  const std::uint32_t checksum = ReadU32(data + 12);
  if (areaLength != length - kHeaderSize) return SkinStatus::kDamaged;
  const std::uint8_t* area = data + kHeaderSize;
  if (Adler32(area, areaLength) != checksum) return SkinStatus::kDamaged;

  Skin parsed;
  bool haveBackground = false;
  std::size_t at = 0;
  for (std::uint16_t record = 0; record < recordCount; ++record) {
    if (areaLength - at < 4) return SkinStatus::kDamaged;
    const std::uint16_t tag = ReadU16(area + at);
    const std::uint16_t size = ReadU16(area + at + 2);
    at += 4;
    if (areaLength - at < size) return SkinStatus::kDamaged;
    const std::uint8_t* payload = area + at;
    at += size;
    switch (tag) {
      case kTagName: {
        std::size_t n = size < sizeof(parsed.name) - 1 ? size : sizeof(parsed.name) - 1;
        for (std::size_t i = 0; i < n; ++i) parsed.name[i] = static_cast<char>(payload[i]);
        parsed.name[n] = '\0';
        break;
      }
      case kTagBackground:
        if (size != 6) return SkinStatus::kIncomplete;
        parsed.backgroundTop = ReadRgb(payload);
        parsed.backgroundBottom = ReadRgb(payload + 3);
        haveBackground = true;
        break;
      case kTagFrame:
        if (size != 4 || payload[3] > kMaxFrameWidth) return SkinStatus::kDamaged;
        parsed.frame = ReadRgb(payload);
        parsed.frameWidth = payload[3];
        break;
      default:
        break;  // a record of a later writer: skipped
    }
  }
  if (at != areaLength) return SkinStatus::kDamaged;
  if (!haveBackground) return SkinStatus::kIncomplete;
  skin = parsed;
  return SkinStatus::kApplied;
}

}  // namespace skinh
