// Host-build stand-in for the Windows conversion calls, so the code-page functions
// and their tests run unchanged on Linux. UTF-8 is decoded and encoded here, with
// U+FFFD for each maximal invalid sequence as Windows does; GBK goes through iconv
// one character at a time, with the Windows code page 936 treatment of single
// bytes and '?' for characters it lacks.
#include <iconv.h>

#include <cstdint>
#include <string>

#include "text/codepage_platform.h"

namespace zentravo::codepage_platform {
namespace {

constexpr char16_t kReplacement = u'\xFFFD';

class IconvConverter {
 public:
  IconvConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvConverter() {
    if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(handle_);
  }
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  // Converts all of `input`; false when any of it cannot be converted.
  bool Convert(const char* input, size_t inputSize, std::string& output) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* in = const_cast<char*>(input);
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(handle_, &in, &inputSize, &out, &outLeft) == static_cast<size_t>(-1) || inputSize != 0) {
      return false;
    }
    output.assign(buffer, static_cast<size_t>(out - buffer));
    return true;
  }

 private:
  iconv_t handle_;
};

bool IsKnown(int codePage) { return codePage == 0 || codePage == 936 || codePage == 65001; }
bool IsUtf8(int codePage) { return codePage == 65001; }

void AppendCodePoint(std::u16string& out, char32_t point) {
  if (point < 0x10000) {
    out += static_cast<char16_t>(point);
  } else {
    point -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (point >> 10));
    out += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
  }
}

std::u16string DecodeUtf8(const std::string& in) {
  std::u16string out;
  size_t at = 0;
  while (at < in.size()) {
    const unsigned char lead = static_cast<unsigned char>(in[at]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++at;
      continue;
    }
    int length = 0;
    char32_t point = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, point = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, point = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    // The maximal subpart: as many continuation bytes as fit the pattern.
    int taken = 1;
    for (; length != 0 && taken < length && at + taken < in.size(); ++taken) {
      const unsigned char next = static_cast<unsigned char>(in[at + taken]);
      const bool fits = taken == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
      if (!fits) break;
      point = (point << 6) | (next & 0x3F);
    }
    if (length != 0 && taken == length) {
      AppendCodePoint(out, point);
    } else {
      out += kReplacement;
    }
    at += static_cast<size_t>(taken);
  }
  return out;
}

std::u16string DecodeGbk(const std::string& in) {
  static IconvConverter gbkToUtf16("UTF-16LE", "CP936");
  std::u16string out;
  for (size_t at = 0; at < in.size();) {
    const unsigned char lead = static_cast<unsigned char>(in[at]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++at;
    } else if (lead == 0x80) {
      out += u'\x20AC';
      ++at;
    } else if (lead == 0xFF || at + 1 == in.size()) {
      out += u'\xF8F5';  // a byte code page 936 leaves unassigned
      ++at;
    } else {
      std::string unit;
      out += gbkToUtf16.Convert(in.data() + at, 2, unit) && unit.size() == 2
                 ? static_cast<char16_t>(static_cast<unsigned char>(unit[0]) |
                                         (static_cast<unsigned char>(unit[1]) << 8))
                 : u'\x30FB';
      at += 2;
    }
  }
  return out;
}

std::string EncodeUtf8(const std::u16string& in) {
  std::string out;
  for (size_t at = 0; at < in.size(); ++at) {
    char32_t point = in[at];
    if (point >= 0xD800 && point <= 0xDBFF && at + 1 < in.size() && in[at + 1] >= 0xDC00 &&
        in[at + 1] <= 0xDFFF) {
      point = 0x10000 + ((point - 0xD800) << 10) + (in[at + 1] - 0xDC00);
      ++at;
    } else if (point >= 0xD800 && point <= 0xDFFF) {
      point = kReplacement;  // a lone surrogate
    }
    if (point < 0x80) {
      out += static_cast<char>(point);
    } else if (point < 0x800) {
      out += static_cast<char>(0xC0 | (point >> 6));
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      out += static_cast<char>(0xE0 | (point >> 12));
      out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (point >> 18));
      out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    }
  }
  return out;
}

std::string EncodeGbk(const std::u16string& in) {
  static IconvConverter utf16ToGbk("CP936", "UTF-16LE");
  std::string out;
  for (char16_t unit : in) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
      continue;
    }
    const char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    std::string converted;
    out += utf16ToGbk.Convert(bytes, 2, converted) ? converted : std::string("?");
  }
  return out;
}

}  // namespace

int MultiByteToWide(int codePage, const char* source, char16_t* destination, int destinationUnits) {
  if (source == nullptr || !IsKnown(codePage) || destinationUnits < 0) return 0;
  std::u16string units = IsUtf8(codePage) ? DecodeUtf8(source) : DecodeGbk(source);
  units += u'\0';
  const int needed = static_cast<int>(units.size());
  if (destinationUnits == 0) return needed;
  if (destinationUnits < needed) return 0;
  units.copy(destination, units.size());
  return needed;
}

int WideToMultiByte(int codePage, const char16_t* source, char* destination, int destinationBytes) {
  if (source == nullptr || !IsKnown(codePage) || destinationBytes < 0) return 0;
  std::string bytes = IsUtf8(codePage) ? EncodeUtf8(source) : EncodeGbk(source);
  bytes += '\0';
  const int needed = static_cast<int>(bytes.size());
  if (destinationBytes == 0) return needed;
  if (destinationBytes < needed) return 0;
  bytes.copy(destination, bytes.size());
  return needed;
}

}  // namespace zentravo::codepage_platform
