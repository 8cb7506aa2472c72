#include "web/web_request.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/recording_internet_functions.h"

namespace zentravo {
namespace {

using Calls = std::vector<std::string>;

const std::string kDefaultAgent = QuotedForRecord(DefaultUserAgent);

const std::string kRead = "InternetReadFile(request, 1024)";
const std::string kQuery = "HttpQueryInfoA(request, 22, 5000, null)";
const Calls kCloseAll = {"InternetCloseHandle(request)", "InternetCloseHandle(connection)",
                         "InternetCloseHandle(internet)"};

// A body in which every byte depends on its position with a period prime to the
// chunk size, so a lost, doubled or reordered chunk shows.
std::string PatternBody(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i % 251);
  return body;
}

// Every in/out and out argument, supplied, with values a request must not touch
// when it fails.
struct Arguments {
  Text cookies = "sid=1; t=2";
  Text returnedCookies = "returned-before";
  Text extraHeaders = "X-A: 1";
  Text redirectLocation = "redirect-before";
  Bytes postBytes;
  Text responseHeaders = "headers-before";
};

class WebRequestTest : public ::testing::Test {
 protected:
  Bytes Request(const Text& url, std::optional<int> method, const std::optional<Text>& postText,
                std::optional<bool> noRedirect, const std::optional<Text>& proxy) {
    return WebRequest(url, method, postText, args.cookies, args.returnedCookies, args.extraHeaders,
                      args.redirectLocation, noRedirect, args.postBytes, proxy,
                      args.responseHeaders, internet);
  }

  RecordingInternetFunctions internet;
  Arguments args;
};

TEST_F(WebRequestTest, PlainGetWithNothingSuppliedMakesEveryCallInOrder) {
  internet.QueueBody("hello", 1024);
  internet.rawHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  const Bytes body =
      WebRequest("http://example.com/a?b=c", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, internet);
  EXPECT_EQ(body.str(), "hello");
  EXPECT_EQ(internet.CallStrings(),
            JoinRecords({"InternetOpenA(" + kDefaultAgent + ", 1, null, null, 0)",
                  "InternetConnectA(internet, \"example.com\", 80, null, null, 3, 0, 0)",
                  "HttpOpenRequestA(connection, \"GET\", \"/a?b=c\", \"HTTP/1.1\", null, null, "
                  "0x80084010, 0)",
                  SendRequestRecord(DefaultHeaderBlock("http://example.com/a?b=c"), "\"\"", 0), kRead, kRead,
                  kQuery},
                 kCloseAll));
}

TEST_F(WebRequestTest, PostWithEveryArgumentSuppliedUsesAndFillsThemAll) {
  args.extraHeaders = "User-Agent: Tester/2\r\nX-A: 1";
  args.redirectLocation = "";
  args.postBytes = Bytes(std::string("k=\0v", 4));
  const std::string url = "HTTPS://Shop.Example:8443/Cart Items?x=1";
  internet.QueueBody("moved", 1024);
  internet.rawHeaders =
      "HTTP/1.1 302 Found\r\nLocation: /next\r\nSet-Cookie: t=deleted; path=/\r\n"
      "Set-Cookie: n = 5; HttpOnly\r\n\r\n";

  const Bytes body = Request(url, 1, Text("ignored"), true, Text("proxy:81"));

  const std::string block = "User-Agent: Tester/2\r\nX-A: 1\r\nReferer: " + url +
                            "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
                            "application/x-www-form-urlencoded\r\nCookie: sid=1; t=2";
  EXPECT_EQ(internet.CallStrings(),
            JoinRecords({"InternetOpenA(\"Tester/2\", 3, \"http=proxy:81\", \"\", 0)",
                  "InternetConnectA(internet, \"shop.example\", 8443, null, null, 3, 0, 0)",
                  "HttpOpenRequestA(connection, \"POST\", \"/Cart Items?x=1\", \"HTTP/1.1\", "
                  "null, null, 0x80A80010, 0)",
                  SendRequestRecord(block, "\"k=\\x00v\"", 4), kRead, kRead, kQuery},
                 kCloseAll));
  EXPECT_EQ(body.str(), "moved");
  EXPECT_EQ(args.cookies.str(), "n=5; sid=1");
  EXPECT_EQ(args.returnedCookies.str(), "t=deleted;n=5");
  EXPECT_EQ(args.extraHeaders.str(), block);
  EXPECT_EQ(args.redirectLocation.str(), "/next");
  EXPECT_EQ(args.postBytes.str(), std::string("k=\0v", 4));
  EXPECT_EQ(args.responseHeaders, Text(internet.rawHeaders));
}

TEST_F(WebRequestTest, HeaderBlockAddsOnlyMissingDefaultsAndTheCookieLine) {
  const std::string url = "http://h/";
  const std::string tail = "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
                           "application/x-www-form-urlencoded";
  struct Row {
    std::string extra;
    std::string cookies;
    std::string block;
  } rows[] = {
      {"", "", DefaultHeaderBlock(url)},
      {"", "a=1", DefaultHeaderBlock(url) + "\r\nCookie: a=1"},
      // The searches keep letter case: a lower-case accept line does not count.
      {"accept: text/html", "", "accept: text/html\r\nReferer: " + url + tail},
      // "Accept-Language:" does not contain "Accept:".
      {"Accept-Language: en", "",
       "Accept-Language: en\r\nReferer: " + url +
           "\r\nAccept: */*\r\nContent-Type: application/x-www-form-urlencoded"},
      {"Referer: r\r\nAccept: a/b\r\nAccept-Language: x\r\nContent-Type: c/d", "",
       "Referer: r\r\nAccept: a/b\r\nAccept-Language: x\r\nContent-Type: c/d"},
      // A cookie line of the caller does not stop the one built from the cookies.
      {"Cookie: z=9", "a=1", "Cookie: z=9\r\nReferer: " + url + tail + "\r\nCookie: a=1"},
      {"user-agent: MyAgent", "", "user-agent: MyAgent\r\nReferer: " + url + tail},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("extra '" + EscapeForRecord(row.extra) + "' cookies '" + row.cookies + "'");
    RecordingInternetFunctions fake;
    Text extra = row.extra;
    Text cookies = row.cookies;
    WebRequest(url, 0, {}, cookies, {}, extra, {}, {}, {}, {}, {}, fake);
    const auto sends = fake.CallsTo("HttpSendRequestA");
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].arguments[1], QuotedForRecord(row.block));
    EXPECT_EQ(sends[0].arguments[2], std::to_string(row.block.size()));
    EXPECT_EQ(extra.str(), row.block);
  }
}

