#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service/image_link.h"
#include "service/lookup_answer.h"
#include "service/percent_decoding.h"
#include "service/uid_decoding.h"

namespace zentravo::lookup {
namespace {

// UTF-8 bytes whatever the narrow literal charset of the build.
std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

TEST(PercentDecode, UndoesEscapesOnceAndKeepsTheRest) {
  struct Row {
    std::string_view input;
    std::string_view expected;
  } rows[] = {
      {"", ""},
      {"plain", "plain"},
      {"a%20b", "a b"},
      {"%2F%2f", "//"},
      {"%41%4a%4A", "AJJ"},
      {"%2541", "%41"},  // once only
      {"a+b", "a+b"},    // a link, not form data
      {"%", "%"},
      {"%4", "%4"},
      {"%%41", "%A"},
      {"%G1", "%G1"},
      {"%1G", "%1G"},
      {"end%", "end%"},
      {"%00x", std::string_view("\0x", 2)},
      {"%E6%9F%A5", "\xE6\x9F\xA5"},
      {"\xB2\xE9%20", "\xB2\xE9 "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.input));
    EXPECT_EQ(PercentDecode(row.input), row.expected);
  }
}

TEST(UidFromFileName, ReadsBase62AfterTwoZerosAndHexOtherwise) {
  struct Row {
    std::string_view name;
    std::uint64_t uid;
    UidProblem problem;
  } rows[] = {
      {"9d0d09abgy1g4yv3x3j0mj20u0190dkk.jpg", 2634877355, UidProblem::kNone},
      {"9D0D09AB.jpg", 2634877355, UidProblem::kNone},  // hex ignores case
      {"006r2HqOly1gxxxxx.jpg", 5896401674, UidProblem::kNone},
      {"006r2HqO", 5896401674, UidProblem::kNone},      // exactly 8, no extension
      {"006R2HqO", 5896401674 + 26 * 62 * 62 * 62 * 62, UidProblem::kNone},  // base 62 keeps case
      {"00000001abc", 1, UidProblem::kNone},
      {"00ZZZZZZ", 56800235583, UidProblem::kNone},      // 62^6 - 1
      {"ffffffff", 4294967295, UidProblem::kNone},
      {"0fffffff", 268435455, UidProblem::kNone},        // one zero: still hex
      {"00000000.jpg", 0, UidProblem::kZero},
      {"", 0, UidProblem::kNameTooShort},
      {"9d0d09a", 0, UidProblem::kNameTooShort},
      {"9d0d09a.jpg", 0, UidProblem::kNameTooShort},     // the extension does not count
      {".9d0d09abc", 0, UidProblem::kNameTooShort},
      {"9d0d09ag", 0, UidProblem::kUnreadableCharacter}, // g is no hex digit
      {"00-r2HqO", 0, UidProblem::kUnreadableCharacter},
      {"006r2H_O", 0, UidProblem::kUnreadableCharacter},
      {"9d0d 9ab", 0, UidProblem::kUnreadableCharacter},
      {"9d0d09\xB2\xE9", 0, UidProblem::kUnreadableCharacter},
      {std::string_view("9d0d\0" "9ab", 8), 0, UidProblem::kUnreadableCharacter},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name));
    const UidReading reading = UidFromFileName(row.name);
    EXPECT_EQ(reading.problem, row.problem);
    EXPECT_EQ(reading.uid, row.uid);
  }
}

