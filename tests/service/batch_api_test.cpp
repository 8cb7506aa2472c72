// The batch API and the page's files, answered without a network: what a request
// body or a conditional request gives, before any server is involved.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "service/batch_api.h"
#include "service/batch_lookup.h"
#include "service/routes.h"
#include "service/web_page.h"

namespace zentravo::lookup {
namespace {

using Json = nlohmann::json;

std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

std::string Header(const Answer& answer, std::string_view name) {
  for (const auto& [field, value] : answer.headers) {
    if (field == name) return value;
  }
  return "";
}

std::string JsonArrayOf(const std::vector<std::string>& links) { return Json(links).dump(); }

TEST(AnswerBatchRequest, AnswersEachLinkInOrder) {
  const std::vector<std::string> links = {
      "https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg",
      "https://example.com/photo.jpg",
      "",
      "wx3.sinaimg.cn/mw690/006r2HqOly1g",
      "https%3A%2F%2Fwx1.sinaimg.cn%2Flarge%2F9d0d09ab.jpg",  // read as the window's lookup reads it
      "https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg",        // the same link twice, answered twice
      Utf8(u8"  wx1.sinaimg.cn/a/00000000.jpg \"引号\""),
  };
  const Answer answer = AnswerBatchRequest("POST", JsonArrayOf(links));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.contentType, "application/json; charset=utf-8");
  EXPECT_EQ(Header(answer, "Cache-Control"), "no-store");
  EXPECT_EQ(Header(answer, "X-Content-Type-Options"), "nosniff");

  const Json expected = Json::parse(Utf8(
      u8R"([{"link":"https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg","uid":"2634877355"},
            {"link":"https://example.com/photo.jpg","error":"这不是微博图片链接"},
            {"link":"","error":"请输入微博图片链接"},
            {"link":"wx3.sinaimg.cn/mw690/006r2HqOly1g","uid":"5896401674"},
            {"link":"https%3A%2F%2Fwx1.sinaimg.cn%2Flarge%2F9d0d09ab.jpg","uid":"2634877355"},
            {"link":"https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg","uid":"2634877355"},
            {"link":"  wx1.sinaimg.cn/a/00000000.jpg \"引号\"","error":"图片文件名中没有有效的 UID"}])"));
  EXPECT_EQ(Json::parse(answer.body), expected);
}

TEST(AnswerBatchRequest, RefusesWhatIsNotAnArrayOfLinks) {
  const std::string notJson = Utf8(u8R"({"error":"请求内容不是有效的 JSON"})");
  const std::string notLinks = Utf8(u8R"({"error":"请求内容应为由链接字符串组成的 JSON 数组"})");
  const std::string tooMany = Utf8(u8R"({"error":"一次最多查询 1000 个链接"})");
  struct Row {
    std::string name;
    std::string body;
    int status;
    std::string error;
  } rows[] = {
      {"empty body", "", 400, notJson},
      {"not JSON", "wx1.sinaimg.cn/a/9d0d09ab", 400, notJson},
      {"unfinished array", R"(["a", "b")", 400, notJson},
      {"trailing comma", R"(["a",])", 400, notJson},
      {"text after the array", R"(["a"] x)", 400, notJson},
      {"two arrays", R"([] [])", 400, notJson},
      {"invalid UTF-8 in a string", "[\"\xB2\xE9\"]", 400, notJson},
      {"one string", R"("wx1.sinaimg.cn/a/9d0d09ab")", 400, notLinks},
      {"object", R"({"links":["a"]})", 400, notLinks},
      {"number", "42", 400, notLinks},
      {"null", "null", 400, notLinks},
      {"number among links", R"(["a", 1])", 400, notLinks},
      {"null among links", R"(["a", null])", 400, notLinks},
      {"boolean among links", R"([true])", 400, notLinks},
      {"object among links", R"([{"link":"a"}])", 400, notLinks},
      {"nested array", R"([["a"]])", 400, notLinks},
      {"deep nesting", std::string(100000, '[') + std::string(100000, ']'), 400, notLinks},
      {"1,001 links", JsonArrayOf(std::vector<std::string>(1001, "a")), 413, tooMany},
      {"1,001 links, broken after", JsonArrayOf(std::vector<std::string>(1001, "a")) + "x", 413, tooMany},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Answer answer = AnswerBatchRequest("POST", row.body);
    EXPECT_EQ(answer.status, row.status);
    EXPECT_EQ(answer.body, row.error);
    EXPECT_EQ(answer.contentType, "application/json; charset=utf-8");
  }
}

TEST(AnswerBatchRequest, TakesUpToAThousandLinksAndOnlyPost) {
  const Answer empty = AnswerBatchRequest("POST", " [ ] ");
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.body, "[]");

