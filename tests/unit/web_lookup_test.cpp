// The lookup's request, call by call, against a recording stand-in for wininet.dll:
// WebRequestText passes every optional argument on as supplied, and LookupAnswer
// posts the link unescaped and converts the answer. (The real request against a
// real server is an end-to-end test.)

#include "web/lookup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "web/web_request_text.h"
#include "tests/support/recording_internet_functions.h"
#include "web/url.h"
#include "web/web_request.h"

namespace zentravo {
namespace {

using Calls = std::vector<std::string>;

const std::string kOpenWithEmptyProxyList = "InternetOpenA(" + QuotedForRecord(DefaultUserAgent) + ", 3, \"http=\", \"\", 0)";
const Calls kReadQueryClose = {"InternetReadFile(request, 1024)", "InternetReadFile(request, 1024)",
                               "HttpQueryInfoA(request, 22, 5000, null)", "InternetCloseHandle(request)",
                               "InternetCloseHandle(connection)", "InternetCloseHandle(internet)"};

TEST(WebRequestText, ArgumentsLeftOutGoOnAsSuppliedAndEmpty) {
  RecordingInternetFunctions internet;
  internet.QueueBody("body", 1024);
  const Text text = WebRequestText("https://h/p?q", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, internet);
  EXPECT_EQ(text.str(), "body");
  // Proxy mode with the list "http=" and an empty bypass list, because the left-out
  // proxy arrives supplied; method 0 sends the text form with an empty body.
  EXPECT_EQ(internet.CallStrings(),
            JoinRecords({kOpenWithEmptyProxyList, "InternetConnectA(internet, \"h\", 443, null, null, 3, 0, 0)",
                  "HttpOpenRequestA(connection, \"GET\", \"/p?q\", \"HTTP/1.1\", null, null, 0x80880010, 0)",
                  SendRequestRecord(DefaultHeaderBlock("https://h/p?q"), "\"\"", 0)},
                 kReadQueryClose));
}

TEST(WebRequestText, TheCallersVariablesReceiveWhatWebRequestWrites) {
  RecordingInternetFunctions internet;
  internet.QueueBody("moved", 1024);
  internet.rawHeaders = "HTTP/1.1 302 Found\r\nLocation: /next\r\nSet-Cookie: n=5; path=/\r\n\r\n";
  Text cookies = "a=1", returnedCookies, extraHeaders, redirectLocation, responseHeaders;
  Bytes postBytes;
  const Text text = WebRequestText("http://h/", 1, Text("k=v"), cookies, returnedCookies, extraHeaders,
                                   redirectLocation, true, postBytes, Text("proxy:81"), responseHeaders,
                                   internet);
  EXPECT_EQ(text.str(), "moved");
  EXPECT_EQ(internet.CallStrings().front(), "InternetOpenA(" + QuotedForRecord(DefaultUserAgent) +
                                                ", 3, \"http=proxy:81\", \"\", 0)");
  EXPECT_EQ(cookies.str(), "n=5; a=1");
  EXPECT_EQ(returnedCookies.str(), "n=5");
  EXPECT_EQ(extraHeaders.str(), DefaultHeaderBlock("http://h/") + "\r\nCookie: a=1");
  EXPECT_EQ(redirectLocation.str(), "/next");
  EXPECT_EQ(postBytes.str(), "k=v");
  EXPECT_EQ(responseHeaders.str(), internet.rawHeaders);
}

TEST(WebRequestText, TheBodyBecomesTextUpToItsFirstZeroByteUnconverted) {
  struct Row {
    const char* name;
    std::string body;
    std::string text;
  };
  const Row rows[] = {
      {"empty", "", ""},
      {"digits", "2634877355", "2634877355"},
      {"a zero byte ends it", std::string("12\0" "34", 5), "12"},
      {"UTF-8 stays UTF-8", "\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingInternetFunctions internet;
    internet.QueueBody(row.body, 1024);
    EXPECT_EQ(WebRequestText("http://h/", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, internet).str(), row.text);
  }
}

TEST(Lookup, TheUrlPrefixIsHttpsToTheServiceHostThenThePathAndKey) {
  const std::string prefix = LookupUrlPrefix;
  const std::string host = UrlGetHost(prefix, false, true).str();  // with the port it names
  ASSERT_FALSE(host.empty());
  EXPECT_EQ(prefix, "https://" + host + "/weibo/brellik.php?url=");
  EXPECT_EQ(UrlGetPort(prefix), ZENTRAVO_LOOKUP_PORT);
  EXPECT_EQ(UrlGetPath(prefix).str(), "/weibo/brellik.php?url=");
}

TEST(Lookup, AnswerPostsTheLinkAsTypedWithAnEmptyBodyInProxyMode) {
  const std::string prefix = LookupUrlPrefix;
  const std::string host = UrlGetHost(prefix).str();
  const std::string links[] = {
      "https://wx1.sinaimg.cn/large/9d0d09abgy1hxyz.jpg",
      "",
      " a b&c=d#e?f ",
      "\xCD\xBC\xC6\xAC \xC1\xB4\xBD\xD3",  // 图片 链接
      "100%25",
  };
  for (const std::string& link : links) {
    SCOPED_TRACE(link);
    RecordingInternetFunctions internet;
    internet.QueueBody("2634877355", 1024);
    EXPECT_EQ(LookupAnswer(link, internet).str(), "2634877355");
    const std::string address = prefix + link;
    EXPECT_EQ(LookupAddress(link).str(), address);
    EXPECT_EQ(internet.CallStrings(),
              JoinRecords({kOpenWithEmptyProxyList,
                    "InternetConnectA(internet, " + QuotedForRecord(host) + ", " +
                        std::to_string(ZENTRAVO_LOOKUP_PORT) + ", null, null, 3, 0, 0)",
                    "HttpOpenRequestA(connection, \"POST\", " + QuotedForRecord("/weibo/brellik.php?url=" + link) +
                        ", \"HTTP/1.1\", null, null, 0x80880010, 0)",
                    SendRequestRecord(DefaultHeaderBlock(address), "null", 0)},
                   kReadQueryClose));
  }
}

TEST(Lookup, AnswerIsTheBodyFromUtf8InCodePage936OrEmptyWhenTheRequestCannotBeMade) {
  struct Row {
    const char* name;
    std::string body;
    bool openFails = false;
    bool connectFails = false;
    bool openRequestFails = false;
    std::string answer;
  };
  const Row rows[] = {
      {"two Chinese characters", "\xE4\xB8\xAD\xE6\x96\x87", false, false, false, "\xD6\xD0\xCE\xC4"},
      {"ASCII stays", "123456", false, false, false, "123456"},
      {"longer than one read", std::string(2500, '7'), false, false, false, std::string(2500, '7')},
      {"an empty body", "", false, false, false, ""},
      {"no Internet handle", "unread", true, false, false, ""},
      {"no connection", "unread", false, true, false, ""},
      {"no request", "unread", false, false, true, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingInternetFunctions internet;
    internet.QueueBody(row.body, 1024);
    internet.openFails = row.openFails;
    internet.connectFails = row.connectFails;
    internet.openRequestFails = row.openRequestFails;
    EXPECT_EQ(LookupAnswer("link", internet).str(), row.answer);
  }
}

}  // namespace
}  // namespace zentravo
