// The two actions of the real Zentravo.exe, end to end: a link typed or pasted
// into 编辑框1, a click on 查询, the HTTPS request that reaches the lookup server,
// the answer in 编辑框2; a click on 复制, the clipboard and the message box.
//
// Three groups, each run by its own test entry with the server it needs on
// 127.0.0.1 at the port of the program's lookup address (ZENTRAVO_LOOKUP_HOST, the
// build's "localhost" with its port, and ZENTRAVO_LOOKUP_PORT, set by the build):
//   LookupTestServer  the lookup test server, which records every request and
//                     answers as the link asks (tests/support/lookup_test_server.py)
//   LookupNoService   nothing listening on the port
//   LookupService     the real lookup service

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/lookup_record.h"
#include "tests/e2e/lookup_session.h"
#include "tests/e2e/support/clipboard.h"
#include "tests/e2e/support/message_box.h"
#include "tests/e2e/support/screen.h"
#include "tests/e2e/support/window_query.h"
#include "web/web_request.h"

namespace zentravo::e2e {
namespace {

const std::string kHost = ZENTRAVO_LOOKUP_HOST;  // "localhost" or "localhost:PORT"
const std::string kPrefix = "https://" + kHost + "/weibo/brellik.php?url=";
const std::string kPath = "/weibo/brellik.php?url=";
const std::string k中文 = "\xD6\xD0\xCE\xC4";   // the UTF-8 answer E4 B8 AD E6 96 87, in code page 936
const std::string k图片 = "\xCD\xBC\xC6\xAC";
const std::string k链接 = "\xC1\xB4\xBD\xD3";
const std::string kBefore = "before";            // what 编辑框2 or the clipboard held before

// What the confirmation box of 复制 must look like, saying `text`.
void ExpectConfirmation(HWND box, HWND mainWindow, const std::string& text) {
  ASSERT_NE(box, nullptr) << "no message box titled \"信息：\"";
  MessageBoxContents contents = ReadMessageBox(box);
  EXPECT_EQ(contents.title, k信息);
  EXPECT_EQ(contents.text, text);
  ASSERT_EQ(contents.buttons.size(), 1u);
  EXPECT_EQ(GetDlgCtrlID(MessageBoxButton(box, contents.buttons[0])), IDOK) << contents.buttons[0];
  EXPECT_FALSE(contents.hasIcon);
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the box has no owner";
  EXPECT_FALSE(IsWindowEnabled(mainWindow)) << "task-modal: the main window takes no input meanwhile";
}

class LookupFixture : public testing::Test {
 protected:
  void SetUp() override {
    session_.emplace(testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_EQ(session_->StartupProblem(), "");
  }
  void TearDown() override { session_.reset(); }

  LookupSession& session() { return *session_; }

  // Enters `link`, primes 编辑框2 with kBefore (so an answer is seen to arrive),
  // clicks 查询 and waits for `expected`.
  void LookUp(const std::string& link, LinkEntry entry, const std::string& expected) {
    ASSERT_TRUE(session().EnterLink(link, entry));
    ASSERT_TRUE(SetWindowTextOf(session().controls().编辑框2, kBefore));
    ASSERT_TRUE(session().ClickQuery());
    EXPECT_TRUE(session().WaitForAnswer(expected)) << "编辑框2 shows \"" << session().Answer().value_or("(busy)")
                                                   << "\"";
  }

  std::optional<LookupSession> session_;
};

// ---- Against the lookup test server ----

class LookupTestServer : public LookupFixture {
 protected:
  void SetUp() override {
    ASSERT_NE(LookupRecordPath(), "") << "ZENTRAVO_LOOKUP_RECORD is not set: run under lookup_run_with_server.sh";
    LookupFixture::SetUp();
  }