  const Answer full = AnswerBatchRequest("POST", JsonArrayOf(std::vector<std::string>(1000, "wx1.sinaimg.cn/a/9d0d09ab")));
  ASSERT_EQ(full.status, 200);
  const Json results = Json::parse(full.body);
  ASSERT_EQ(results.size(), 1000u);
  EXPECT_EQ(results[999]["uid"], "2634877355");

  for (std::string_view method : {"GET", "HEAD", "PUT", "post"}) {
    SCOPED_TRACE(std::string(method));
    const Answer answer = AnswerBatchRequest(method, "[]");
    EXPECT_EQ(answer.status, 405);
    EXPECT_EQ(Header(answer, "Allow"), "POST");
    EXPECT_EQ(answer.body, Utf8(u8R"({"error":"只支持 POST 请求"})"));
  }
}

TEST(LinkResultJson, EscapesTheLinkAndReplacesBytesThatAreNotUtf8) {
  const Answer found{200, "2634877355"};
  const Answer failed{400, Utf8(u8"这不是微博图片链接")};
  EXPECT_EQ(LinkResultJson("a\"b\\c\n\x01", found), R"({"link":"a\"b\\c\n\u0001","uid":"2634877355"})");
  EXPECT_EQ(LinkResultJson("\xB2\xE9", failed),
            Utf8(u8R"({"link":"��","error":"这不是微博图片链接"})"));
  EXPECT_EQ(LinkResultJson(std::string_view("a\0b", 3), failed),
            Utf8(u8R"({"link":"a\u0000b","error":"这不是微博图片链接"})"));
}

