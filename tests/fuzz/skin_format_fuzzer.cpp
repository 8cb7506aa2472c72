// libFuzzer target: the ".SHE" skin parser on any bytes. The first input byte
// chooses the form: even, the rest is the data as it stands; odd, the rest is a
// record area that gets a well-formed header (the second byte as the record count,
// length and checksum right), so the fuzzer reaches the record walk instead of
// stopping at the checksum. A refused skin must leave the caller's skin as it was;
// an accepted one must hold a terminated name and a frame of at most 16 pixels.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "skin-library/skin_format.h"
#include "tests/fuzz/fuzz_check.h"

using zentravo::fuzz::Check;

namespace {

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

skinh::Skin Sentinel() {
  skinh::Skin skin;
  std::memset(skin.name, 'S', sizeof(skin.name) - 1);
  skin.backgroundTop = {1, 2, 3};
  skin.backgroundBottom = {4, 5, 6};
  skin.frame = {7, 8, 9};
  skin.frameWidth = 99;
  return skin;
}

bool SameSkin(const skinh::Skin& a, const skinh::Skin& b) {
  auto same = [](const skinh::Rgb& x, const skinh::Rgb& y) {
    return x.red == y.red && x.green == y.green && x.blue == y.blue;
  };
  return std::memcmp(a.name, b.name, sizeof(a.name)) == 0 &&
         same(a.backgroundTop, b.backgroundTop) && same(a.backgroundBottom, b.backgroundBottom) &&
         same(a.frame, b.frame) && a.frameWidth == b.frameWidth;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::uint8_t> bytes;
  if (data[0] & 1) {
    const std::uint8_t recordCount = size > 1 ? data[1] : 0;
    const std::uint8_t* area = data + (size > 1 ? 2 : 1);
    const std::size_t areaLength = size - (size > 1 ? 2 : 1);
    bytes = {'.', 'S', 'H', 'E'};
    AppendLittleEndian(bytes, skinh::kFormatVersion, 2);
    AppendLittleEndian(bytes, recordCount, 2);
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(areaLength), 4);
    AppendLittleEndian(bytes, skinh::Adler32(area, areaLength), 4);
    bytes.insert(bytes.end(), area, area + areaLength);
  } else {
    bytes.assign(data + 1, data + size);
  }
  // A copy of exactly that size, so AddressSanitizer sees any read past its end;
  // even an empty one has an address, so "no bytes" is not a null pointer.
  const auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());

  skinh::Skin skin = Sentinel();
  const skinh::SkinStatus status = skinh::ParseSkin(exact.get(), bytes.size(), skin);
  const int code = static_cast<int>(status);
  Check(code >= 0 && code <= 6, "a documented result");
  if (status == skinh::SkinStatus::kApplied) {
    Check(std::memchr(skin.name, '\0', sizeof(skin.name)) != nullptr, "the name is terminated");
    Check(skin.frameWidth >= 0 && skin.frameWidth <= skinh::kMaxFrameWidth, "the frame fits");
  } else {
    Check(SameSkin(skin, Sentinel()), "a refused skin changes nothing");
  }
  return 0;
}