  static std::vector<ReceivedRequest> Received() {
    return ReadLookupRecord(LookupRecordPath()).value_or(std::vector<ReceivedRequest>{});
  }
};

TEST_F(LookupTestServer, TheRequestIsAnEmptyPostOfTheLinkAsTypedWithTheDefaultHeaders) {
  // What WinINet itself does to the object path: a space becomes %20, spaces at the
  // end are dropped, a backslash becomes a slash; every other byte one can type,
  // "%", "#", "&", "?" and both bytes of each Chinese character included, goes as
  // it stands. In the Referer line only the spaces at the end are dropped.
  struct Row {
    const char* name;
    std::string link;
    LinkEntry entry;
    std::string target;       // the request target that arrives
    std::string refererLink;  // what follows the prefix in the Referer line
  };
  const Row rows[] = {
      {"an image link, pasted", "https://wx1.sinaimg.cn/large/9d0d09abgy1hxyz.jpg", LinkEntry::kPasted,
       kPath + "https://wx1.sinaimg.cn/large/9d0d09abgy1hxyz.jpg",
       "https://wx1.sinaimg.cn/large/9d0d09abgy1hxyz.jpg"},
      {"an empty link", "", LinkEntry::kTyped, kPath, ""},
      {"spaces, & and #, typed", " a b&c=d#e?f", LinkEntry::kTyped, kPath + "%20a%20b&c=d#e?f", " a b&c=d#e?f"},
      {"Chinese characters, typed", k图片 + " " + k链接 + ".jpg", LinkEntry::kTyped,
       kPath + k图片 + "%20" + k链接 + ".jpg", k图片 + " " + k链接 + ".jpg"},
      {"percent signs stay", "100%25 %", LinkEntry::kPasted, kPath + "100%25%20%", "100%25 %"},
      {"spaces at the end", "x.jpg  ", LinkEntry::kTyped, kPath + "x.jpg", "x.jpg"},
      {"a backslash", "wx1.sinaimg.cn\\large\\x.jpg", LinkEntry::kTyped, kPath + "wx1.sinaimg.cn/large/x.jpg",
       "wx1.sinaimg.cn\\large\\x.jpg"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const size_t before = Received().size();
    LookUp(row.link, row.entry, "ok");
    std::vector<ReceivedRequest> received = Received();
    ASSERT_EQ(received.size(), before + 1) << "one request per click";
    const ReceivedRequest& request = received.back();

    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, row.target);
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.Header("Content-Length").value_or("0"), "0");
    EXPECT_EQ(request.Header("Host"), kHost);
    EXPECT_EQ(request.Header("User-Agent"), std::string(DefaultUserAgent));
    EXPECT_EQ(request.Header("Cookie"), std::nullopt);

    // The four default lines, in this order (WinINet puts its own Host, Content-Length
    // and User-Agent lines first).
    const std::vector<std::string> defaults = {
        "Referer: " + kPrefix + row.refererLink, "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded"};
    std::vector<std::string> found;
    for (const std::string& line : request.headerLines) {
      for (const std::string& wanted : defaults) {
        if (line.compare(0, line.find(':'), wanted.substr(0, wanted.find(':'))) == 0) found.push_back(line);
      }
    }
    EXPECT_EQ(found, defaults);
  }
}

TEST_F(LookupTestServer, EachAnswerIsShownWholeInCodePage936AndReplacesTheLast) {
  struct Row {
    const char* name;
    std::string link;
    std::string shown;
  };
  const Row rows[] = {
      {"UTF-8 Chinese characters", "https://wx1.sinaimg.cn/large/chinese.jpg", k中文},
      {"a status 500 answer is shown as its body", "https://wx1.sinaimg.cn/large/status500.jpg", "123456"},
      {"a second lookup replaces the first", "https://wx1.sinaimg.cn/large/x.jpg?answer=77", "77"},
      {"a body with a zero byte, up to it", "https://wx1.sinaimg.cn/large/zero-byte.jpg", "12"},
      {"a redirection is followed", "https://wx1.sinaimg.cn/large/redirect.jpg", "77"},
      {"a long body, whole", "https://wx1.sinaimg.cn/large/long-answer.jpg", [] {
         std::string digits;
         for (int i = 0; i < 300; ++i) digits += "0123456789";
         return digits;
       }()},
      {"the UID", "https://wx1.sinaimg.cn/large/x.jpg?answer=2634877355", "2634877355"},
  };
  ASSERT_TRUE(SetWindowTextOf(session().controls().编辑框2, kBefore));
  std::string last = kBefore;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(session().EnterLink(row.link, LinkEntry::kPasted));
    ASSERT_TRUE(session().ClickQuery());
    // Never appended to what was there: the exact text, and nothing of the last one.
    EXPECT_TRUE(session().WaitForAnswer(row.shown))
        << "编辑框2 shows \"" << session().Answer().value_or("(busy)") << "\" after \"" << last << "\"";
    if (row.shown == k中文) {
      EXPECT_TRUE(SaveScreenshotArtifact("lookup-chinese-answer", session().window()));
    }
    last = row.shown;
  }
}

TEST_F(LookupTestServer, CopyPutsEditBox2OnTheClipboardAndConfirms) {
  struct Row {
    const char* name;
    std::optional<std::string> link;  // nullopt: 编辑框2 as the program starts, empty
    std::string copied;
  };
  const Row rows[] = {
      {"an empty 编辑框2 copies an empty text", std::nullopt, ""},
      {"the Chinese answer", "https://wx1.sinaimg.cn/large/chinese.jpg", k中文},
      {"the UID", "https://wx1.sinaimg.cn/large/x.jpg?answer=5896401674", "5896401674"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.link) LookUp(*row.link, LinkEntry::kPasted, row.copied);
    ASSERT_EQ(session().Answer(), row.copied);
    ASSERT_TRUE(WriteClipboardText(kBefore));

    HWND box = session().ClickCopy();
    ExpectConfirmation(box, session().window(), k已复制);
    if (box == nullptr) return;
    EXPECT_EQ(ReadClipboardText(), row.copied);
    if (row.link) {
      EXPECT_TRUE(SaveScreenshotArtifact("copy-confirmation", session().window()));
    }
    ASSERT_TRUE(session().CloseMessageBox(box));
  }
}

TEST_F(LookupTestServer, CopyWhileAnotherProgramHoldsTheClipboardSaysSoAndKeepsTheClipboard) {
  LookUp("https://wx1.sinaimg.cn/large/x.jpg?answer=2634877355", LinkEntry::kPasted, "2634877355");
  ASSERT_TRUE(WriteClipboardText(kBefore));

  HWND box = nullptr;
  {
    ClipboardHolder holder;
    ASSERT_TRUE(holder.IsHolding());
    box = session().ClickCopy();
    ExpectConfirmation(box, session().window(), k复制失败);
    if (box == nullptr) return;
    EXPECT_TRUE(SaveScreenshotArtifact("copy-failed", session().window()));
  }
  ASSERT_TRUE(session().CloseMessageBox(box));
  EXPECT_EQ(ReadClipboardText(), kBefore);
}

// ---- With nothing listening ----

// True when a TCP connection to the lookup port on 127.0.0.1 is refused.
bool NothingListensOnTheLookupPort() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  bool refused = false;
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe != INVALID_SOCKET) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(ZENTRAVO_LOOKUP_PORT);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    refused = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR;
    closesocket(probe);
  }
  WSACleanup();
  return refused;
}

