#include "web/lookup.h"

#include "web/web_request_text.h"
#include "text/codepage.h"

#ifndef ZENTRAVO_LOOKUP_HOST
#error "ZENTRAVO_LOOKUP_HOST must name the lookup service's host (a string literal)"
#endif

namespace zentravo {

const char LookupUrlPrefix[] = "https://" ZENTRAVO_LOOKUP_HOST "/weibo/brellik.php?url=";

Text LookupAddress(const Text& link) { return ConcatText(LookupUrlPrefix, link); }

Text LookupAnswer(const Text& link, InternetFunctions& internet) {
  constexpr int kPost = 1;
  // Only the method and the empty body are given; WebRequestText passes everything
  // else on as supplied and empty, and what WebRequest writes back is not needed.
  const Text body = WebRequestText(LookupAddress(link), kPost, Text(), {}, {}, {}, {},
                                   std::nullopt, {}, std::nullopt, {}, internet);
  return Utf8ToGbk(body);
}

}  // namespace zentravo
