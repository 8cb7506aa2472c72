#include "service/batch_lookup.h"

#include <nlohmann/json.hpp>

namespace zentravo::lookup {

std::string LinkResultJson(std::string_view link, const Answer& answer) {
  nlohmann::ordered_json result;
  result["link"] = std::string(link);
  result[answer.status == 200 ? "uid" : "error"] = answer.body;
  // Links come from the command line and standard input too, in any encoding:
  // replace what is not UTF-8 rather than fail.
  return result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string LinkResultsJson(std::span<const std::string> links) {
  std::string json = "[";
  for (const std::string& link : links) {
    if (json.size() > 1) json += ',';
    json += LinkResultJson(link, AnswerLink(link));
  }
  json += ']';
  return json;
}

}  // namespace zentravo::lookup
