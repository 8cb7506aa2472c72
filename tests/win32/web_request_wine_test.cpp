// WebRequest over the real wininet.dll against the loopback test server
// (tests/support/web_test_server.py), started by run-with-web-test-server.sh,
// which also trusts the server's certificate authority in the Wine prefix.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "web/internet_functions.h"
#include "web/web_request.h"

namespace zentravo {
namespace {

constexpr DWORD kErrorInvalidCa = 12045;         // ERROR_INTERNET_INVALID_CA
constexpr DWORD kErrorSecCertRevFailed = 12057;  // ERROR_INTERNET_SEC_CERT_REV_FAILED

int PortFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? 0 : std::atoi(value);
}

std::string PatternBody(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i % 251);
  return body;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class WebRequestOverWinInet : public ::testing::Test {
 protected:
  void SetUp() override {
    if (http_ == 0 || https_ == 0 || untrustedHttps_ == 0 || closed_ == 0) {
      GTEST_FAIL() << "the ZENTRAVO_TEST_*_PORT variables are not set: run this program "
                      "through tests/support/run-with-web-test-server.sh";
    }
  }

  std::string Http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(http_) + path;
  }
  std::string Https(const std::string& path) const {
    return "https://localhost:" + std::to_string(https_) + path;
  }

  const int http_ = PortFromEnvironment("ZENTRAVO_TEST_HTTP_PORT");
  const int https_ = PortFromEnvironment("ZENTRAVO_TEST_HTTPS_PORT");
  const int untrustedHttps_ = PortFromEnvironment("ZENTRAVO_TEST_UNTRUSTED_HTTPS_PORT");
  const int closed_ = PortFromEnvironment("ZENTRAVO_TEST_CLOSED_PORT");
};