TEST(FindImageFileName, AcceptsTheFormsThatPeoplePaste) {
  struct Row {
    std::string_view link;
    std::optional<std::string_view> fileName;
  } rows[] = {
      // Hosts.
      {"https://ww1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://ww4.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://wx2.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://ws3.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://tva1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://tvax4.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"HTTPS://WX1.SinaImg.CN/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://wx1.sinaimg.cn./large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://wx1.sinaimg.cn:443/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://user@wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      // Schemes, or none.
      {"http://wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"//wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      // Size folders, query strings, fragments, no extension.
      {"https://wx1.sinaimg.cn/mw690/006r2HqOly1g.jpg", "006r2HqOly1g.jpg"},
      {"https://wx1.sinaimg.cn/orj360/006r2HqOly1g.gif", "006r2HqOly1g.gif"},
      {"https://wx1.sinaimg.cn/thumb150/006r2HqOly1g", "006r2HqOly1g"},
      {"https://tvax1.sinaimg.cn/crop.0.0.1080.1080.180/006r2HqOly8g.jpg?KID=imgbed,tva&Expires=1&ssig=x",
       "006r2HqOly8g.jpg"},
      {"https://wx1.sinaimg.cn/large/9d0d09ab.jpg#top", "9d0d09ab.jpg"},
      {"https://wx1.sinaimg.cn/large/9d0d09ab.jpg?a=/b/c#d/e", "9d0d09ab.jpg"},
      {"https://wx1.sinaimg.cn/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://wx1.sinaimg.cn/large/", ""},
      {"https://wx1.sinaimg.cn", ""},
      {"https://wx1.sinaimg.cn?x=/large/9d0d09ab.jpg", ""},
      // Image proxies: a url parameter, or the Weibo host inside the path.
      {"https://images.weserv.nl/?url=wx1.sinaimg.cn/large/9d0d09ab.jpg&w=300", "9d0d09ab.jpg"},
      {"https://images.weserv.nl/?w=300&URL=https://wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://images.weserv.nl/?url=https%3A%2F%2Fwx1.sinaimg.cn%2Flarge%2F9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://i0.wp.com/wx1.sinaimg.cn/large/9d0d09ab.jpg?ssl=1", "9d0d09ab.jpg"},
      {"https://proxy.example/fetch/https://wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      {"https://lz.sinaimg.cn/oslarge/0040jbadly1h9qn24se2kj61sc2ds7wi02.jpg",
       "0040jbadly1h9qn24se2kj61sc2ds7wi02.jpg"},
      {"https://LZ.sinaimg.cn./oslarge/0040jbad", "0040jbad"},
      {"https://images.weserv.nl/?url=https://lz.sinaimg.cn/oslarge/0040jbad.jpg", "0040jbad.jpg"},
      {"https://ss0.bdstatic.com/x/it/u=1,2&fm=26&gp=0.jpg/timg?image&quality=100&sec=1&di=a"
       "&src=http://tvax4.sinaimg.cn/crop.0.0.996.996.1024/4e8b1037ly8fqvtn0qk5lj20ro0roaba.jpg",
       "4e8b1037ly8fqvtn0qk5lj20ro0roaba.jpg"},
      {"https://timgsa.baidu.com/timg?image&SRC=http%3A%2F%2Fww4.sinaimg.cn%2Flarge%2Fa716fd45.jpg&w=1",
       "a716fd45.jpg"},
      {"https://a.example/?src=wx1.sinaimg.cn/a/11111111.jpg&url=wx1.sinaimg.cn/a/22222222.jpg",
       "11111111.jpg"},  // the first of the two keys counts
      {"https://a.example/?url=https://i0.wp.com/wx1.sinaimg.cn/large/9d0d09ab.jpg", "9d0d09ab.jpg"},
      // Not Weibo images.
      {"", std::nullopt},
      {"9d0d09ab.jpg", std::nullopt},
      {"https://weibo.com/1234567890/AbCdEfGhI", std::nullopt},
      {"https://n.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://h5.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://i0.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://d0.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://www.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://lz1.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://xlz.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://example.com/timg?srcx=wx1.sinaimg.cn/a/9d0d09ab.jpg", std::nullopt},
      {"https://tp1.sinaimg.cn/5554103544/180/0/1", std::nullopt},  // an avatar, no file name
      {"https://wx5.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://wx.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://xwx1.sinaimg.cn/large/9d0d09ab.jpg", std::nullopt},
      {"https://wx1.sinaimg.cn.example.com/large/9d0d09ab.jpg", std::nullopt},
      {"https://wx1.sinaimg.com/large/9d0d09ab.jpg", std::nullopt},
      {"https://example.com/large/9d0d09ab.jpg?ref=wx1.sinaimg.cn", std::nullopt},
      {"https://images.weserv.nl/?url=example.com/9d0d09ab.jpg", std::nullopt},
      {"https://a.example/?url=//b.example/?url=//c.example/?url=//d.example/?url=//e.example/?url=wx1.sinaimg.cn/x/9d0d09ab.jpg",
       std::nullopt},  // wrapped more often than any proxy does
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.link));
    const std::optional<std::string> fileName = FindImageFileName(row.link);
    ASSERT_EQ(fileName.has_value(), row.fileName.has_value());
    if (fileName) {
      EXPECT_EQ(*fileName, *row.fileName);
    }
  }
}

