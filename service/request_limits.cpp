#include "service/request_limits.h"

#include "service/percent_decoding.h"

namespace zentravo::lookup {

int OversizedChunkFramingStatus(std::string_view unparsed) {
  if (unparsed.starts_with("\r\n")) unparsed.remove_prefix(2);
  const std::size_t lineEnd = unparsed.find("\r\n");
  if (lineEnd == std::string_view::npos) return 413;
  const std::string_view line = unparsed.substr(0, lineEnd);
  std::size_t digits = 0;
  bool zero = true;
  while (digits < line.size() && HexDigitValue(line[digits]) >= 0) {
    zero = zero && line[digits] == '0';
    ++digits;
  }
  return digits > 0 && zero ? 431 : 413;
}

}  // namespace zentravo::lookup
