// libFuzzer target: the code-page conversions on any bytes, with the code pages
// the program uses (0, 936, 65001), the flag set and clear. The first input byte
// chooses code pages and flags; the rest is the text, and, read as UTF-16, the wide
// byte string. Besides crashes and sanitizer reports it checks that wide results
// are whole units and that ASCII text comes through every conversion unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "text/codepage.h"

using zentravo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentravo;
  if (size == 0) return 0;
  constexpr int kCodePages[] = {0, 936, 65001};
  const int from = kCodePages[(data[0] & 0x03) % 3];
  const int to = kCodePages[((data[0] >> 2) & 0x03) % 3];
  const bool useFrom = data[0] & 0x10;
  const bool useTo = data[0] & 0x20;
  const std::string_view rest = fuzz::AsText(data + 1, size - 1);

  const Text text(rest);
  const Bytes wide = CodePageToWide(text, from, useFrom);
  Check(BytesLength(wide) % 2 == 0, "a wide byte string holds whole units");
  const Text back = WideToCodePage(wide, to, useTo);
  const Text gbk = Utf8ToGbk(text);
  (void)WideToCodePage(Bytes(rest), to, useTo);

  if (fuzz::IsAscii(text.str())) {
    Check(back == text, "ASCII comes back unchanged");
    Check(gbk == text, "ASCII is the same in UTF-8 and code page 936");
  }
  return 0;
}
