#pragma once

// The lookup: a Weibo image link goes to the lookup service, whose UTF-8 answer
// comes back as code page 936 text.

#include "text/text.h"
#include "web/internet_functions.h"

namespace zentravo {

// The start of every lookup address: "https://", the lookup service's host (the
// build setting ZENTRAVO_LOOKUP_HOST, fixed in the program), then
// "/weibo/brellik.php?url=". HTTPS, on the port the host names (localhost:8443),
// else on 443.
extern const char LookupUrlPrefix[];

// The lookup address of `link`: LookupUrlPrefix followed by `link` byte for byte,
// neither trimmed nor escaped.
Text LookupAddress(const Text& link);

// Looks `link` up and returns the service's answer: the response body, whatever
// its status, read as UTF-8 and converted to code page 936, whole. The request is
// a POST with an empty body, the default header block and agent, no cookies, on
// an Internet handle in proxy mode with the list "http=" (which reaches an https
// address directly). Empty when the service cannot be reached or sends nothing;
// there is no other report of failure.
Text LookupAnswer(const Text& link, InternetFunctions& internet = PlatformInternetFunctions());

}  // namespace zentravo