TEST_F(WebRequestTest, AgentComesFromTheUserAgentLine) {
  struct Row {
    std::string extra;
    std::string agent;
  } rows[] = {
      {"", DefaultUserAgent},
      {"X-A: 1", DefaultUserAgent},
      {"user-agent: MyAgent", "MyAgent"},
      {"User-Agent: MyAgent\r\nX-A: 1", "MyAgent"},
      // The last of several lines gives its own value, not the text of the others.
      {"X-A: 1\r\nUser-Agent: Last", "Last"},
      {"X-A: 1\r\nUSER-AGENT:  Last  \r\nX-B: 2", "Last"},
      {"USER-AGENT:A:B", "A:B"},
      // An empty value gives the default, wherever the line stands.
      {"User-Agent:\r\nX-A: 1", DefaultUserAgent},
      {"User-Agent:   ", DefaultUserAgent},
      {"X-A: 1\r\nUser-Agent: ", DefaultUserAgent},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(EscapeForRecord(row.extra));
    RecordingInternetFunctions fake;
    Text extra = row.extra;
    WebRequest("http://h/", {}, {}, {}, {}, extra, {}, {}, {}, {}, {}, fake);
    ASSERT_FALSE(fake.calls().empty());
    EXPECT_EQ(fake.calls()[0].arguments[0], QuotedForRecord(row.agent));
  }
}

