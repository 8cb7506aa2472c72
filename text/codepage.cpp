#include "text/codepage.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "text/codepage_platform.h"

namespace zentravo {
namespace {

constexpr int kAnsiCodePage = 0;
constexpr int kUtf8CodePage = 65001;
constexpr int kGbkCodePage = 936;

}  // namespace

Bytes CodePageToWide(const Text& text, int codePage, bool useGivenCodePage) {
  const int conversionCodePage = useGivenCodePage ? codePage : kUtf8CodePage;
  // An empty text is handed over as no text at all, which measures 0.
  const char* source = text.empty() ? nullptr : text.c_str();
  // Measuring under the ANSI code page alone can come out short (invalid UTF-8
  // decodes into more units than it measures as GBK), which would lose the answer.
  const int units = std::max(codepage_platform::MultiByteToWide(kAnsiCodePage, source, nullptr, 0),
                             codepage_platform::MultiByteToWide(conversionCodePage, source, nullptr, 0));
  std::vector<char16_t> buffer(static_cast<size_t>(units), u'\0');
  if (units > 0) codepage_platform::MultiByteToWide(conversionCodePage, source, buffer.data(), units);
  std::string bytes;
  bytes.reserve(buffer.size() * 2);
  for (char16_t unit : buffer) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return Bytes(std::move(bytes));
}

Text WideToCodePage(const Bytes& wide, int codePage, bool useGivenCodePage) {
  const int conversionCodePage = useGivenCodePage ? codePage : kAnsiCodePage;
  // Copy the units and end them with a zero unit of our own, so that a byte
  // string without one is never read past its end.
  const std::string& raw = wide.str();
  std::vector<char16_t> units;
  units.reserve(raw.size() / 2 + 1);
  for (size_t at = 0; at + 1 < raw.size(); at += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(raw[at]) |
                                          (static_cast<unsigned char>(raw[at + 1]) << 8)));
  }
  units.push_back(u'\0');
  const char16_t* source = raw.empty() ? nullptr : units.data();
  const int bytes = std::max(codepage_platform::WideToMultiByte(kAnsiCodePage, source, nullptr, 0),
                             codepage_platform::WideToMultiByte(conversionCodePage, source, nullptr, 0));
  std::string buffer = BlankText(2 * bytes).str();
  if (bytes > 0) {
    codepage_platform::WideToMultiByte(conversionCodePage, source, buffer.data(), 2 * bytes);
  }
  return Text(std::move(buffer));  // up to the first zero byte
}

Text Utf8ToGbk(const Text& utf8) {
  return WideToCodePage(CodePageToWide(utf8, kAnsiCodePage, false), kGbkCodePage, true);
}

}  // namespace zentravo
