#include "service/lookup_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <unistd.h>

#include "tests/service/https_test_client.h"

namespace zentravo::lookup {
namespace {

using testing::Exchange;
using testing::RawConnection;
using testing::Reply;
using namespace std::chrono_literals;

// Made at build time by the certificate script: ca.pem, localhost.pem, localhost.key.
const std::string kCertificates = ZENTRAVO_TEST_CERTIFICATES;
const std::string kCa = kCertificates + "/ca.pem";

std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

ServerSettings TestSettings() {
  ServerSettings settings;
  settings.address = "127.0.0.1";
  settings.port = 0;
  settings.certificateFile = kCertificates + "/localhost.pem";
  settings.keyFile = kCertificates + "/localhost.key";
  settings.threads = 2;
  return settings;
}

// The request Zentravo.exe sends: WinINet's request line and its header block,
// which repeats the whole address as the Referer.
std::string ProgramRequest(std::string_view link) {
  const std::string target = "/weibo/brellik.php?url=" + std::string(link);
  return "POST " + target +
         " HTTP/1.1\r\n"
         "Referer: https://localhost" +
         target +
         "\r\n"
         "Accept: */*\r\n"
         "Accept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\n"
         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
         "Host: localhost\r\n"
         "Content-Length: 0\r\n"
         "Connection: Keep-Alive\r\n"
         "Cache-Control: no-cache\r\n"
         "\r\n";
}

std::string Request(std::string_view method, std::string_view target, std::string_view extra = "") {
  return std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: localhost\r\n" +
         std::string(extra) + "\r\n";
}

std::string Chunked(std::string_view body) {
  return "POST /weibo/brellik.php?url=x HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: chunked\r\n\r\n" +
         std::string(body);
}

// count one-byte chunks, each with an extension of extensionSize bytes.
std::string ManySmallChunks(int count, std::size_t extensionSize) {
  std::string chunks;
  for (int i = 0; i < count; ++i) chunks += "1;e=" + std::string(extensionSize, 'e') + "\r\nz\r\n";
  return chunks;
}

class LookupServerTest : public ::testing::Test {
 protected:
  void StartServer(const ServerSettings& settings) {
    std::string error;
    server_ = LookupServer::Start(settings, &error);
    ASSERT_TRUE(server_) << error;
  }
  void SetUp() override { StartServer(TestSettings()); }
  std::uint16_t port() const { return server_->port(); }

