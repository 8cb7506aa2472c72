// libFuzzer target: the scan of a response's raw headers, as WebRequest makes it
// on whatever a server sends, followed by the merge of the cookies found into a
// held cookie string. The input is the header text, then after a zero byte the
// redirection target the caller held before.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "web/cookies.h"
#include "web/response_headers.h"

using zentravo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentravo;
  const auto [headerBytes, heldBytes] = fuzz::CutAtZero(fuzz::AsText(data, size));
  const Text headers(headerBytes);
  const Text held(heldBytes);
  const ResponseHeaderScan scan = ScanResponseHeaders(headers, held);
  const std::string& text = headers.str();
  const std::string& redirect = scan.redirectLocation.str();
  const std::string& cookies = scan.returnedCookies.str();

  Check(redirect == held.str() || text.find(redirect) != std::string::npos,
        "the redirection target is the held one or a piece of the headers");
  if (text.find("Location:") == std::string::npos) {
    Check(redirect == (held.empty() ? text : held.str()),
          "without a Location line the held target, else the whole headers");
  }
  if (text.find("Set-Cookie") == std::string::npos) {
    Check(cookies.empty(), "without a Set-Cookie line no cookies");
  }
  if (fuzz::IsAscii(text)) {
    // Items joined by "; ", none of them empty and none holding a ";" of its own.
    std::string_view rest = cookies;
    while (!rest.empty()) {
      const std::size_t end = rest.find("; ");
      const std::string_view item = rest.substr(0, end);
      Check(!item.empty() && item.find(';') == std::string_view::npos, "cookie items are whole");
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
      Check(end == std::string_view::npos || !rest.empty(), "no separator after the last item");
    }
  }

  Text heldCookies = "sid=1; t=2";
  Text returned = scan.returnedCookies;
  MergeCookies(heldCookies, returned);
  return 0;
}