TEST(FindWeiboImage, ReadsOldAvatarLinksByTheirFirstSegment) {
  using Kind = WeiboImage::Kind;
  struct Row {
    std::string_view link;
    std::optional<Kind> kind;
    std::string_view segment;
  } rows[] = {
      {"http://tp1.sinaimg.cn/5554103544/180/0/1", Kind::kAvatarUid, "5554103544"},
      {"https://TP4.sinaimg.cn./5554103544/50/0/1", Kind::kAvatarUid, "5554103544"},
      {"http://p1.sinaimg.cn/1679869477/180/94201408034020", Kind::kAvatarUid, "1679869477"},
      {"//p8.sinaimg.cn/1679869477", Kind::kAvatarUid, "1679869477"},
      {"p5.sinaimg.cn/1679869477/180?x=1", Kind::kAvatarUid, "1679869477"},
      {"https://tp1.sinaimg.cn", Kind::kAvatarUid, ""},
      {"https://i0.wp.com/tp2.sinaimg.cn/5554103544/180/0/1", Kind::kAvatarUid, "5554103544"},
      {"https://images.weserv.nl/?url=p2.sinaimg.cn/1679869477/180/1", Kind::kAvatarUid, "1679869477"},
      {"https://wx1.sinaimg.cn/5554103544/180/0/1", Kind::kFileName, "1"},
      {"https://tp5.sinaimg.cn/5554103544/180/0/1", std::nullopt, ""},
      {"https://tp0.sinaimg.cn/5554103544/180/0/1", std::nullopt, ""},
      {"https://p0.sinaimg.cn/1679869477/180/1", std::nullopt, ""},
      {"https://p9.sinaimg.cn/1679869477/180/1", std::nullopt, ""},
      {"https://tp.sinaimg.cn/5554103544/180/0/1", std::nullopt, ""},
      {"https://tp12.sinaimg.cn/5554103544/180/0/1", std::nullopt, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.link));
    const std::optional<WeiboImage> image = FindWeiboImage(row.link);
    ASSERT_EQ(image.has_value(), row.kind.has_value());
    if (image) {
      EXPECT_EQ(image->kind, *row.kind);
      EXPECT_EQ(image->segment, row.segment);
    }
  }
}

TEST(UidFromAvatarSegment, ReadsDecimalDigitsOnly) {
  struct Row {
    std::string_view segment;
    std::uint64_t uid;
    UidProblem problem;
  } rows[] = {
      {"5554103544", 5554103544, UidProblem::kNone},
      {"1", 1, UidProblem::kNone},
      {"9999999999999999999", 9999999999999999999u, UidProblem::kNone},
      {"", 0, UidProblem::kNameTooShort},
      {"0", 0, UidProblem::kZero},
      {"0000", 0, UidProblem::kZero},
      {"10000000000000000000", 0, UidProblem::kUnreadableCharacter},  // 20 digits
      {"555410354a", 0, UidProblem::kUnreadableCharacter},
      {"crop.0.0.180.180", 0, UidProblem::kUnreadableCharacter},
      {"-5554103544", 0, UidProblem::kUnreadableCharacter},
      {"5554103544.jpg", 0, UidProblem::kUnreadableCharacter},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.segment));
    const UidReading reading = UidFromAvatarSegment(row.segment);
    EXPECT_EQ(reading.problem, row.problem);
    EXPECT_EQ(reading.uid, row.uid);
  }
}

