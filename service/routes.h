#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "service/batch_api.h"
#include "service/lookup_answer.h"

namespace zentravo::lookup {

// What the service reads of a request to decide its answer.
struct HttpRequest {
  std::string_view method;       // as sent, letter case significant
  std::string_view target;       // the raw request target
  std::string_view body;
  std::string_view ifNoneMatch;  // the If-None-Match field; empty when absent
};

// Answers a request by its path: the lookup page's files (AnswerWebFile), the
// batch API (AnswerBatchRequest), and every other target as AnswerRequest does.
Answer AnswerHttpRequest(const HttpRequest& request);

// The largest body any path takes: the most a server reads before it knows the path.
inline constexpr std::uint64_t kLargestPathBodyLimit = kMaxBatchBody;

// The body limit a path sets for itself (kMaxBatchBody for the batch API); nothing
// where the server's general limit applies.
std::optional<std::uint64_t> BodyLimitOfTarget(std::string_view target);

// The 413 answer for a body over the limit of target's path.
Answer AnswerBodyTooLarge(std::string_view target);

}  // namespace zentravo::lookup
