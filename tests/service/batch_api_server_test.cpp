// The batch API, the page and zentravo-uid against the real server over HTTPS:
// the body limit of the API's own path, conditional requests on a kept-alive
// connection, and the tool's --json against the API's answer.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "service/lookup_server.h"
#include "tests/service/https_test_client.h"

namespace zentravo::lookup {
namespace {

using testing::Exchange;
using testing::RawConnection;
using testing::Reply;
using Json = nlohmann::json;

const std::string kCertificates = ZENTRAVO_TEST_CERTIFICATES;
const std::string kCa = kCertificates + "/ca.pem";
const std::string kUidProgram = ZENTRAVO_UID_PROGRAM;

std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

std::string Post(std::string_view target, std::string_view body, std::string_view extra = "") {
  return "POST " + std::string(target) + " HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/json\r\n" +
         std::string(extra) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

std::string Get(std::string_view target, std::string_view extra = "") {
  return "GET " + std::string(target) + " HTTP/1.1\r\nHost: localhost\r\n" + std::string(extra) + "\r\n";
}

// A body sent in chunks of 4 KiB.
std::string PostChunked(std::string_view target, std::string_view body) {
  std::string request =
      "POST " + std::string(target) + " HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (std::size_t at = 0; at < body.size(); at += 4096) {
    const std::string_view chunk = body.substr(at, 4096);
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
    request += size;
    request += chunk;
    request += "\r\n";
  }
  return request + "0\r\n\r\n";
}

constexpr unsigned kFirstUid = 0x10000000;  // eight hex digits that do not begin with "00"

// Links of the UIDs kFirstUid, kFirstUid + 1, ..., distinct so that order shows.
std::vector<std::string> NumberedLinks(int count) {
  std::vector<std::string> links;
  for (int i = 0; i < count; ++i) {
    char name[9];
    std::snprintf(name, sizeof name, "%08x", kFirstUid + i);
    links.push_back("https://wx1.sinaimg.cn/large/" + std::string(name) + "gy1g.jpg");
  }
  return links;
}

class BatchApiServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ServerSettings settings;
    settings.port = 0;
    settings.certificateFile = kCertificates + "/localhost.pem";
    settings.keyFile = kCertificates + "/localhost.key";
    settings.threads = 2;
    std::string error;
    server_ = LookupServer::Start(settings, &error);
    ASSERT_TRUE(server_) << error;
  }
  std::uint16_t port() const { return server_->port(); }

  std::unique_ptr<LookupServer> server_;
};

TEST_F(BatchApiServerTest, AnswersAThousandLinksInOrderInOneCall) {
  const std::vector<std::string> links = NumberedLinks(1000);
  const std::string body = Json(links).dump();
  ASSERT_GT(body.size(), 8u * 1024) << "the API's body must be over the lookup's own limit";

  for (const std::string& request : {Post("/api/uids", body), PostChunked("/api/uids", body)}) {
    const std::optional<Reply> reply = Exchange(port(), kCa, request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->Header("content-type"), "application/json; charset=utf-8");
    EXPECT_EQ(reply->Header("cache-control"), "no-store");
    const Json results = Json::parse(reply->body);
    ASSERT_EQ(results.size(), links.size());
    for (std::size_t i = 0; i < links.size(); ++i) {
      ASSERT_EQ(results[i]["link"], links[i]) << i;
      ASSERT_EQ(results[i]["uid"], std::to_string(kFirstUid + i)) << i;
    }
  }
}

TEST_F(BatchApiServerTest, RefusesBadAndOversizedBodiesInJson) {
  const std::string tooLarge = Utf8(u8R"({"error":"请求内容太长，最多 1 MiB"})");
  // A valid array padded with spaces to the exact size.
  auto paddedArray = [](std::size_t size) { return "[\"a\"" + std::string(size - 5, ' ') + "]"; };
  struct Row {
    std::string name;
    std::string request;
    int status;
    std::string body;
    bool closes;
  } rows[] = {
      {"not an array", Post("/api/uids", R"({"links":[]})"), 400,
       Utf8(u8R"({"error":"请求内容应为由链接字符串组成的 JSON 数组"})"), false},
      {"not JSON", Post("/api/uids", "links"), 400, Utf8(u8R"({"error":"请求内容不是有效的 JSON"})"), false},
      {"too many links", Post("/api/uids", Json(std::vector<std::string>(1001, "a")).dump()), 413,
       Utf8(u8R"({"error":"一次最多查询 1000 个链接"})"), false},
      {"GET", Get("/api/uids"), 405, Utf8(u8R"({"error":"只支持 POST 请求"})"), false},
      {"exactly 1 MiB", Post("/api/uids", paddedArray(1024 * 1024)), 200,
       Utf8(u8R"([{"link":"a","error":"这不是微博图片链接"}])"), false},
      {"1 MiB and a byte", Post("/api/uids", paddedArray(1024 * 1024 + 1)), 413, tooLarge, true},
      {"declared over 1 MiB, nothing sent",
       "POST /api/uids HTTP/1.1\r\nHost: localhost\r\nContent-Length: 1048577\r\n\r\n", 413, tooLarge, true},
      {"chunked over 1 MiB", PostChunked("/api/uids", paddedArray(1024 * 1024 + 1)), 413, tooLarge, true},
      {"the lookup keeps its own limit, chunked",
       PostChunked("/weibo/brellik.php?url=x", std::string(9000, 'x')), 413, Utf8(u8"请求内容太长"), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), kCa);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(connection->Send(row.request));
    const std::optional<Reply> reply = connection->Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, row.status);
    EXPECT_EQ(reply->body, row.body);
    if (row.closes) {
      EXPECT_EQ(reply->Header("connection"), "close");
      EXPECT_TRUE(connection->ClosedByPeer());
    } else {
      EXPECT_EQ(reply->Header("connection"), "");
    }
  }
}

