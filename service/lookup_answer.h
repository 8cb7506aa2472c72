#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zentravo::lookup {

// The one path the service answers at, and the longest request target it reads.
inline constexpr std::string_view kLookupPath = "/weibo/brellik.php";
inline constexpr std::size_t kMaxTargetLength = 8192;
// Monitors and load balancers ask here whether the service takes requests.
inline constexpr std::string_view kHealthPath = "/healthz";

// What the service sends back: the body is UTF-8 text, shown by the program as it
// is, so a success holds the UID's decimal digits and nothing else, and every
// failure a short explanation in Chinese.
struct Answer {
  int status = 200;
  std::string body;
  std::string contentType = "text/plain; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers{};  // more header fields, sent as they are
};

// The link inside a raw request target (origin form "/path?query", or absolute
// form "http[s]://host/path?query"): every byte after the first "url=" that begins
// the query or follows an "&" in it, to the very end of the target. The program
// appends the link unescaped, so "&", "?", "#" and spaces after "url=" belong to
// it. Nothing: the target has no such "url=".
std::optional<std::string_view> LinkFromTarget(std::string_view target);

// The path of a raw request target: the bytes before its first "?" or "#", after
// dropping a leading "http://host" or "https://host" (either letter case). Escapes
// are not undone.
std::string_view PathOfTarget(std::string_view target);

// Answers a link as it arrived after "url=": percent-escapes undone once, ASCII
// spaces, tabs, CR and LF trimmed from both ends, then the Weibo image found
// (FindWeiboImage) and the UID read from its file name (UidFromFileName) or,
// for an old avatar link, from its first path segment (UidFromAvatarSegment).
// 200 with the UID, or 400 with the reason.
Answer AnswerLink(std::string_view rawLink);

// Answers one request from its method (as sent, letter case significant) and raw
// target, in this order: a target over kMaxTargetLength bytes is 414; a path other
// than kLookupPath or kHealthPath is 404; a method other than GET, HEAD or POST is
// 405; kHealthPath is 200 "ok"; a target without a link is 400; otherwise AnswerLink. The body for HEAD is the same as
// for GET; leaving it out is the sender's business.
Answer AnswerRequest(std::string_view method, std::string_view target);

// The answer for a request that could not be read as one: status 400 (not HTTP),
// 413 (body too large), 414 (request line too long), 431 (header too large) or 503
// (no room for the connection); any other status gives the 400 answer.
Answer AnswerUnreadableRequest(int status);

}  // namespace zentravo::lookup
