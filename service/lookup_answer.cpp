#include "service/lookup_answer.h"

#include <algorithm>

#include "service/ascii.h"
#include "service/image_link.h"
#include "service/percent_decoding.h"
#include "service/uid_decoding.h"

namespace zentravo::lookup {
namespace {

// The program shows these as they are, so they are short and say what to do.
constexpr std::string_view kNoLink = "请输入微博图片链接";
constexpr std::string_view kNotWeiboImage = "这不是微博图片链接";
constexpr std::string_view kNameTooShort = "图片文件名太短，无法识别 UID";
constexpr std::string_view kUnreadableName = "图片文件名含有无法识别的字符";
constexpr std::string_view kNoUid = "图片文件名中没有有效的 UID";
constexpr std::string_view kNotFound = "找不到该地址";
constexpr std::string_view kMethodNotAllowed = "只支持 GET 和 POST 请求";
constexpr std::string_view kTargetTooLong = "链接太长";
constexpr std::string_view kMalformed = "请求格式错误";
constexpr std::string_view kBodyTooLarge = "请求内容太长";
constexpr std::string_view kHeaderTooLarge = "请求头太长";
constexpr std::string_view kBusy = "服务器繁忙，请稍后再试";

Answer Fail(int status, std::string_view message) { return {status, std::string(message)}; }

// The target from its path on: an absolute-form target loses "scheme://host".
std::string_view OriginForm(std::string_view target) {
  for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
    if (StartsWithIgnoringCase(target, scheme)) {
      target.remove_prefix(scheme.size());
      return target.substr(std::min(target.find_first_of("/?#"), target.size()));
    }
  }
  return target;
}

bool IsTrimmedSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsTrimmedSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmedSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string_view PathOfTarget(std::string_view target) {
  const std::string_view origin = OriginForm(target);
  return origin.substr(0, origin.find_first_of("?#"));
}

std::optional<std::string_view> LinkFromTarget(std::string_view target) {
  std::string_view origin = OriginForm(target);
  const std::size_t end = origin.find_first_of("?#");
  if (end == std::string_view::npos || origin[end] != '?') return std::nullopt;
  const std::string_view query = origin.substr(end + 1);

  constexpr std::string_view kKey = "url=";
  for (std::size_t at = query.find(kKey); at != std::string_view::npos; at = query.find(kKey, at + 1)) {
    if (at == 0 || query[at - 1] == '&') return query.substr(at + kKey.size());
  }
  return std::nullopt;
}

Answer AnswerLink(std::string_view rawLink) {
  const std::string decoded = PercentDecode(rawLink);
  const std::string_view link = Trim(decoded);
  if (link.empty()) return Fail(400, kNoLink);

  const std::optional<WeiboImage> image = FindWeiboImage(link);
  if (!image) return Fail(400, kNotWeiboImage);

  const UidReading reading = image->kind == WeiboImage::Kind::kAvatarUid ? UidFromAvatarSegment(image->segment)
                                                                          : UidFromFileName(image->segment);
  switch (reading.problem) {
    case UidProblem::kNone: return {200, std::to_string(reading.uid)};
    case UidProblem::kNameTooShort: return Fail(400, kNameTooShort);
    case UidProblem::kUnreadableCharacter: return Fail(400, kUnreadableName);
    case UidProblem::kZero: return Fail(400, kNoUid);
  }
  return Fail(400, kUnreadableName);
}

Answer AnswerRequest(std::string_view method, std::string_view target) {
  if (target.size() > kMaxTargetLength) return Fail(414, kTargetTooLong);
  const std::string_view path = PathOfTarget(target);
  if (path != kLookupPath && path != kHealthPath) return Fail(404, kNotFound);
  if (method != "GET" && method != "HEAD" && method != "POST") {
    Answer answer = Fail(405, kMethodNotAllowed);
    answer.headers.emplace_back("Allow", "GET, HEAD, POST");
    return answer;
  }
  // Answering at all is the health: the service keeps no state that could go bad.
  if (path == kHealthPath) return {200, "ok"};

  const std::optional<std::string_view> link = LinkFromTarget(target);
  if (!link) return Fail(400, kNoLink);
  return AnswerLink(*link);
}

Answer AnswerUnreadableRequest(int status) {
  switch (status) {
    case 413: return Fail(413, kBodyTooLarge);
    case 414: return Fail(414, kTargetTooLong);
    case 431: return Fail(431, kHeaderTooLarge);
    case 503: return Fail(503, kBusy);
    default: return Fail(400, kMalformed);
  }
}

}  // namespace zentravo::lookup