  std::unique_ptr<LookupServer> server_;
};

TEST_F(LookupServerTest, AnswersEachRequestWithStatusAndUtf8Text) {
  const std::string notWeibo = Utf8(u8"这不是微博图片链接");
  const std::string noLink = Utf8(u8"请输入微博图片链接");
  const std::string tooLong = Utf8(u8"链接太长");
  const std::string path = "/weibo/brellik.php?url=";
  const std::string atLimit = path + std::string(8192 - path.size(), 'a');

  struct Row {
    std::string name;
    std::string request;
    int status;
    std::string body;
  } rows[] = {
      {"program form", ProgramRequest("https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg"), 200, "2634877355"},
      {"GET", Request("GET", path + "wx3.sinaimg.cn/mw690/006r2HqOly1g"), 200, "5896401674"},
      {"& ? # in the link",
       ProgramRequest("https://tvax1.sinaimg.cn/crop.0.0.1.1.180/006r2HqOly8g.jpg?KID=imgbed,tva&Expires=1&ssig=a#f"),
       200, "5896401674"},
      {"escaped spaces around", ProgramRequest("%20https://wx1.sinaimg.cn/large/9d0d09ab.jpg%20"), 200,
       "2634877355"},
      {"escaped link", ProgramRequest("https%3A%2F%2Fwx1.sinaimg.cn%2Flarge%2F9d0d09ab.jpg"), 200, "2634877355"},
      {"proxy url= inside the link",
       ProgramRequest("https://images.weserv.nl/?url=wx1.sinaimg.cn/large/9d0d09ab.jpg&w=300"), 200, "2634877355"},
      {"the image after & in the link",
       ProgramRequest("https://images.weserv.nl/?w=300&url=wx1.sinaimg.cn/large/9d0d09ab.jpg#top"), 200,
       "2634877355"},
      {"absolute form", Request("POST", "https://localhost/weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab"), 200,
       "2634877355"},
      {"HTTP/1.0", "GET " + path + "wx1.sinaimg.cn/a/9d0d09ab HTTP/1.0\r\n\r\n", 200, "2634877355"},
      {"code page 936 bytes", ProgramRequest("\xB2\xE9\xD1\xAF"), 400, notWeibo},
      {"empty link", ProgramRequest(""), 400, noLink},
      {"no url key", Request("POST", "/weibo/brellik.php"), 400, noLink},
      {"other path", Request("GET", "/index.html"), 404, Utf8(u8"找不到该地址")},
      {"other method", Request("DELETE", path + "x"), 405, Utf8(u8"只支持 GET 和 POST 请求")},
      {"target at the limit", Request("GET", atLimit), 400, notWeibo},
      {"target over the limit", ProgramRequest(std::string(8192, 'a')), 414, tooLong},
      {"request line over the header limit", Request("GET", path + std::string(200 * 1024, 'a')), 414, tooLong},
      {"header over its limit", Request("GET", path + "x", "X-Big: " + std::string(100 * 1024, 'b') + "\r\n"), 431,
       Utf8(u8"请求头太长")},
      {"body over its limit", Request("POST", path + "x", "Content-Length: 9000\r\n") + std::string(9000, 'x'), 413,
       Utf8(u8"请求内容太长")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<Reply> reply = Exchange(port(), kCa, row.request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, row.status);
    EXPECT_EQ(reply->body, row.body);
    EXPECT_EQ(reply->Header("content-type"), "text/plain; charset=utf-8");
  }
}

// Every link of the corpus, sent as the program sends it, over one connection.
TEST_F(LookupServerTest, AnswersTheLinkCorpus) {
  std::ifstream corpus(ZENTRAVO_LINK_CORPUS);
  ASSERT_TRUE(corpus) << "cannot read " << ZENTRAVO_LINK_CORPUS;
  std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(connection);
  int links = 0;
  std::string line;
  while (std::getline(corpus, line)) {
    if (line.empty() || line.starts_with('#')) continue;
    const std::size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    const std::string expected = line.substr(0, tab);
    const std::string link = line.substr(tab + 1);
    SCOPED_TRACE(link);
    ASSERT_TRUE(connection->Send(ProgramRequest(link)));
    const std::optional<Reply> reply = connection->Receive();
    ASSERT_TRUE(reply);
    if (expected == "400") {
      EXPECT_EQ(reply->status, 400) << reply->body;
    } else {
      EXPECT_EQ(reply->status, 200) << reply->body;
      EXPECT_EQ(reply->body, expected);
    }
    ++links;
  }
  EXPECT_GE(links, 60);
}

TEST_F(LookupServerTest, HeadAndWrongMethodsGetTheRightHeaders) {
  const std::string target = "/weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab";
  const std::optional<Reply> head = Exchange(port(), kCa, Request("HEAD", target), /*replyToHead=*/true);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->Header("content-length"), "10");

  const std::optional<Reply> put = Exchange(port(), kCa, Request("PUT", target));
  ASSERT_TRUE(put);
  EXPECT_EQ(put->status, 405);
  EXPECT_EQ(put->Header("allow"), "GET, HEAD, POST");
}

TEST_F(LookupServerTest, KeepsTheConnectionAcrossAnswersAndPipelinedRequests) {
  std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(connection);
  const std::string good = ProgramRequest("wx1.sinaimg.cn/large/9d0d09ab.jpg");
  const std::string requests[] = {good, Request("GET", "/nowhere"), ProgramRequest("nothing"),
                                  ProgramRequest(std::string(9000, 'a')), good};
  const int statuses[] = {200, 404, 400, 414, 200};
  for (std::size_t i = 0; i < std::size(requests); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(connection->Send(requests[i]));
    const std::optional<Reply> reply = connection->Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, statuses[i]);
  }

