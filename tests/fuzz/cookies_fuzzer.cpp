// libFuzzer target: MergeCookies on any held and received cookie strings (the
// input cut at its first zero byte), and CookieName on each. Besides crashes and
// sanitizer reports it checks what the merge promises about its arguments and,
// for ASCII input, about the items of the merged string.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "web/cookies.h"

using zentravo::fuzz::Check;

namespace {

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> items;
  if (text.empty()) return items;
  for (;;) {
    const std::size_t end = text.find(separator);
    items.push_back(text.substr(0, end));
    if (end == std::string_view::npos) return items;
    text.remove_prefix(end + separator.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentravo;
  const auto [oldBytes, newBytes] = fuzz::CutAtZero(fuzz::AsText(data, size));
  const Text oldCookies(oldBytes);
  const Text newCookies(newBytes);
  (void)CookieName(oldCookies);
  (void)CookieName(newCookies);

  Text merged = oldCookies;
  Text received = newCookies;
  const Text result = MergeCookies(merged, received);
  Check(result == merged, "the result is the merged string");
  Check(received == RemoveAllSpaces(newCookies), "the received cookies lose their spaces");

  if (fuzz::IsAscii(oldCookies.str()) && fuzz::IsAscii(newCookies.str())) {
    // Every merged item is one received or held before, and none is deleted.
    const std::string oldItems = RemoveAllSpaces(oldCookies).str();
    std::vector<std::string_view> given = Split(oldItems, ";");
    const std::vector<std::string_view> receivedItems = Split(received.str(), ";");
    given.insert(given.end(), receivedItems.begin(), receivedItems.end());
    for (std::string_view item : Split(merged.str(), "; ")) {
      Check(std::find(given.begin(), given.end(), item) != given.end(),
            "a merged item is one of the given items");
      Check(!item.ends_with("=deleted"), "no deleted item is kept");
    }
  }
  return 0;
}
