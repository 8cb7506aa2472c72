#pragma once

#include <span>
#include <string>
#include <string_view>

#include "service/lookup_answer.h"

namespace zentravo::lookup {

// One link's result as the batch API and zentravo-uid --json give it, compact JSON:
// {"link":LINK,"uid":"DIGITS"} when answer is a success (status 200), else
// {"link":LINK,"error":REASON}. The UID is a string of decimal digits, as the
// window shows it. Bytes of link that are not UTF-8 come out as U+FFFD.
std::string LinkResultJson(std::string_view link, const Answer& answer);

// The JSON array of LinkResultJson(link, AnswerLink(link)) for every link, in order,
// elements separated by "," alone.
std::string LinkResultsJson(std::span<const std::string> links);

}  // namespace zentravo::lookup