TEST_F(WebRequestTest, ProxySuppliedEvenEmptySelectsProxyMode) {
  struct Row {
    std::optional<Text> proxy;
    std::string open;
  } rows[] = {
      {std::nullopt, "InternetOpenA(" + kDefaultAgent + ", 1, null, null, 0)"},
      {Text(""), "InternetOpenA(" + kDefaultAgent + ", 3, \"http=\", \"\", 0)"},
      {Text("proxy:81"), "InternetOpenA(" + kDefaultAgent + ", 3, \"http=proxy:81\", \"\", 0)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.open);
    RecordingInternetFunctions fake;
    WebRequest("http://h/", {}, {}, {}, {}, {}, {}, {}, {}, row.proxy, {}, fake);
    ASSERT_FALSE(fake.calls().empty());
    EXPECT_EQ(fake.calls()[0].ToString(), row.open);
  }
}

TEST_F(WebRequestTest, AddressGivesHostPortPathFlagsAndReferer) {
  struct Row {
    std::string url;
    bool noRedirect;
    std::string connect;
    std::string openRequest;
  } rows[] = {
      {"HTTPS://Host/A", false, "InternetConnectA(internet, \"host\", 443, null, null, 3, 0, 0)",
       "HttpOpenRequestA(connection, \"GET\", \"/A\", \"HTTP/1.1\", null, null, 0x80880010, 0)"},
      {"host/x", false, "InternetConnectA(internet, \"host\", 80, null, null, 3, 0, 0)",
       "HttpOpenRequestA(connection, \"GET\", \"/x\", \"HTTP/1.1\", null, null, 0x80084010, 0)"},
      {"http://h:8080/p q", true, "InternetConnectA(internet, \"h\", 8080, null, null, 3, 0, 0)",
       "HttpOpenRequestA(connection, \"GET\", \"/p q\", \"HTTP/1.1\", null, null, 0x80284010, 0)"},
      {"https://h", true, "InternetConnectA(internet, \"h\", 443, null, null, 3, 0, 0)",
       "HttpOpenRequestA(connection, \"GET\", \"/\", \"HTTP/1.1\", null, null, 0x80A80010, 0)"},
      {"HttpS:x", false, "InternetConnectA(internet, \"https\", 0, null, null, 3, 0, 0)",
       "HttpOpenRequestA(connection, \"GET\", \"/\", \"HTTP/1.1\", null, null, 0x80880010, 0)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url + (row.noRedirect ? " no-redirect" : ""));
    RecordingInternetFunctions fake;
    WebRequest(row.url, {}, {}, {}, {}, {}, {}, row.noRedirect, {}, {}, {}, fake);
    const Calls calls = fake.CallStrings();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1], row.connect);
    EXPECT_EQ(calls[2], row.openRequest);
    EXPECT_EQ(calls[3], SendRequestRecord(DefaultHeaderBlock(row.url), "\"\"", 0));
  }
}