TEST(LinkFromTarget, TakesEverythingAfterTheFirstUrlKey) {
  struct Row {
    std::string_view target;
    std::optional<std::string_view> link;
  } rows[] = {
      {"/weibo/brellik.php?url=", ""},
      {"/weibo/brellik.php?url=a", "a"},
      {"/weibo/brellik.php?url=https://h/p?q=1&r=2#f", "https://h/p?q=1&r=2#f"},
      {"/weibo/brellik.php?url=a&url=b", "a&url=b"},
      {"/weibo/brellik.php?x=1&url=a b", "a b"},
      {"/weibo/brellik.php?curl=x&url=y", "y"},  // "url=" must begin a key
      {"/weibo/brellik.php?url=\xB2\xE9", "\xB2\xE9"},
      {"https://localhost/weibo/brellik.php?url=x", "x"},
      {"/weibo/brellik.php", std::nullopt},
      {"/weibo/brellik.php?", std::nullopt},
      {"/weibo/brellik.php?URL=x", std::nullopt},
      {"/weibo/brellik.php?curl=x", std::nullopt},
      {"/weibo/brellik.php#url=x", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.target));
    const std::optional<std::string_view> link = LinkFromTarget(row.target);
    ASSERT_EQ(link.has_value(), row.link.has_value());
    if (link) {
      EXPECT_EQ(*link, *row.link);
    }
  }
}

TEST(PathOfTarget, StopsAtQueryOrFragmentAndDropsSchemeAndHost) {
  struct Row {
    std::string_view target;
    std::string_view path;
  } rows[] = {
      {"/weibo/brellik.php?url=x", "/weibo/brellik.php"},
      {"/weibo/brellik.php#x?url=y", "/weibo/brellik.php"},
      {"/weibo/brellik.php", "/weibo/brellik.php"},
      {"HTTPS://localhost:443/weibo/brellik.php?url=x", "/weibo/brellik.php"},
      {"http://localhost", ""},
      {"*", "*"},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.target));
    EXPECT_EQ(PathOfTarget(row.target), row.path);
  }
}

