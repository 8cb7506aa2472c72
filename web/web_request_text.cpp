#include "web/web_request_text.h"

namespace zentravo {
namespace {

// The caller's variable when it gave one, otherwise `own`.
template <typename T>
OptionalRef<T> SuppliedRef(OptionalRef<T> given, T& own) {
  return given.supplied() ? given : OptionalRef<T>(own);
}

}  // namespace

Text WebRequestText(const Text& url, std::optional<int> method, const std::optional<Text>& postText,
                    OptionalRef<Text> cookies, OptionalRef<Text> returnedCookies,
                    OptionalRef<Text> extraHeaders, OptionalRef<Text> redirectLocation,
                    std::optional<bool> noRedirect, OptionalRef<Bytes> postBytes,
                    const std::optional<Text>& proxy, OptionalRef<Text> responseHeaders,
                    InternetFunctions& internet) {
  Text ownCookies, ownReturnedCookies, ownExtraHeaders, ownRedirectLocation, ownResponseHeaders;
  Bytes ownPostBytes;
  const Bytes body = WebRequest(
      url, method.value_or(0), postText.value_or(Text()), SuppliedRef(cookies, ownCookies),
      SuppliedRef(returnedCookies, ownReturnedCookies), SuppliedRef(extraHeaders, ownExtraHeaders),
      SuppliedRef(redirectLocation, ownRedirectLocation), noRedirect.value_or(false),
      SuppliedRef(postBytes, ownPostBytes), proxy.value_or(Text()),
      SuppliedRef(responseHeaders, ownResponseHeaders), internet);
  return BytesToText(body);
}

}  // namespace zentravo