  // HTTP/1.0 keeps the connection only when asked, and is told so.
  ASSERT_TRUE(connection->Send("GET /weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab HTTP/1.0\r\n"
                               "Connection: keep-alive\r\n\r\n"));
  const std::optional<Reply> http10 = connection->Receive();
  ASSERT_TRUE(http10);
  EXPECT_EQ(http10->Header("connection"), "keep-alive");

  ASSERT_TRUE(connection->Send(good + Request("GET", "/weibo/brellik.php?url=wx1.sinaimg.cn/a/006r2HqO") + good));
  for (const char* uid : {"2634877355", "5896401674", "2634877355"}) {
    const std::optional<Reply> reply = connection->Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, uid);
  }
}

TEST_F(LookupServerTest, ClosesWhenTheClientAsksOrTheRequestCannotBeRead) {
  struct Row {
    std::string name;
    std::string request;
    int status;
  } rows[] = {
      {"Connection: close", Request("GET", "/weibo/brellik.php?url=x", "Connection: close\r\n"), 400},
      {"HTTP/1.0", "GET /weibo/brellik.php?url=x HTTP/1.0\r\n\r\n", 400},
      {"not HTTP", "hello\r\n\r\n", 400},
      {"unknown version", "GET /weibo/brellik.php?url=x HTTP/9.9\r\n\r\n", 400},
      {"space in the target", "GET /weibo/brellik.php?url=a b HTTP/1.1\r\n\r\n", 400},
      {"control byte in the target", "GET /weibo/brellik.php?url=a\x01" "b HTTP/1.1\r\n\r\n", 400},
      {"field without a colon", "GET / HTTP/1.1\r\nHost localhost\r\n\r\n", 400},
      {"bad length", "POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n", 400},
      {"bad chunk", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400},
      {"header over its limit", Request("GET", "/", "X: " + std::string(70 * 1024, 'x') + "\r\n"), 431},
      {"trailer over its limit", Chunked("1\r\na\r\n0\r\nX-T: " + std::string(70 * 1024, 't') + "\r\n\r\n"), 431},
      {"trailer under the field limit but over the framing limit",
       Chunked("0\r\nX-T: " + std::string(20 * 1024, 't') + "\r\n\r\n"), 431},
      {"chunk extension over its limit", Chunked("1;x=" + std::string(20 * 1024, 'e') + "\r\na\r\n0\r\n\r\n"), 413},
      {"last chunk extension over its limit", Chunked("0;x=" + std::string(20 * 1024, 'e') + "\r\n\r\n"), 413},
      {"chunk lines together over the request limit", Chunked(ManySmallChunks(2000, 100) + "0\r\n\r\n"), 413},
      {"chunked body over its limit", Chunked("2400\r\n" + std::string(0x2400, 'b') + "\r\n0\r\n\r\n"), 413},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), kCa);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(connection->Send(row.request));
    const std::optional<Reply> reply = connection->Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, row.status);
    EXPECT_EQ(reply->Header("connection"), "close");
    EXPECT_TRUE(connection->ClosedByPeer());
  }
}

// A chunk extension that never ends: the server answers once it has read a
// bounded amount, instead of holding all that the client sends.
TEST_F(LookupServerTest, RefusesAnEndlessChunkExtensionEarly) {
  std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Send(Chunked("1;x=")));
  const std::string piece(64 * 1024, 'e');
  constexpr std::size_t kGiveUp = 64 << 20;
  std::size_t sent = 0;
  while (sent < kGiveUp && !connection->PeerHasSpoken()) {
    if (!connection->Send(piece)) break;
    sent += piece.size();
  }
  // Loopback socket buffers take a few megabytes before anyone reads them.
  EXPECT_LT(sent, 16u << 20) << "the server was still reading after " << sent << " bytes";
  const std::optional<Reply> reply = connection->Receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 413);
  EXPECT_EQ(reply->Header("connection"), "close");
}