TEST(AnswerRequest, GivesTheUidOrAStatusWithAChineseReason) {
  const std::string noLink = Utf8(u8"请输入微博图片链接");
  const std::string notWeibo = Utf8(u8"这不是微博图片链接");
  const std::string tooShort = Utf8(u8"图片文件名太短，无法识别 UID");
  const std::string unreadable = Utf8(u8"图片文件名含有无法识别的字符");
  const std::string noUid = Utf8(u8"图片文件名中没有有效的 UID");
  const std::string notFound = Utf8(u8"找不到该地址");
  const std::string badMethod = Utf8(u8"只支持 GET 和 POST 请求");
  const std::string tooLong = Utf8(u8"链接太长");
  const std::string prefix = "/weibo/brellik.php?url=";
  const std::string longest = prefix + std::string(kMaxTargetLength - prefix.size(), 'a');

  struct Row {
    std::string_view method;
    std::string target;
    int status;
    std::string body;
  } rows[] = {
      {"POST", prefix + "https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg", 200, "2634877355"},
      {"GET", prefix + "wx3.sinaimg.cn/mw690/006r2HqOly1g", 200, "5896401674"},
      {"HEAD", prefix + "wx3.sinaimg.cn/mw690/006r2HqOly1g", 200, "5896401674"},
      {"POST", prefix + "https://tvax1.sinaimg.cn/crop.0.0.1.1.180/006r2HqOly8g.jpg?KID=a&Expires=1#x", 200,
       "5896401674"},
      {"POST", prefix + "%20%20https://wx1.sinaimg.cn/large/9d0d09ab.jpg%20%0D%0A", 200, "2634877355"},
      {"POST", prefix + "https%3A%2F%2Fwx1.sinaimg.cn%2Flarge%2F9d0d09ab.jpg", 200, "2634877355"},
      {"POST", prefix + "https://images.weserv.nl/?url=wx1.sinaimg.cn/large/9d0d09ab.jpg&w=300", 200,
       "2634877355"},
      {"POST", "https://localhost/weibo/brellik.php?url=wx1.sinaimg.cn/large/9d0d09ab.jpg", 200, "2634877355"},
      {"POST", prefix, 400, noLink},
      {"GET", "/healthz", 200, "ok"},
      {"HEAD", "/healthz?from=monitor", 200, "ok"},
      {"DELETE", "/healthz", 405, badMethod},
      {"GET", "/healthz/", 404, notFound},
      {"POST", prefix + "%20%20", 400, noLink},
      {"POST", "/weibo/brellik.php", 400, noLink},
      {"POST", "/weibo/brellik.php?link=wx1.sinaimg.cn/large/9d0d09ab.jpg", 400, noLink},
      {"POST", prefix + "https://weibo.com/u/1", 400, notWeibo},
      {"POST", prefix + "http://tp1.sinaimg.cn/5554103544/180/0/1", 200, "5554103544"},
      {"POST", prefix + "http://p1.sinaimg.cn/1679869477/180/94201408034020", 200, "1679869477"},
      {"POST", prefix + "http://tp1.sinaimg.cn/crop.0.0.180.180/a.jpg", 400, unreadable},
      {"POST", prefix + "http://tp1.sinaimg.cn/", 400, tooShort},
      {"POST", prefix + "http://tp1.sinaimg.cn/0/180/0/1", 400, noUid},
      {"POST", prefix + "https://lz.sinaimg.cn/oslarge/0040jbadly1h9qn24se2kj61sc2ds7wi02.jpg", 200, "3669102477"},
      {"POST", prefix + "\xB2\xE9\xD1\xAF", 400, notWeibo},
      {"POST", prefix + "wx1.sinaimg.cn/large/abc.jpg", 400, tooShort},
      {"POST", prefix + "wx1.sinaimg.cn/large/", 400, tooShort},
      {"POST", prefix + "wx1.sinaimg.cn/large/9d0d\xB2\xE9zz.jpg", 400, unreadable},
      {"POST", prefix + "wx1.sinaimg.cn/large/00000000.jpg", 400, noUid},
      {"POST", "/", 404, notFound},
      {"POST", "/weibo/brellik.php/", 404, notFound},
      {"GET", "/weibo/Brellik.php?url=wx1.sinaimg.cn/large/9d0d09ab.jpg", 404, notFound},
      {"PUT", prefix + "wx1.sinaimg.cn/large/9d0d09ab.jpg", 405, badMethod},
      {"post", prefix + "wx1.sinaimg.cn/large/9d0d09ab.jpg", 405, badMethod},
      {"POST", longest, 400, notWeibo},  // exactly the limit is still read
      {"POST", longest + "a", 414, tooLong},
      {"PUT", "/elsewhere/" + std::string(kMaxTargetLength, 'a'), 414, tooLong},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.method) + " " + row.target.substr(0, 120));
    const Answer answer = AnswerRequest(row.method, row.target);
    EXPECT_EQ(answer.status, row.status);
    EXPECT_EQ(answer.body, row.body);
  }
}

TEST(AnswerUnreadableRequest, ExplainsEachStatus) {
  struct Row {
    int status;
    int expectedStatus;
    std::string body;
  } rows[] = {
      {400, 400, Utf8(u8"请求格式错误")},     {413, 413, Utf8(u8"请求内容太长")},
      {414, 414, Utf8(u8"链接太长")},         {431, 431, Utf8(u8"请求头太长")},
      {503, 503, Utf8(u8"服务器繁忙，请稍后再试")}, {500, 400, Utf8(u8"请求格式错误")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.status);
    const Answer answer = AnswerUnreadableRequest(row.status);
    EXPECT_EQ(answer.status, row.expectedStatus);
    EXPECT_EQ(answer.body, row.body);
  }
}

}  // namespace
}  // namespace zentravo::lookup
