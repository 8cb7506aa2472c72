#include "service/web_page.h"

#include <string>

namespace zentravo::lookup {
namespace {

constexpr std::string_view kMethodNotAllowed = "只支持 GET 和 HEAD 请求";

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// If-None-Match holds "*" or a comma-separated list of tags, compared weakly:
// W/"x" matches "x".
bool MatchesAnyTag(std::string_view ifNoneMatch, std::string_view entityTag) {
  while (!ifNoneMatch.empty()) {
    const std::size_t comma = ifNoneMatch.find(',');
    std::string_view tag = TrimSpaces(ifNoneMatch.substr(0, comma));
    ifNoneMatch = comma == std::string_view::npos ? std::string_view() : ifNoneMatch.substr(comma + 1);
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    if (tag == "*" || tag == entityTag) return true;
  }
  return false;
}

}  // namespace

std::optional<Answer> AnswerWebFile(std::string_view method, std::string_view path, std::string_view ifNoneMatch) {
  for (const WebFile& file : WebFiles()) {
    if (file.path != path) continue;

    Answer answer;
    if (method != "GET" && method != "HEAD") {
      answer.status = 405;
      answer.body = kMethodNotAllowed;
      answer.headers.emplace_back("Allow", "GET, HEAD");
      return answer;
    }
    answer.headers = {
        {"ETag", std::string(file.entityTag)},
        {"Cache-Control", "no-cache"},
        {"Content-Security-Policy", std::string(kPageSecurityPolicy)},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
    };
    if (MatchesAnyTag(ifNoneMatch, file.entityTag)) {
      answer.status = 304;
      return answer;
    }
    answer.contentType = file.contentType;
    answer.body = file.body;
    return answer;
  }
  return std::nullopt;
}

}  // namespace zentravo::lookup
