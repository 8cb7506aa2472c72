#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "service/lookup_answer.h"

namespace zentravo::lookup {

// The batch API: POST a JSON array of links, get a JSON array of results.
inline constexpr std::string_view kBatchPath = "/api/uids";
inline constexpr std::size_t kMaxBatchLinks = 1000;
inline constexpr std::uint64_t kMaxBatchBody = 1024 * 1024;

// Answers a request to kBatchPath from its method and body:
// - POST with a JSON array of at most kMaxBatchLinks strings: 200 with
//   LinkResultsJson of them, same order, each link read as AnswerLink reads it;
// - a body that is not JSON, or JSON other than an array of strings: 400;
// - more than kMaxBatchLinks links: 413;
// - any method but POST: 405 (Allow: POST).
// Every answer is "application/json; charset=utf-8" and never stored by caches;
// a failure's body is {"error":REASON}. The body limit itself (kMaxBatchBody) is
// the server's to enforce, answering with BatchBodyTooLarge.
Answer AnswerBatchRequest(std::string_view method, std::string_view body);

// 413 with {"error":REASON}, for a body over kMaxBatchBody.
Answer BatchBodyTooLarge();

}  // namespace zentravo::lookup