TEST_F(WebRequestOverWinInet, GetSendsTheDefaultHeaderBlockAndAgent) {
  const std::string url = Http("/echo?x=1");
  Text extraHeaders;
  Text responseHeaders;
  const Bytes body = WebRequest(url, 0, {}, {}, {}, extraHeaders, {}, {}, {}, {}, responseHeaders);
  const std::string echo = body.str();
  EXPECT_TRUE(Contains(echo, "GET /echo?x=1 HTTP/1.1\r\n")) << echo;
  EXPECT_TRUE(Contains(echo, std::string("User-Agent: ") + DefaultUserAgent + "\r\n")) << echo;
  EXPECT_TRUE(Contains(echo, "Referer: " + url + "\r\n")) << echo;
  EXPECT_TRUE(Contains(echo, "Accept: */*\r\n")) << echo;
  EXPECT_TRUE(Contains(echo, "Accept-Language: zh-cn\r\n")) << echo;
  EXPECT_TRUE(Contains(echo, "Content-Type: application/x-www-form-urlencoded\r\n")) << echo;
  EXPECT_FALSE(Contains(echo, "Cookie:")) << echo;
  EXPECT_EQ(extraHeaders.str().rfind("Referer: " + url, 0), 0u) << extraHeaders.str();
  EXPECT_EQ(responseHeaders.str().rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << responseHeaders.str();
}

TEST_F(WebRequestOverWinInet, PostSendsTextOrBytes) {
  struct Row {
    std::string postText;
    std::string postBytes;
    std::string sent;
  } rows[] = {
      {"k=v&n=1", "", "k=v&n=1"},
      {"ignored", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sent);
    Bytes postBytes(row.postBytes);
    const Bytes body =
        WebRequest(Http("/echo"), 1, Text(row.postText), {}, {}, {}, {}, {}, postBytes, {}, {});
    const std::string echo = body.str();
    EXPECT_TRUE(Contains(echo, "POST /echo HTTP/1.1\r\n")) << echo;
    EXPECT_TRUE(Contains(echo, "Content-Length: " + std::to_string(row.sent.size()) + "\r\n"))
        << echo;
    ASSERT_GE(echo.size(), row.sent.size() + 4);
    EXPECT_EQ(echo.substr(echo.size() - row.sent.size() - 4), "\r\n\r\n" + row.sent);
    EXPECT_EQ(postBytes.str(), row.sent);
  }
}

TEST_F(WebRequestOverWinInet, LongBodiesArriveWholeAndInOrder) {
  for (std::size_t size : {5000u, 1024u, 1u, 1048576u + 17u}) {
    for (const std::string& url : {Http("/bytes/" + std::to_string(size)),
                                   Https("/bytes/" + std::to_string(size))}) {
      SCOPED_TRACE(url);
      const Bytes body = WebRequest(url);
      ASSERT_EQ(body.str().size(), size);
      EXPECT_TRUE(body.str() == PatternBody(size));
    }
  }
}

TEST_F(WebRequestOverWinInet, EmptyBodyGivesEmptyBytes) {
  Text responseHeaders;
  EXPECT_EQ(WebRequest(Http("/empty"), {}, {}, {}, {}, {}, {}, {}, {}, {}, responseHeaders).str(),
            "");
  EXPECT_TRUE(Contains(responseHeaders.str(), "Content-Length: 0\r\n")) << responseHeaders.str();
}

TEST_F(WebRequestOverWinInet, SetCookieLinesMergeIntoTheCookiesSentNext) {
  Text cookies = "sid=1; t=2; b=old";
  Text returned;
  WebRequest(Http("/cookies"), {}, {}, cookies, returned, {}, {}, {}, {}, {}, {});
  EXPECT_EQ(returned.str(), "a=1;b=2;t=deleted;plain=3");
  EXPECT_EQ(cookies.str(), "a=1; b=2; plain=3; sid=1");

  const Bytes echo = WebRequest(Http("/echo"), {}, {}, cookies, {}, {}, {}, {}, {}, {}, {});
  EXPECT_TRUE(Contains(echo.str(), "Cookie: a=1; b=2; plain=3; sid=1\r\n")) << echo.str();
}

TEST_F(WebRequestOverWinInet, RedirectionIsReportedOrFollowed) {
  Text location;
  Text headers;
  Bytes body = WebRequest(Http("/redirect"), {}, {}, {}, {}, {}, location, true, {}, {}, headers);
  EXPECT_EQ(body.str(), "moved");
  EXPECT_EQ(location.str(), "/echo?from=redirect");
  EXPECT_EQ(headers.str().rfind("HTTP/1.1 302", 0), 0u) << headers.str();

  // Followed by the platform: the final answer has no Location line, so the
  // location falls back to the whole header text.
  location = Text();
  body = WebRequest(Http("/redirect"), {}, {}, {}, {}, {}, location, false, {}, {}, headers);
  EXPECT_TRUE(Contains(body.str(), "GET /echo?from=redirect HTTP/1.1\r\n")) << body.str();
  EXPECT_EQ(location, headers);
}

TEST_F(WebRequestOverWinInet, HttpsWithTheTrustedAuthorityAlsoInProxyMode) {
  // Proxy mode with the list "http=" reaches an https address directly: the way the
  // program posts its lookups.
  for (bool proxyMode : {false, true}) {
    SCOPED_TRACE(proxyMode ? "proxy \"http=\"" : "direct");
    const std::optional<Text> proxy = proxyMode ? std::optional<Text>(Text()) : std::nullopt;
    Bytes postBytes;
    Text headers;
    const Bytes body = WebRequest(Https("/echo?url=https://wx1.example/a.jpg"), 1, Text(), {}, {},
                                  {}, {}, {}, postBytes, proxy, headers);
    EXPECT_TRUE(Contains(body.str(), "POST /echo?url=https://wx1.example/a.jpg HTTP/1.1\r\n"))
        << body.str();
    EXPECT_TRUE(Contains(body.str(), "Content-Length: 0\r\n")) << body.str();
    EXPECT_EQ(headers.str().rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers.str();
  }
}

TEST_F(WebRequestOverWinInet, UntrustedAuthorityFailsTheSend) {
  // Against the raw functions, to see the error: the certificate is refused unless
  // its authority is trusted in the prefix.
  InternetFunctions& internet = PlatformInternetFunctions();
  for (const bool trusted : {true, false}) {
    SCOPED_TRACE(trusted ? "trusted authority" : "untrusted authority");
    ScopedInternetHandle session(
        internet, internet.Open(DefaultUserAgent, wininet::kOpenTypeDirect, nullptr, nullptr, 0));
    ASSERT_TRUE(session);
    ScopedInternetHandle connection(
        internet, internet.Connect(session.get(), "localhost",
                                   static_cast<std::uint16_t>(trusted ? https_ : untrustedHttps_),
                                   nullptr, nullptr, wininet::kServiceHttp, 0, 0));
    ASSERT_TRUE(connection);
    ScopedInternetHandle request(
        internet, internet.OpenRequest(connection.get(), "GET", "/empty", "HTTP/1.1", nullptr,
                                       nullptr,
                                       wininet::kFlagReload | wininet::kFlagNoCookies |
                                           wininet::kFlagSecure,
                                       0));
    ASSERT_TRUE(request);
    const bool sent = internet.SendRequest(request.get(), "", 0, "", 0);
    const DWORD error = sent ? 0 : GetLastError();
    if (trusted) {
      EXPECT_TRUE(sent) << "error " << error;
    } else {
      EXPECT_FALSE(sent);
      EXPECT_TRUE(error == kErrorInvalidCa || error == kErrorSecCertRevFailed) << "error " << error;
      std::printf("untrusted authority: send failed with error %lu\n", error);
    }
  }
  EXPECT_EQ(WebRequest("https://localhost:" + std::to_string(untrustedHttps_) + "/bytes/10").str(),
            "");
}

TEST_F(WebRequestOverWinInet, HeaderTextLongerThanTheFirstBufferArrivesWhole) {
  Text headers;
  Text returned;
  Text location;
  const Bytes body =
      WebRequest(Http("/big-headers"), {}, {}, {}, returned, {}, location, {}, {}, {}, headers);
  EXPECT_EQ(body.str(), "big");
  EXPECT_GT(headers.str().size(), 8000u);
  EXPECT_EQ(headers.str().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_EQ(headers.str().substr(headers.str().size() - 4), "\r\n\r\n");
  EXPECT_TRUE(Contains(headers.str(), "X-Filler-39: "));
  EXPECT_EQ(returned.str(), "late=1");
  EXPECT_EQ(location.str(), "/late");
}

TEST_F(WebRequestOverWinInet, UnreachablePortGivesEmptyBody) {
  Text headers = "before";
  Text location;
  Text cookies = "a=1";
  const Bytes body = WebRequest("http://127.0.0.1:" + std::to_string(closed_) + "/echo", {}, {},
                                cookies, {}, {}, location, {}, {}, {}, headers);
  EXPECT_EQ(body.str(), "");
  // The handles open without a connection; the send fails and no response arrives,
  // so there is no status line, no Location and no cookie.
  EXPECT_EQ(headers.str().find("HTTP/"), std::string::npos) << headers.str();
  EXPECT_EQ(location, headers);
  EXPECT_EQ(cookies.str(), "a=1");
}

}  // namespace
}  // namespace zentravo