using LookupNoService = LookupFixture;

TEST_F(LookupNoService, AnUnreachableServiceLeavesEditBox2EmptyAndShowsNothing) {
  ASSERT_TRUE(NothingListensOnTheLookupPort()) << "something listens on 127.0.0.1:" << ZENTRAVO_LOOKUP_PORT;
  LookUp("https://wx1.sinaimg.cn/large/9d0d09abgy1hxyz.jpg", LinkEntry::kTyped, "");
  EXPECT_TRUE(session().ShowsNothingButTheMainWindow()) << "no message, no other window";
  EXPECT_FALSE(session().running().program->HasExited());
}

// ---- Against the real lookup service ----

using LookupService = LookupFixture;

TEST_F(LookupService, APastedImageLinkGivesTheUidAndCopyPutsExactlyItsDigits) {
  struct Row {
    std::string link;
    std::string uid;
  };
  const Row rows[] = {
      {"https://wx1.sinaimg.cn/large/9d0d09abgy1hxyz.jpg", "2634877355"},
      {"https://wx3.sinaimg.cn/mw690/006r2HqOly1hxyz.jpg", "5896401674"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.link);
    LookUp(row.link, LinkEntry::kPasted, row.uid);
    ASSERT_TRUE(WriteClipboardText(kBefore));
    HWND box = session().ClickCopy();
    ExpectConfirmation(box, session().window(), k已复制);
    if (box == nullptr) return;
    EXPECT_EQ(ReadClipboardText(), row.uid);
    ASSERT_TRUE(session().CloseMessageBox(box));
  }
}

}  // namespace
}  // namespace zentravo::e2e
