// libFuzzer target: the walking text operations on any bytes must agree with the
// plain one-character-at-a-time walk, and neither may crash or read astray.
//
// The input is cut at zero bytes, which no text can hold: text, text to find (also
// the delimiter), replacement, then parameter bytes. Without a third zero there is
// no replacement (the omitted argument). The first parameter byte, taken as signed,
// is the start position, the second the count (also the maximum for splitting);
// a missing byte leaves the argument omitted.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/support/text_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  // The next text up to a zero byte; false when no zero is left.
  auto take = [&rest](std::string& out) {
    const std::size_t zero = rest.find('\0');
    out = std::string(rest.substr(0, zero));
    if (zero == std::string_view::npos) {
      rest = {};
      return false;
    }
    rest.remove_prefix(zero + 1);
    return true;
  };

  zentravo::TextWalkCase c;
  std::string replacement;
  if (take(c.text) && take(c.find) && take(replacement)) {
    c.replacement = replacement;
    if (!rest.empty()) c.start = static_cast<std::int8_t>(rest[0]);
    if (rest.size() >= 2) c.count = static_cast<std::int8_t>(rest[1]);
  }

  const std::string disagreement = zentravo::FirstDisagreement(c);
  if (!disagreement.empty()) {
    std::fprintf(stderr, "%s\n%s\n", zentravo::DescribeCase(c).c_str(), disagreement.c_str());
    std::abort();
  }
  return 0;
}
