#pragma once

// One HTTP or HTTPS request through the Windows Internet functions, with the work
// every caller would otherwise repeat: the agent text, a default set of request
// headers, the caller's cookie string sent and the response's cookies merged back,
// the raw response headers and the target of a redirection handed back.

#include <cstdint>
#include <optional>
#include <utility>

#include "text/text.h"
#include "web/internet_functions.h"

namespace zentravo {

// The agent text used when the extra headers name none.
inline constexpr char DefaultUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Kp7r; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
static_assert(sizeof(DefaultUserAgent) == 121, "120 bytes of agent text");

// The body is read in chunks of at most this many bytes.
inline constexpr std::uint32_t kWebRequestChunkSize = 1024;
// The first buffer offered for the response headers, terminating NUL included;
// longer header texts are fetched again with the size the platform asks for.
inline constexpr std::uint32_t kResponseHeadersBufferSize = 5000;

// An optional argument that the routine may write to: not supplied by default,
// supplied when made from a variable, which then receives what the routine writes.
template <typename T>
class OptionalRef {
 public:
  OptionalRef() = default;
  OptionalRef(std::nullopt_t) {}       // NOLINT(google-explicit-constructor)
  OptionalRef(T& variable) : variable_(&variable) {}  // NOLINT(google-explicit-constructor)

  bool supplied() const { return variable_ != nullptr; }
  // The caller's value, or the empty value when not supplied.
  T value() const { return variable_ != nullptr ? *variable_ : T(); }
  // Replaces the caller's value; does nothing when not supplied.
  void Set(T newValue) const {
    if (variable_ != nullptr) *variable_ = std::move(newValue);
  }

 private:
  T* variable_ = nullptr;
};

// Performs one request to `url` and returns the response body, all bytes in order.
// Every optional argument that is not supplied counts as 0, false or empty; only
// `proxy` is judged by being supplied at all.
//
//   url               the address, with or without "http://" or "https://", optional
//                     ":port", path and query; also sent as the default Referer.
//   method            1 sends "POST", anything else "GET"; any value but 0 sends a body.
//   postText          the body as text, used when `postBytes` is empty.
//   cookies           in/out: sent in a Cookie line when not empty; replaced by the
//                     merged cookie string (MergeCookies) afterwards.
//   returnedCookies   out: the cookies this response set, "a=1;b=2", no spaces.
//   extraHeaders      in/out: more request header lines, separated by CR LF;
//                     replaced by the whole header block that was sent.
//   redirectLocation  in/out: replaced by the value of the last response header line
//                     that contains "Location:"; when that leaves it empty, by the
//                     whole response header text. Not cleared on entry.
//   noRedirect        true: the platform does not follow redirections.
//   postBytes         in/out: the body as bytes; when a body is sent and it is
//                     empty, it is replaced by the bytes of `postText` first.
//   proxy             supplied (even empty): proxy list "http=" + proxy; not
//                     supplied: direct access.
//   responseHeaders   out: the raw response header text, lines separated by CR LF,
//                     whatever its length; empty when the platform has none.
//   internet          the functions to call; tests pass a recording fake.
//
// The agent text is the value of a User-Agent line of `extraHeaders` (letter case
// ignored), or DefaultUserAgent when there is none or its value is empty.
//
// The in/out and out arguments change only when the Internet handle, the
// connection and the request could all be opened; otherwise the result is empty
// and nothing else changes. A failed send or read is not detected as such: the
// body is what the reads delivered.
Bytes WebRequest(const Text& url,
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
