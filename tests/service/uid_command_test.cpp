// zentravo-uid's behaviour, run in the test's own process: what goes to standard
// output and standard error, and the exit status.

#include "service/uid_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>
#include <zentravo/version.h>

namespace zentravo::lookup {
namespace {

std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

CommandRun RunWith(std::vector<std::string_view> arguments, std::string input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunUidCommand(arguments, in, out, err);
  return {status, out.str(), err.str()};
}

constexpr std::string_view kHexLink = "https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg";
constexpr std::string_view kBase62Link = "wx3.sinaimg.cn/mw690/006r2HqOly1g";
constexpr std::string_view kOtherLink = "https://example.com/photo.jpg";

TEST(UidCommand, ReadsLinksFromArgumentsOrStandardInput) {
  const std::string notWeibo = Utf8(u8"这不是微博图片链接");
  struct Row {
    std::string name;
    std::vector<std::string_view> arguments;
    std::string input;
    int status;
    std::string out;
    std::string err;
  } rows[] = {
      {"one argument", {kHexLink}, "", 0, "2634877355\thttps://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg\n", ""},
      {"arguments in order, input ignored",
       {kBase62Link, kHexLink},
       "wx1.sinaimg.cn/a/ffffffff\n",
       0,
       "5896401674\twx3.sinaimg.cn/mw690/006r2HqOly1g\n"
       "2634877355\thttps://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg\n",
       ""},
      {"mixed good and bad",
       {kHexLink, kOtherLink, kBase62Link},
       "",
       1,
       "2634877355\thttps://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg\n5896401674\twx3.sinaimg.cn/mw690/006r2HqOly1g\n",
       "zentravo-uid: https://example.com/photo.jpg: " + notWeibo + "\n"},
      {"an empty argument is a link", {""}, "", 1, "", "zentravo-uid: : " + Utf8(u8"请输入微博图片链接") + "\n"},
      {"after --, a link that looks like an option",
       {"--", "--json"},
       "",
       1,
       "",
       "zentravo-uid: --json: " + notWeibo + "\n"},
      {"lines of input, blank and spaced ones, CRLF",
       {},
       "https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg\r\n\r\n   \n\t wx3.sinaimg.cn/mw690/006r2HqOly1g \r\n",
       0,
       "2634877355\thttps://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg\n5896401674\twx3.sinaimg.cn/mw690/006r2HqOly1g\n",
       ""},
      {"last line without a newline", {}, "wx1.sinaimg.cn/a/ffffffff", 0, "4294967295\twx1.sinaimg.cn/a/ffffffff\n", ""},
      {"bad lines of input",
       {},
       "https://example.com/photo.jpg\nwx1.sinaimg.cn/a/short\n",
       1,
       "",
       "zentravo-uid: https://example.com/photo.jpg: " + notWeibo + "\nzentravo-uid: wx1.sinaimg.cn/a/short: " +
           Utf8(u8"图片文件名太短，无法识别 UID") + "\n"},
      {"no input at all", {}, "", 0, "", ""},
      {"only blank lines", {}, "\n \n\r\n", 0, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const CommandRun run = RunWith(row.arguments, row.input);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, row.err);
  }
}

TEST(UidCommand, JsonGivesOneArrayAndTheSameStatus) {
  const CommandRun mixed = RunWith({"--json"}, std::string(kHexLink) + "\n\n" + std::string(kOtherLink) + "\n");
  EXPECT_EQ(mixed.status, 1);
  EXPECT_EQ(mixed.err, "");
  EXPECT_EQ(mixed.out, Utf8(u8R"([{"link":"https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg","uid":"2634877355"},)"
                            u8R"({"link":"https://example.com/photo.jpg","error":"这不是微博图片链接"}])"
                            u8"\n"));

  const CommandRun good = RunWith({kBase62Link, "--json"});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out, R"([{"link":"wx3.sinaimg.cn/mw690/006r2HqOly1g","uid":"5896401674"}])" "\n");

  const CommandRun none = RunWith({"--json"}, "");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "[]\n");

  // Links in another encoding still give valid JSON.
  const CommandRun gbk = RunWith({"--json", "\xB2\xE9\xD1\xAF"});
  EXPECT_EQ(gbk.status, 1);
  EXPECT_TRUE(nlohmann::json::accept(gbk.out)) << gbk.out;
}

TEST(UidCommand, HelpVersionAndBadUsage) {
  const CommandRun help = RunWith({"--help", "--bogus"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: zentravo-uid [--json] [LINK...]\n")) << help.out;
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(RunWith({"-h"}).out, help.out);

  const CommandRun version = RunWith({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("zentravo-uid ") + ZENTRAVO_VERSION + "\n");

  for (std::string_view option : {"--bogus", "-j", "-", "--JSON"}) {
    SCOPED_TRACE(std::string(option));
    const CommandRun bad = RunWith({kHexLink, option});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "") << "nothing is looked up on bad usage";
    EXPECT_TRUE(bad.err.starts_with("zentravo-uid: unknown option " + std::string(option) + "\nUsage:")) << bad.err;
  }
}

}  // namespace
}  // namespace zentravo::lookup
