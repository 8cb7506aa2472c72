// libFuzzer target: any bytes as a request target (the first byte picks the
// method) must give a well-formed answer, never a crash, a hang or a stray read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "service/image_link.h"
#include "service/lookup_answer.h"
#include "service/uid_decoding.h"

namespace {

bool IsDecimal(std::string_view text) {
  // 62^8 has 15 digits; an avatar link's UID segment may have up to 19.
  if (text.empty() || text.size() > 19 || text.front() == '0') return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentravo::lookup;
  if (size == 0) return 0;
  constexpr std::string_view kMethods[] = {"GET", "POST", "HEAD", "PUT"};
  const std::string_view method = kMethods[data[0] % 4];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const Answer answer = AnswerRequest(method, bytes);
  const bool known = answer.status == 200 || answer.status == 400 || answer.status == 404 ||
                     answer.status == 405 || answer.status == 414;
  if (!known || answer.body.empty()) std::abort();
  // The health check answers "ok"; every other success is a UID.
  if (PathOfTarget(bytes) == kHealthPath) {
    if (answer.status == 200 && answer.body != "ok") std::abort();
  } else if ((answer.status == 200) != IsDecimal(answer.body)) {
    std::abort();
  }

  // The link rules on their own, with the bytes taken as a pasted link.
  (void)AnswerLink(bytes);
  (void)FindWeiboImage(bytes);
  (void)UidFromAvatarSegment(bytes);
  return 0;
}
