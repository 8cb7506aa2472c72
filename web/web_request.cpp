#include "web/web_request.h"

#include <algorithm>
#include <string>

#include "web/cookies.h"
#include "web/response_headers.h"
#include "web/url.h"

namespace zentravo {
namespace {

constexpr bool kIgnoreCase = true;  // FindText's flag

const Text kUserAgentMarker = "User-Agent:";
const Text kLineEnd = "\r\n";

// The value of the first User-Agent line of `extraHeaders` (name in any letter
// case); DefaultUserAgent when there is no such line or its value is empty.
Text AgentText(const Text& extraHeaders) {
  const int at = FindText(extraHeaders, kUserAgentMarker, std::nullopt, kIgnoreCase);
  if (at == -1) return Text(DefaultUserAgent);
  Text agent = TrimBothEnds(TextBetween(extraHeaders, kUserAgentMarker, kLineEnd));
  const int valueAt = at + TextLength(kUserAgentMarker);
  if (agent.empty() && FindText(extraHeaders, kLineEnd, valueAt) == -1) {
    // The last line has no CR LF after it: its value runs to the end of the text.
    agent = TrimBothEnds(TextRight(extraHeaders, TextLength(extraHeaders) - valueAt + 1));
  }
  return agent.empty() ? Text(DefaultUserAgent) : agent;
}

// The request header block: the caller's lines, then each default the caller did
// not give (searched with letter case), then the cookie line. Lines are joined by
// CR LF; nothing follows the last one.
Text HeaderBlock(const Text& extraHeaders, const Text& url, const Text& cookies) {
  Text block = extraHeaders;
  if (FindText(block, "Referer:") == -1) {
    block = block.empty() ? ConcatText("Referer: ", url) : ConcatText(block, kLineEnd, "Referer: ", url);
  }
  if (FindText(block, "Accept:") == -1) block = ConcatText(block, kLineEnd, "Accept: */*");
  if (FindText(block, "Accept-Language:") == -1) {
    block = ConcatText(block, kLineEnd, "Accept-Language: zh-cn");
  }
  if (FindText(block, "Content-Type:") == -1) {
    block = ConcatText(block, kLineEnd, "Content-Type: application/x-www-form-urlencoded");
  }
  if (!cookies.empty()) block = ConcatText(block, kLineEnd, "Cookie: ", cookies);
  return block;
}

std::uint32_t RequestFlags(const Text& url, bool noRedirect) {
  using namespace wininet;
  std::uint32_t flags = kFlagReload | kFlagNeedFile | kFlagNoCookies;
  if (noRedirect) flags |= kFlagNoAutoRedirect;
  flags |= UrlIsHttps(url) ? kFlagSecure : kFlagIgnoreRedirectToHttps;
  return flags;
}

// Reads the whole body into one growing string, so a long body costs amortised
// linear time. A read that fails or delivers nothing ends the body.
Bytes ReadBody(InternetFunctions& internet, InternetHandle request) {
  std::string body;
  char chunk[kWebRequestChunkSize];
  for (;;) {
    std::uint32_t count = 0;
    if (!internet.ReadFile(request, chunk, kWebRequestChunkSize, &count) || count == 0) break;
    body.append(chunk, std::min(count, kWebRequestChunkSize));
  }
  return Bytes(std::move(body));
}

// The raw response header text. When it does not fit the first buffer the platform
// says how much it needs, and the query is made again with that size. A query that
// fails otherwise gives the empty text: there are no headers to report.
Text QueryRawHeaders(InternetFunctions& internet, InternetHandle request) {
  std::string buffer(kResponseHeadersBufferSize, '\0');
  // One retry is all a consistent platform needs; the bound only guards a broken one.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t lastError = 0;
    if (internet.QueryInfo(request, wininet::kQueryRawHeadersCrlf, buffer.data(), &length,
                           nullptr, &lastError)) {
      return Text(std::string_view(buffer));  // the text up to the first NUL
    }
    if (lastError != wininet::kErrorInsufficientBuffer || length <= buffer.size()) break;
    buffer.assign(length, '\0');
  }
  return Text();
}

}  // namespace

Bytes WebRequest(const Text& url, std::optional<int> method, const std::optional<Text>& postText,
                 OptionalRef<Text> cookies, OptionalRef<Text> returnedCookies,
                 OptionalRef<Text> extraHeaders, OptionalRef<Text> redirectLocation,
                 std::optional<bool> noRedirect, OptionalRef<Bytes> postBytes,
                 const std::optional<Text>& proxy, OptionalRef<Text> responseHeaders,
                 InternetFunctions& internet) {
  const int methodValue = method.value_or(0);
  const Text verb = methodValue == 1 ? "POST" : "GET";
  const Text incomingHeaders = extraHeaders.value();
  const Text agent = AgentText(incomingHeaders);

  ScopedInternetHandle session(
      internet, proxy ? internet.Open(agent.c_str(), wininet::kOpenTypeProxy,
                                      ConcatText("http=", *proxy).c_str(), "", 0)
                      : internet.Open(agent.c_str(), wininet::kOpenTypeDirect, nullptr, nullptr, 0));
  if (!session) return Bytes();

  const int port = UrlGetPort(url);
  // A port the platform cannot carry would be cut to another, unrelated one.
  if (port < 0 || port > 0xFFFF) return Bytes();
  ScopedInternetHandle connection(
      internet, internet.Connect(session.get(), UrlGetHost(url).c_str(),
                                 static_cast<std::uint16_t>(port), nullptr, nullptr,
                                 wininet::kServiceHttp, 0, 0));
  if (!connection) return Bytes();

  ScopedInternetHandle request(
      internet, internet.OpenRequest(connection.get(), verb.c_str(), UrlGetPath(url).c_str(),
                                     "HTTP/1.1", nullptr, nullptr,
                                     RequestFlags(url, noRedirect.value_or(false)), 0));
  if (!request) return Bytes();

  const Text block = HeaderBlock(incomingHeaders, url, cookies.value());
  extraHeaders.Set(block);
  const auto blockLength = static_cast<std::uint32_t>(TextLength(block));
  if (methodValue == 0) {
    internet.SendRequest(request.get(), block.c_str(), blockLength, "", 0);
  } else {
    Bytes body = postBytes.value();
    if (CompareBytes(body, Bytes())) {
      body = TextToBytes(postText.value_or(Text()));
      postBytes.Set(body);
    }
    internet.SendRequest(request.get(), block.c_str(), blockLength,
                         body.empty() ? nullptr : body.data(),
                         static_cast<std::uint32_t>(BytesLength(body)));
  }

  Bytes responseBody = ReadBody(internet, request.get());
  const Text headers = QueryRawHeaders(internet, request.get());
  request.Close();
  connection.Close();
  session.Close();

  ResponseHeaderScan scan = ScanResponseHeaders(headers, redirectLocation.value());
  Text newCookies = std::move(scan.returnedCookies);

  Text merged = cookies.value();
  MergeCookies(merged, newCookies);

  cookies.Set(merged);
  returnedCookies.Set(newCookies);
  redirectLocation.Set(scan.redirectLocation);
  responseHeaders.Set(headers);
  return responseBody;
}

}  // namespace zentravo