TEST_F(BatchApiServerTest, ServesThePageAndRevalidatesOnOneConnection) {
  std::unique_ptr<RawConnection> connection = RawConnection::Open(port(), kCa);
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Send(Get("/")));
  const std::optional<Reply> page = connection->Receive();
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->Header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(page->Header("x-content-type-options"), "nosniff");
  EXPECT_EQ(page->Header("cache-control"), "no-cache");
  EXPECT_TRUE(page->Header("content-security-policy").starts_with("default-src 'none'; script-src 'self';"));
  const std::string tag = page->Header("etag");
  ASSERT_FALSE(tag.empty());

  // A 304 has no body and no length, and the connection carries on after it.
  ASSERT_TRUE(connection->Send(Get("/", "If-None-Match: " + tag + "\r\n") + Get("/app.js")));
  const std::optional<Reply> unchanged = connection->Receive();
  ASSERT_TRUE(unchanged);
  EXPECT_EQ(unchanged->status, 304);
  EXPECT_EQ(unchanged->Header("content-length"), "");
  EXPECT_EQ(unchanged->Header("etag"), tag);
  const std::optional<Reply> script = connection->Receive();
  ASSERT_TRUE(script);
  EXPECT_EQ(script->status, 200);
  EXPECT_EQ(script->Header("content-type"), "text/javascript; charset=utf-8");
  EXPECT_FALSE(script->body.empty());

  ASSERT_TRUE(connection->Send("HEAD /style.css HTTP/1.1\r\nHost: localhost\r\n\r\n"));
  const std::optional<Reply> head = connection->Receive(/*replyToHead=*/true);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_NE(head->Header("content-length"), "0");
}

// The program's standard output and exit status; input must fit a pipe's buffer
// (it is written whole before the output is read).
struct ProgramRun {
  int status = -1;
  std::string out;
};

ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::string& input) {
  int in[2];
  int out[2];
  if (::pipe(in) != 0) return {};
  if (::pipe(out) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return {};
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
    std::vector<char*> argv = {const_cast<char*>(kUidProgram.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(kUidProgram.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ProgramRun run;
  const bool written = ::write(in[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
  ::close(in[1]);
  char buffer[4096];
  for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) run.out.append(buffer, got);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (written && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

TEST_F(BatchApiServerTest, UidProgramJsonIsTheApisAnswer) {
  const std::vector<std::string> links = {
      "https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg", "https://example.com/photo.jpg",
      "https://images.weserv.nl/?url=wx3.sinaimg.cn/mw690/006r2HqOly1g&w=300", "wx1.sinaimg.cn/a/short",
      Utf8(u8"https://wx2.sinaimg.cn/orj360/ffffffff.jpg?名=值")};
  const std::optional<Reply> api = Exchange(port(), kCa, Post("/api/uids", Json(links).dump()));
  ASSERT_TRUE(api);
  ASSERT_EQ(api->status, 200);

  std::vector<std::string> arguments = {"--json"};
  arguments.insert(arguments.end(), links.begin(), links.end());
  const ProgramRun fromArguments = RunProgram(arguments, "");
  EXPECT_EQ(fromArguments.status, 1);
  EXPECT_EQ(fromArguments.out, api->body + "\n");

  std::string lines;
  for (const std::string& link : links) lines += link + "\n\n";
  const ProgramRun fromInput = RunProgram({"--json"}, lines);
  EXPECT_EQ(fromInput.status, 1);
  EXPECT_EQ(fromInput.out, api->body + "\n");

  const ProgramRun plain = RunProgram({}, links[0] + "\r\n" + links[2] + "\n");
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "2634877355\t" + links[0] + "\n5896401674\t" + links[2] + "\n");

  EXPECT_EQ(RunProgram({"--nonsense"}, "").status, 2);
}

}  // namespace
}  // namespace zentravo::lookup