TEST_F(LookupServerTest, SurvivesClientsThatDoNotSpeakTls) {
  const std::string_view garbage[] = {
      "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n",
      std::string_view("\x16\x03\x01\x00\x05\x01\x00\x00\x01\x00", 10),  // a truncated ClientHello
      std::string_view("\0\0\0\0\xFF\xFF\xFF\xFF", 8),
      "",  // connects and leaves at once
  };
  for (std::string_view bytes : garbage) {
    SCOPED_TRACE(bytes.size());
    std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), /*caFile=*/"");
    ASSERT_TRUE(connection);
    if (bytes.empty()) continue;
    ASSERT_TRUE(connection->Send(bytes));
    EXPECT_TRUE(connection->ClosedByPeer());
  }
  const std::optional<Reply> reply = Exchange(port(), kCa, ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
}

TEST_F(LookupServerTest, ClosesIdleAndSlowConnections) {
  server_.reset();
  ServerSettings settings = TestSettings();
  settings.idleTimeout = 500ms;
  settings.requestTimeout = 1500ms;
  StartServer(settings);

  std::unique_ptr<RawConnection> silentTcp = RawConnection::Open(port(), "");  // never says hello
  std::unique_ptr<RawConnection> idle = RawConnection::Open(port(), kCa);
  std::unique_ptr<RawConnection> slow = RawConnection::Open(port(), kCa);
  std::unique_ptr<RawConnection> afterAnswer = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(silentTcp && idle && slow && afterAnswer);
  ASSERT_TRUE(slow->Send("POST /weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab HTTP/1.1\r\nHost: loc"));
  ASSERT_TRUE(afterAnswer->Send(ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab")));
  ASSERT_TRUE(afterAnswer->Receive());

  EXPECT_TRUE(silentTcp->ClosedByPeer());
  EXPECT_TRUE(idle->ClosedByPeer());
  EXPECT_TRUE(slow->ClosedByPeer());
  EXPECT_TRUE(afterAnswer->ClosedByPeer());
  const std::optional<Reply> reply = Exchange(port(), kCa, ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
}

// A connection that has waited idle and then starts a request it never finishes is
// held to the request's shorter limit, not to what was left of the idle one.
TEST_F(LookupServerTest, ARequestAfterAnIdleWaitGetsTheRequestLimit) {
  server_.reset();
  ServerSettings settings = TestSettings();
  settings.idleTimeout = 60s;
  settings.requestTimeout = 500ms;
  StartServer(settings);

  // Closed by the server well before this client gives up waiting.
  std::unique_ptr<RawConnection> client = RawConnection::Open(port(), kCa, 5s);
  ASSERT_TRUE(client);
  ASSERT_TRUE(client->Send(ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab")));
  ASSERT_TRUE(client->Receive());
  std::this_thread::sleep_for(1s);  // idle long enough for the server to wait on the idle limit
  ASSERT_TRUE(client->Send("POST /weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab HTTP/1.1\r\nHo"));
  EXPECT_TRUE(client->ClosedByPeer());
}

TEST_F(LookupServerTest, AnswersBusyBeyondItsLimitUntilOneEnds) {
  server_.reset();
  ServerSettings settings = TestSettings();
  settings.maxConnections = 2;
  StartServer(settings);

  std::unique_ptr<RawConnection> first = RawConnection::Open(port(), kCa);
  std::unique_ptr<RawConnection> second = RawConnection::Open(port(), kCa, 10s, "127.0.0.2");
  ASSERT_TRUE(first && second);
  const std::optional<Reply> busy = Exchange(port(), kCa, ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab"));
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->Header("retry-after"), "5");
  EXPECT_EQ(busy->Header("connection"), "close");
  EXPECT_EQ(busy->body, Utf8(u8"服务器繁忙，请稍后再试"));

  first.reset();
  // The server notices the departure on its own time; retry for a while.
  std::optional<Reply> reply;
  for (int attempt = 0; attempt < 100 && (!reply || reply->status != 200); ++attempt) {
    reply = Exchange(port(), kCa, ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab"));
    if (!reply || reply->status != 200) std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
}

// One address holding its whole share (connections that have not finished a
// request yet, so none is idle) is told to come back later; others are served.
TEST_F(LookupServerTest, LimitsConnectionsPerClientAddress) {
  constexpr int kShare = 64;  // the default
  ASSERT_EQ(TestSettings().maxConnectionsPerClient, static_cast<std::size_t>(kShare));
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < kShare; ++i) {
    held.push_back(RawConnection::Open(port(), kCa));
    ASSERT_TRUE(held.back()) << "connection " << i;
  }
  // Every one of them is under way, so the server holds them all before the 65th.
  for (auto& connection : held) ASSERT_TRUE(connection->Send("GET /weibo/brellik.php?url=x HTTP/1.1\r\n"));

  const std::optional<Reply> busy = Exchange(port(), kCa, ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab"));
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->Header("retry-after"), "5");

  std::unique_ptr<RawConnection> other = RawConnection::Open(port(), kCa, 10s, "127.0.0.2");
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->Send(ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab")));
  const std::optional<Reply> served = other->Receive();
  ASSERT_TRUE(served);
  EXPECT_EQ(served->status, 200);

  // The held connections are still served.
  ASSERT_TRUE(held.front()->Send("Host: localhost\r\n\r\n"));
  const std::optional<Reply> finished = held.front()->Receive();
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->status, 400);
}

// When the slots run out, a connection idle between requests gives way to a new
// one, the one idle longest first, before anyone is refused.
TEST_F(LookupServerTest, ShedsTheLongestIdleConnectionForANewOne) {
  server_.reset();
  ServerSettings settings = TestSettings();
  settings.maxConnections = 2;
  StartServer(settings);

  const std::string request = ProgramRequest("wx1.sinaimg.cn/a/9d0d09ab");
  std::unique_ptr<RawConnection> older = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(older && older->Send(request) && older->Receive());
  std::this_thread::sleep_for(20ms);
  std::unique_ptr<RawConnection> newer = RawConnection::Open(port(), kCa, 10s, "127.0.0.2");
  ASSERT_TRUE(newer && newer->Send(request) && newer->Receive());

  const std::optional<Reply> reply = Exchange(port(), kCa, request);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_TRUE(older->ClosedByPeer());
  ASSERT_TRUE(newer->Send(request));
  const std::optional<Reply> again = newer->Receive();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200);
}

TEST_F(LookupServerTest, StopClosesOpenConnections) {
  std::unique_ptr<RawConnection> idle = RawConnection::Open(port(), kCa);
  std::unique_ptr<RawConnection> halfway = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(idle && halfway);
  ASSERT_TRUE(halfway->Send("GET /weibo/brellik.php?url="));
  const std::uint16_t stoppedPort = port();
  server_->Stop();
  server_->Stop();
  EXPECT_TRUE(idle->ClosedByPeer());
  EXPECT_TRUE(halfway->ClosedByPeer());
  EXPECT_FALSE(RawConnection::Open(stoppedPort, kCa));
}

TEST_F(LookupServerTest, DrainEndsWithTheLastConnection) {
  std::unique_ptr<RawConnection> idle = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(idle);
  ASSERT_TRUE(idle->Send(Request("GET", "/healthz")));
  ASSERT_TRUE(idle->Receive());
  EXPECT_TRUE(server_->Drain(10s));
  EXPECT_TRUE(idle->ClosedByPeer());
}

TEST_F(LookupServerTest, DrainCutsOffARequestThatOutlastsTheLimit) {
  std::unique_ptr<RawConnection> stuck = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(stuck);
  ASSERT_TRUE(stuck->Send("GET /weibo/brellik.php?url=x HTTP/1.1\r\n"));
  // The request must have begun before the drain does.
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(server_->Drain(300ms));
  EXPECT_TRUE(stuck->ClosedByPeer());
}

TEST(LookupServerReload, TakesTheSamePairAgainAndRefusesAnUnusableOne) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("zentravo-reload-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  ServerSettings settings = TestSettings();
  const std::string key = (directory / "key.pem").string();
  std::filesystem::copy_file(settings.keyFile, key, std::filesystem::copy_options::overwrite_existing);
  settings.keyFile = key;
  std::string error;
  std::unique_ptr<LookupServer> server = LookupServer::Start(settings, &error);
  ASSERT_TRUE(server) << error;
  EXPECT_TRUE(server->ReloadCertificate(&error)) << error;

  std::filesystem::remove_all(directory);
  error.clear();
  EXPECT_FALSE(server->ReloadCertificate(&error));
  EXPECT_TRUE(error.starts_with("cannot use the key " + key + ": ")) << error;
  const std::optional<Reply> reply = Exchange(server->port(), kCa, Request("GET", "/healthz"));
  ASSERT_TRUE(reply) << "the refused reload broke the pair in use";
  EXPECT_EQ(reply->status, 200);
}

TEST(LookupServerLog, OneLinePerAnswerWithoutQueryOrUnsafeBytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(std::tmpfile(), std::fclose);
  ASSERT_TRUE(log);
  ServerSettings settings = TestSettings();
  settings.requestLog = log.get();
  std::string error;
  std::unique_ptr<LookupServer> server = LookupServer::Start(settings, &error);
  ASSERT_TRUE(server) << error;

  struct Row {
    std::string name;
    std::string request;
    std::string expected;  // the line after its time stamp and duration
  } rows[] = {
      {"lookup", Request("POST", "/weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab"), "200 POST /weibo/brellik.php"},
      {"health", Request("HEAD", "/healthz"), "200 HEAD /healthz"},
      {"code page 936 path", Request("GET", "/\xB2\xE9?url=secret"), "404 GET /??"},
      {"long path", Request("GET", "/" + std::string(300, 'p')), "404 GET /" + std::string(199, 'p') + "..."},
      {"not HTTP", "\x01\x02 nonsense\r\n\r\n", "400 - -"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Exchange(server->port(), kCa, row.request, row.request.starts_with("HEAD")));
  }
  server->Stop();

  std::rewind(log.get());
  std::vector<std::string> lines;
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, log.get()) != nullptr) lines.emplace_back(buffer);
  ASSERT_EQ(lines.size(), std::size(rows));
  const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (\d{3}) \d+us (.*)\n)");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, stamp)) << lines[i];
    EXPECT_EQ(match[1].str() + " " + match[2].str(), rows[i].expected);
  }
}

TEST(LookupServerStart, SaysWhatIsWrong) {
  std::string error;
  std::unique_ptr<LookupServer> running = LookupServer::Start(TestSettings(), &error);
  ASSERT_TRUE(running) << error;

  struct Row {
    std::string name;
    ServerSettings settings;
    std::string errorStart;
  } rows[] = {
      {"missing certificate", TestSettings(), "cannot use the certificate " + kCertificates + "/missing.pem: "},
      {"key that is a certificate", TestSettings(), "cannot use the key " + kCertificates + "/ca.pem: "},
      {"no address", TestSettings(), "not an IP address: localhost"},
      {"port in use", TestSettings(), "cannot listen on 127.0.0.1 port " + std::to_string(running->port()) + ": "},
  };
  rows[0].settings.certificateFile = kCertificates + "/missing.pem";
  rows[1].settings.keyFile = kCertificates + "/ca.pem";
  rows[2].settings.address = "localhost";
  rows[3].settings.port = running->port();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    error.clear();
    EXPECT_FALSE(LookupServer::Start(row.settings, &error));
    EXPECT_TRUE(error.starts_with(row.errorStart)) << error;
  }
}

}  // namespace
}  // namespace zentravo::lookup