TEST_F(WebRequestTest, MethodChoosesVerbAndBodyForm) {
  struct Row {
    std::optional<int> method;
    std::optional<Text> postText;
    std::string postBytes;
    std::string verb;
    std::string optional;  // as recorded
    std::size_t optionalLength;
    std::string postBytesAfter;
  } rows[] = {
      {std::nullopt, Text("k=v"), "", "\"GET\"", "\"\"", 0, ""},
      {0, Text("k=v"), "", "\"GET\"", "\"\"", 0, ""},
      {0, std::nullopt, "raw", "\"GET\"", "\"\"", 0, "raw"},
      {1, Text(""), "", "\"POST\"", "null", 0, ""},
      {1, std::nullopt, "", "\"POST\"", "null", 0, ""},
      {1, Text("k=v"), "", "\"POST\"", "\"k=v\"", 3, "k=v"},
      {1, Text("k=v"), std::string("b\0y", 3), "\"POST\"", "\"b\\x00y\"", 3,
       std::string("b\0y", 3)},
      {2, Text("k=v"), "", "\"GET\"", "\"k=v\"", 3, "k=v"},
      {-1, Text("k=v"), "", "\"GET\"", "\"k=v\"", 3, "k=v"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("method " + (row.method ? std::to_string(*row.method) : std::string("none")) +
                 " bytes '" + EscapeForRecord(row.postBytes) + "'");
    RecordingInternetFunctions fake;
    Bytes postBytes(row.postBytes);
    WebRequest("http://h/", row.method, row.postText, {}, {}, {}, {}, {}, postBytes, {}, {}, fake);
    const auto opens = fake.CallsTo("HttpOpenRequestA");
    const auto sends = fake.CallsTo("HttpSendRequestA");
    ASSERT_EQ(opens.size(), 1u);
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(opens[0].arguments[1], row.verb);
    EXPECT_EQ(sends[0].arguments[3], row.optional);
    EXPECT_EQ(sends[0].arguments[4], std::to_string(row.optionalLength));
    EXPECT_EQ(postBytes.str(), row.postBytesAfter);
  }
}

TEST_F(WebRequestTest, BodyArrivesWholeAndInOrderInReadsOfAtMost1024) {
  struct Row {
    const char* name;
    std::vector<RecordingInternetFunctions::Read> reads;
    std::string body;
    std::size_t readCalls;
  } rows[] = {
      // Offered in one piece, so only the size the routine asks for limits each read.
      {"several chunks", {{true, PatternBody(2500)}}, PatternBody(2500), 4},
      {"exactly one chunk", {{true, PatternBody(1024)}}, PatternBody(1024), 2},
      {"short reads", {{true, "ab"}, {true, "c"}, {true, "de"}}, "abcde", 4},
      {"empty body", {}, "", 1},
      // A failed read ends the body even though more would follow.
      {"failing read", {{true, "abc"}, {false, ""}, {true, "never"}}, "abc", 2},
      {"failing first read", {{false, ""}, {true, "never"}}, "", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingInternetFunctions fake;
    fake.reads.assign(row.reads.begin(), row.reads.end());
    const Bytes body = WebRequest("http://h/", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, fake);
    EXPECT_EQ(body.str(), row.body);
    EXPECT_EQ(fake.CallsTo("InternetReadFile").size(), row.readCalls);
    for (const auto& read : fake.CallsTo("InternetReadFile")) {
      EXPECT_EQ(read.arguments[1], "1024");
    }
  }
}

TEST_F(WebRequestTest, HeaderScanFindsLocationAndCookies) {
  const std::string status = "HTTP/1.1 200 OK\r\n";
  struct Row {
    const char* name;
    std::string headers;
    std::string cookiesIn;
    std::string redirectIn;
    std::string returned;
    std::string cookiesOut;
    std::string redirectOut;  // "=headers": the whole header text
  } rows[] = {
      {"nothing to find", status + "\r\n", "a = 1;b=2", "", "", "a=1; b=2", "=headers"},
      {"incoming redirect kept", status + "\r\n", "", "keep", "", "", "keep"},
      {"last location wins, anywhere in a line",
       status + "Location: /one\r\nContent-Location:  /two \r\n\r\n", "", "keep", "", "", "/two"},
      {"empty location falls back", status + "Location: \r\n\r\n", "", "keep", "", "",
       "=headers"},
      {"two cookies", status + "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n\r\n", "",
       "", "a=1;b=2", "a=1; b=2", "=headers"},
      {"cookie without attributes", status + "Set-Cookie: c=3\r\n\r\n", "x=0", "", "c=3",
       "c=3; x=0", "=headers"},
      {"no Set-Cookie: in the line",
       status + "X-Set-Cookie-Note: none\r\nSet-Cookie: d=4; x\r\n\r\n", "", "", "d=4", "d=4",
       "=headers"},
      {"empty piece", status + "Set-Cookie: ; path=/\r\nSet-Cookie:\r\n\r\n", "", "", "", "",
       "=headers"},
      {"name of the line matched with case", status + "set-cookie: e=5; path=/\r\n\r\n", "", "",
       "", "", "=headers"},
      {"deletion", status + "Set-Cookie: t=deleted; path=/\r\n\r\n", "sid=1; t=2", "",
       "t=deleted", "sid=1", "=headers"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingInternetFunctions fake;
    fake.rawHeaders = row.headers;
    Text cookies = row.cookiesIn;
    Text returned = "before";
    Text redirect = row.redirectIn;
    Text headers;
    WebRequest("http://h/", {}, {}, cookies, returned, {}, redirect, {}, {}, {}, headers, fake);
    EXPECT_EQ(headers.str(), row.headers);
    EXPECT_EQ(returned.str(), row.returned);
    EXPECT_EQ(cookies.str(), row.cookiesOut);
    EXPECT_EQ(redirect.str(), row.redirectOut == "=headers" ? row.headers : row.redirectOut);
  }
}

TEST_F(WebRequestTest, LongResponseHeadersAreFetchedAgainWithTheSizeAsked) {
  internet.rawHeaders = "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(7000, 'x') +
                        "\r\nSet-Cookie: late=1; path=/\r\nLocation: /late\r\n\r\n";
  Request("http://h/", {}, {}, {}, {});
  const auto queries = internet.CallsTo("HttpQueryInfoA");
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[0].ToString(), kQuery);
  EXPECT_EQ(queries[1].ToString(),
            "HttpQueryInfoA(request, 22, " + std::to_string(internet.rawHeaders.size() + 1) +
                ", null)");
  EXPECT_EQ(args.responseHeaders.str(), internet.rawHeaders);
  EXPECT_EQ(args.returnedCookies.str(), "late=1");
  EXPECT_EQ(args.redirectLocation.str(), "/late");
}

TEST_F(WebRequestTest, FailedHeaderQueryGivesEmptyHeaders) {
  internet.queryFails = true;
  args.redirectLocation = "";
  Request("http://h/", {}, {}, {}, {});
  EXPECT_EQ(internet.CallsTo("HttpQueryInfoA").size(), 1u);
  EXPECT_EQ(args.responseHeaders.str(), "");
  EXPECT_EQ(args.redirectLocation.str(), "");
  EXPECT_EQ(args.returnedCookies.str(), "");
  EXPECT_EQ(args.cookies.str(), "sid=1; t=2");
}

TEST_F(WebRequestTest, FailureToOpenClosesWhatWasOpenedAndChangesNoArgument) {
  const std::string open = "InternetOpenA(" + kDefaultAgent + ", 3, \"http=p\", \"\", 0)";
  const std::string connect = "InternetConnectA(internet, \"h\", 80, null, null, 3, 0, 0)";
  const std::string openRequest =
      "HttpOpenRequestA(connection, \"POST\", \"/x\", \"HTTP/1.1\", null, null, 0x80084010, 0)";
  struct Row {
    const char* name;
    const char* url;
    bool openFails, connectFails, openRequestFails;
    Calls calls;
  } rows[] = {
      {"no Internet handle", "http://h/x", true, false, false, {open}},
      {"no connection",
       "http://h/x",
       false,
       true,
       false,
       {open, connect, "InternetCloseHandle(internet)"}},
      {"no request",
       "http://h/x",
       false,
       false,
       true,
       {open, connect, openRequest, "InternetCloseHandle(connection)",
        "InternetCloseHandle(internet)"}},
      // A port that does not fit in 16 bits would reach an unrelated one.
      {"port out of range", "http://h:70000/x", false, false, false,
       {open, "InternetCloseHandle(internet)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingInternetFunctions fake;
    fake.openFails = row.openFails;
    fake.connectFails = row.connectFails;
    fake.openRequestFails = row.openRequestFails;
    fake.QueueBody("body", 1024);
    fake.rawHeaders = "HTTP/1.1 200 OK\r\nSet-Cookie: n=1\r\n\r\n";
    Arguments before;
    Arguments after;
    const Bytes body =
        WebRequest(row.url, 1, Text("k=v"), after.cookies, after.returnedCookies,
                   after.extraHeaders, after.redirectLocation, false, after.postBytes, Text("p"),
                   after.responseHeaders, fake);
    EXPECT_EQ(body.str(), "");
    EXPECT_EQ(fake.CallStrings(), row.calls);
    EXPECT_EQ(after.cookies, before.cookies);
    EXPECT_EQ(after.returnedCookies, before.returnedCookies);
    EXPECT_EQ(after.extraHeaders, before.extraHeaders);
    EXPECT_EQ(after.redirectLocation, before.redirectLocation);
    EXPECT_EQ(after.postBytes, before.postBytes);
    EXPECT_EQ(after.responseHeaders, before.responseHeaders);
  }
}

#ifndef _WIN32
TEST(WebRequestWithoutWinInet, OpensNothingAndReturnsEmpty) {
  Text headers = "before";
  EXPECT_EQ(WebRequest("http://localhost/", {}, {}, {}, {}, {}, {}, {}, {}, {}, headers).str(), "");
  EXPECT_EQ(headers.str(), "before");
}
#endif

}  // namespace
}  // namespace zentravo
