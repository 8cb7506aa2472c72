#include "service/routes.h"

#include "service/batch_api.h"
#include "service/web_page.h"

namespace zentravo::lookup {

Answer AnswerHttpRequest(const HttpRequest& request) {
  // The lookup's own limit on the target comes first, whatever the path.
  if (request.target.size() <= kMaxTargetLength) {
    const std::string_view path = PathOfTarget(request.target);
    if (path == kBatchPath) return AnswerBatchRequest(request.method, request.body);
    if (std::optional<Answer> file = AnswerWebFile(request.method, path, request.ifNoneMatch)) return *file;
  }
  return AnswerRequest(request.method, request.target);
}

std::optional<std::uint64_t> BodyLimitOfTarget(std::string_view target) {
  if (PathOfTarget(target) == kBatchPath) return kMaxBatchBody;
  return std::nullopt;
}

Answer AnswerBodyTooLarge(std::string_view target) {
  if (PathOfTarget(target) == kBatchPath) return BatchBodyTooLarge();
  return AnswerUnreadableRequest(413);
}

}  // namespace zentravo::lookup
