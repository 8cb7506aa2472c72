#include "web/url.h"

#include <gtest/gtest.h>

#include <string>

namespace zentravo {
namespace {

// "#引号" in code page 936: the placeholder for a double quote inside markers.
constexpr const char* kQuote = "#\xD2\xFD\xBA\xC5";

TEST(TextBetween, CutsBetweenTheMarkers) {
  struct Row {
    std::string source;
    std::string left;
    std::string right;
    int start;
    bool caseSensitive;
    const char* expected;
  } rows[] = {
      {"set-cookie: a=1; path=/", "Set-Cookie:", ";", 0, false, " a=1"},
      {"set-cookie: a=1; path=/", "Set-Cookie:", ";", 0, true, ""},
      {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", 0, true, " a=1"},
      // The placeholder becomes a quote in both markers; the source is searched as is.
      {"k=\"v\"", std::string("k=") + kQuote, kQuote, 0, false, "v"},
      {"k=\"v\"", "k=\"", "\"", 0, false, "v"},
      {std::string("k=") + kQuote + "v", std::string("k=") + kQuote, "v", 0, false, ""},
      // The right marker only before the left one.
      {"]x[", "[", "]", 0, false, ""},
      {"[a][b]", "[", "]", 0, false, "a"},
      {"[a][b]", "[", "]", 2, false, "b"},
      {"[a][b]", "[", "]", 1, false, "a"},
      {"[a][b]", "[", "]", -7, false, "a"},
      {"[a][b]", "[", "]", 99, false, ""},
      {"[]", "[", "]", 0, false, ""},  // touching markers
      {"[abc", "[", "]", 0, false, ""},
      {"abc]", "[", "]", 0, false, ""},
      {"", "[", "]", 0, false, ""},
      {"<A>x</a>", "<a>", "</A>", 0, false, "x"},
      // A marker of two-byte characters; matches start only at character starts.
      {"\xD6\xD0\xCE\xC4x\xD6\xD0", "\xCE\xC4", "\xD6\xD0", 0, false, "x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("'" + row.source + "' '" + row.left + "' '" + row.right + "' " +
                 std::to_string(row.start) + (row.caseSensitive ? " case" : ""));
    EXPECT_EQ(TextBetween(row.source, row.left, row.right, row.start, row.caseSensitive).str(),
              row.expected);
  }
}

TEST(HeaderValue, TakesWhatFollowsTheFirstColonTrimmed) {
  struct Row {
    const char* header;
    const char* expected;
  } rows[] = {
      {"Location:   /next  ", "/next"},
      {"a: b: c", "b: c"},
      {"no colon here", ""},
      {"", ""},
      {"Name:", ""},
      {"X:\xA1\xA1v\xA1\xA1", "v"},  // full-width spaces are spaces too
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.header);
    EXPECT_EQ(HeaderValue(row.header).str(), row.expected);
  }
}

TEST(UrlGetHost, CutsHostWithItsOptions) {
  struct Row {
    const char* url;
    bool domainOnly;
    bool keepPort;
    const char* expected;
  } rows[] = {
      {"HTTPS://One.Two.Three:444/p", false, false, "one.two.three"},
      {"HTTPS://One.Two.Three:444/p", false, true, "one.two.three:444"},
      {"HTTPS://One.Two.Three:444/p", true, false, "two.three"},
      {"HTTPS://One.Two.Three:444/p", true, true, "two.three:444"},
      {"one.two.three", false, false, "one.two.three"},
      {"", false, false, ""},
      {"host", true, false, "host"},
      {"http://host:81/x", false, false, "host"},
      {"http://host:81/x", false, true, "host:81"},
      {"host/x", false, false, "host"},
      // "http://" is recognised anywhere, "https://" only at the start.
      {"x/?u=http://other/", false, false, "other"},
      {"x https://host/", false, false, "x https"},
      {"https://host", false, false, "host"},
      {"https://user:pw@host/", false, false, "user"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.url) + (row.domainOnly ? " domain" : "") +
                 (row.keepPort ? " port" : ""));
    EXPECT_EQ(UrlGetHost(row.url, row.domainOnly, row.keepPort).str(), row.expected);
  }
}

TEST(UrlGetPort, ReadsThePortOrTheSchemeDefault) {
  struct Row {
    const char* url;
    int expected;
  } rows[] = {
      {"http://host:81/x", 81},   {"https://host/x", 443}, {"HTTPS://host", 443},
      {"host/x", 80},             {"http://host:/x", 0},   {"https://host:8443", 8443},
      {"", 80},                   {"host:70000", 70000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url);
    EXPECT_EQ(UrlGetPort(row.url), row.expected);
  }
}

TEST(UrlGetPath, TakesEverythingFromTheFirstSlashAfterTheHost) {
  struct Row {
    const char* url;
    const char* expected;
  } rows[] = {
      {"http://host", "/"},
      {"http://host/a/b?c=d", "/a/b?c=d"},
      {"http://Host/A", "/A"},
      {"host/x", "/x"},
      {"https://h:8443/weibo/x.php?url=https://wx1.example/A.jpg",
       "/weibo/x.php?url=https://wx1.example/A.jpg"},
      {"", "/"},
      // Hosts that also occur inside the scheme are looked for behind it.
      {"http://h/x", "/x"},
      {"HTTPS://s:8443/p", "/p"},
      {"http://http/x", "/x"},
      {"x/?u=http://t/y", "/y"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url);
    EXPECT_EQ(UrlGetPath(row.url).str(), row.expected);
  }
}

}  // namespace
}  // namespace zentravo