TEST(AnswerHttpRequest, SendsEachPathToItsAnswer) {
  struct Row {
    std::string name;
    HttpRequest request;
    int status;
    std::string contentType;
  } rows[] = {
      {"page", {"GET", "/", "", ""}, 200, "text/html; charset=utf-8"},
      {"page with a query", {"GET", "/?links=x", "", ""}, 200, "text/html; charset=utf-8"},
      {"page in absolute form", {"GET", "https://localhost/", "", ""}, 200, "text/html; charset=utf-8"},
      {"script", {"GET", "/app.js", "", ""}, 200, "text/javascript; charset=utf-8"},
      {"styles", {"HEAD", "/style.css", "", ""}, 200, "text/css; charset=utf-8"},
      {"batch", {"POST", "/api/uids", "[]", ""}, 200, "application/json; charset=utf-8"},
      {"batch with a query", {"POST", "/api/uids?x=1", "[]", ""}, 200, "application/json; charset=utf-8"},
      {"lookup", {"POST", "/weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab", "", ""}, 200,
       "text/plain; charset=utf-8"},
      {"other path", {"GET", "/index.html", "", ""}, 404, "text/plain; charset=utf-8"},
      {"page path over the target limit", {"GET", "/?" + std::string(9000, 'a'), "", ""}, 414,
       "text/plain; charset=utf-8"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Answer answer = AnswerHttpRequest(row.request);
    EXPECT_EQ(answer.status, row.status);
    EXPECT_EQ(answer.contentType, row.contentType);
  }
  EXPECT_EQ(BodyLimitOfTarget("/api/uids"), kMaxBatchBody);
  EXPECT_EQ(BodyLimitOfTarget("/weibo/brellik.php?url=x"), std::nullopt);
  EXPECT_EQ(AnswerBodyTooLarge("/api/uids").body, Utf8(u8R"({"error":"请求内容太长，最多 1 MiB"})"));
  EXPECT_EQ(AnswerBodyTooLarge("/weibo/brellik.php").contentType, "text/plain; charset=utf-8");
}

TEST(AnswerWebFile, ServesEachFileWithItsPolicyAndTag) {
  ASSERT_FALSE(WebFiles().empty());
  std::set<std::string_view> tags;
  for (const WebFile& file : WebFiles()) {
    SCOPED_TRACE(std::string(file.path));
    for (std::string_view method : {"GET", "HEAD"}) {
      const std::optional<Answer> answer = AnswerWebFile(method, file.path, "");
      ASSERT_TRUE(answer);
      EXPECT_EQ(answer->status, 200);
      EXPECT_EQ(answer->body, file.body);
      EXPECT_EQ(answer->contentType, file.contentType);
      EXPECT_EQ(Header(*answer, "ETag"), file.entityTag);
      EXPECT_EQ(Header(*answer, "Cache-Control"), "no-cache");
      EXPECT_EQ(Header(*answer, "X-Content-Type-Options"), "nosniff");
      EXPECT_EQ(Header(*answer, "Content-Security-Policy"), kPageSecurityPolicy);
    }
    EXPECT_TRUE(tags.insert(file.entityTag).second) << "two files share a tag";
    EXPECT_TRUE(std::regex_match(std::string(file.entityTag), std::regex("\"[0-9a-f]{20}\"")));

    const std::optional<Answer> post = AnswerWebFile("POST", file.path, "");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    EXPECT_EQ(Header(*post, "Allow"), "GET, HEAD");
  }
  EXPECT_FALSE(AnswerWebFile("GET", "/missing.js", ""));
  EXPECT_FALSE(AnswerWebFile("GET", "", ""));
}

TEST(AnswerWebFile, AnswersAConditionalRequestFromItsTag) {
  const WebFile& page = WebFiles().front();
  const std::string tag(page.entityTag);
  struct Row {
    std::string ifNoneMatch;
    int status;
  } rows[] = {
      {tag, 304},
      {"W/" + tag, 304},
      {"\"other\", " + tag, 304},
      {"\"other\",W/" + tag + " ", 304},
      {"*", 304},
      {"\"other\"", 200},
      {tag.substr(0, tag.size() - 1), 200},  // unquoted end
      {",", 200},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.ifNoneMatch);
    const std::optional<Answer> answer = AnswerWebFile("GET", page.path, row.ifNoneMatch);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, row.status);
    EXPECT_EQ(answer->body.empty(), row.status == 304);
    EXPECT_EQ(Header(*answer, "ETag"), tag);
  }
}

// The policy forbids inline script and style and anything from elsewhere, so the
// page must name only its own embedded files, and no inline code.
TEST(WebFiles, ThePageNamesOnlyEmbeddedFilesAndNoInlineCode) {
  const std::optional<Answer> page = AnswerWebFile("GET", "/", "");
  ASSERT_TRUE(page);
  const std::string& html = page->body;
  EXPECT_NE(html.find("<html lang=\"zh-CN\">"), std::string::npos);
  for (std::u8string_view word : {u8"图片链接：", u8"查询", u8"UID："}) {
    EXPECT_NE(html.find(Utf8(word)), std::string::npos) << Utf8(word);
  }

  std::set<std::string> embedded;
  for (const WebFile& file : WebFiles()) embedded.emplace(file.path);
  const std::regex reference(R"re((?:src|href)="([^"]*)")re");
  int references = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), reference); it != std::sregex_iterator(); ++it) {
    const std::string url = (*it)[1];
    SCOPED_TRACE(url);
    EXPECT_TRUE(embedded.contains(url)) << "not one of the page's files";
    ++references;
  }
  EXPECT_GE(references, 3);  // script, styles, icon

  EXPECT_FALSE(std::regex_search(html, std::regex(R"(<script(?![^>]*\ssrc=)[^>]*>)"))) << "inline script";
  EXPECT_FALSE(std::regex_search(html, std::regex(R"(<style|\sstyle=|\son[a-z]+=)"))) << "inline style or handler";
}

}  // namespace
}  // namespace zentravo::lookup
