#pragma once

// WebRequest for callers that want the body as text.

#include <optional>

#include "text/text.h"
#include "web/web_request.h"

namespace zentravo {

// Performs WebRequest with the same arguments, in the same order, and returns the
// body as text (BytesToText: the bytes before the first zero byte, no code-page
// conversion; an empty body gives an empty text).
//
// Every optional argument reaches WebRequest as supplied, whether or not the
// caller supplied it: a left-out one goes as 0, false or empty. So a left-out
// `proxy` still puts the Internet handle in proxy mode with the list "http=".
// The caller's own variables receive whatever WebRequest writes into them; the
// ones it left out are written into variables of this call, then dropped.
Text WebRequestText(const Text& url,
                    std::optional<int> method = std::nullopt,
                    const std::optional<Text>& postText = std::nullopt,
                    OptionalRef<Text> cookies = {},
                    OptionalRef<Text> returnedCookies = {},
                    OptionalRef<Text> extraHeaders = {},
                    OptionalRef<Text> redirectLocation = {},
                    std::optional<bool> noRedirect = std::nullopt,
                    OptionalRef<Bytes> postBytes = {},
                    const std::optional<Text>& proxy = std::nullopt,
                    OptionalRef<Text> responseHeaders = {},
                    InternetFunctions& internet = PlatformInternetFunctions());

}  // namespace zentravo
