// The zentravo-lookup-service program itself: its command line, the line it
// prints once it listens (scripts read the port from it), its request log, taking
// a renewed certificate on SIGHUP, and draining on SIGTERM.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/service/https_test_client.h"
#include "zentravo/version.h"

namespace zentravo::lookup {
namespace {

const std::string kProgram = ZENTRAVO_SERVICE_PROGRAM;
const std::string kCertificates = ZENTRAVO_TEST_CERTIFICATES;
const std::string kRenewed = ZENTRAVO_RENEWED_CERTIFICATES;
const std::string kLookup =
    "POST /weibo/brellik.php?url=https://wx1.sinaimg.cn/large/9d0d09ab.jpg HTTP/1.1\r\n"
    "Host: localhost\r\nContent-Length: 0\r\n\r\n";

// A child process with its stdout and stderr on one pipe; killed and reaped when
// the test leaves it running.
class Child {
 public:
  explicit Child(std::vector<std::string> arguments) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::dup2(fds[1], STDERR_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(kProgram.c_str()));
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(kProgram.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    output_ = fds[0];
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Output up to the first newline (or all of it, at its end); nothing on timeout.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const std::size_t newline = output_text_.find('\n');
      if (newline != std::string::npos) return output_text_.substr(0, newline);
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd poller{output_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&poller, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      char buffer[4096];
      const long got = ::read(output_, buffer, sizeof buffer);
      if (got <= 0) return output_text_;
      output_text_.append(buffer, static_cast<std::size_t>(got));
    }
  }

  // ReadLine, and the line read is taken out of what Wait collects.
  std::optional<std::string> TakeLine(std::chrono::milliseconds timeout) {
    std::optional<std::string> line = ReadLine(timeout);
    if (line) output_text_.erase(0, std::min(output_text_.size(), line->size() + 1));
    return line;
  }

  // All output until the child closes it; then its exit status (-1 on timeout or signal).
  int Wait(std::chrono::milliseconds timeout, std::string* output = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()))
               .has_value()) {
      const std::size_t newline = output_text_.find('\n');
      if (newline == std::string::npos) break;
      collected_ += output_text_.substr(0, newline + 1);
      output_text_.erase(0, newline + 1);
    }
    collected_ += output_text_;
    if (output) *output = collected_;
    for (;;) {
      int status = 0;
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      ::usleep(10000);
    }
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string output_text_;
  std::string collected_;
};

TEST(ServiceProgram, HelpAndBadArguments) {
  struct Row {
    std::vector<std::string> arguments;
    int exitCode;
    std::string outputStart;
  } rows[] = {
      {{"--help"}, 0, "Usage: "},
      {{"--version"}, 0, "zentravo-lookup-service " ZENTRAVO_VERSION "\n"},
      {{}, 2, kProgram + ": --cert is required\nUsage: "},
      {{"--cert", "c", "--key", "k", "--port", "x"}, 2, kProgram + ": --port wants"},
      {{"--cert", kCertificates + "/none.pem", "--key", "k", "--port", "0"}, 1,
       kProgram + ": cannot use the certificate"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments.empty() ? "(none)" : row.arguments[0]);
    Child child(row.arguments);
    std::string output;
    EXPECT_EQ(child.Wait(std::chrono::seconds(20), &output), row.exitCode);
    EXPECT_TRUE(output.starts_with(row.outputStart)) << output;
  }
}

TEST(ServiceProgram, SaysWhereItListensAnswersAndStopsOnSigterm) {
  Child child({"--address", "127.0.0.1", "--port", "0", "--cert", kCertificates + "/localhost.pem", "--key",
               kCertificates + "/localhost.key", "--threads", "1"});
  const std::optional<std::string> line = child.TakeLine(std::chrono::seconds(20));
  ASSERT_TRUE(line);
  const std::string prefix = "listening on https://127.0.0.1:";
  ASSERT_TRUE(line->starts_with(prefix)) << *line;
  const int port = std::stoi(line->substr(prefix.size()));

  const std::optional<testing::Reply> reply =
      testing::Exchange(static_cast<std::uint16_t>(port), kCertificates + "/ca.pem", kLookup);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "2634877355");

  // The log line holds time, status, duration and the path, but not the link
  // looked up nor who asked.
  const std::optional<std::string> logLine = child.TakeLine(std::chrono::seconds(20));
  ASSERT_TRUE(logLine);
  EXPECT_TRUE(std::regex_match(
      *logLine, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z 200 \d+us POST /weibo/brellik\.php)")))
      << *logLine;

  ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
  EXPECT_EQ(child.Wait(std::chrono::seconds(20)), 0);
}

// The service started on a certificate and key that a test may replace, as a
// renewal does.
class RunningService {
 public:
  RunningService() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zentravo-service-test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) directory_ = pattern;
    InstallPair(kCertificates + "/localhost.pem", kCertificates + "/localhost.key");
    child_.emplace(std::vector<std::string>{"--port", "0", "--cert", directory_ + "/cert.pem", "--key",
                                            directory_ + "/key.pem", "--threads", "2"});
    const std::optional<std::string> line = child_->TakeLine(std::chrono::seconds(20));
    const std::string prefix = "listening on https://127.0.0.1:";
    if (line && line->starts_with(prefix)) port_ = static_cast<std::uint16_t>(std::stoi(line->substr(prefix.size())));
  }
  ~RunningService() {
    child_.reset();
    if (!directory_.empty()) std::filesystem::remove_all(directory_);
  }

  void InstallPair(const std::string& certificate, const std::string& key) {
    const auto overwrite = std::filesystem::copy_options::overwrite_existing;
    std::filesystem::copy_file(certificate, directory_ + "/cert.pem", overwrite);
    std::filesystem::copy_file(key, directory_ + "/key.pem", overwrite);
  }

  // The next line of output that is not a request log line.
  std::optional<std::string> NextMessage() {
    for (;;) {
      std::optional<std::string> line = child_->TakeLine(std::chrono::seconds(20));
      if (!line || !std::regex_search(*line, std::regex(R"(^\d{4}-\d\d-\d\dT)"))) return line;
    }
  }

  std::uint16_t port() const { return port_; }
  Child& child() { return *child_; }

 private:
  std::string directory_;
  std::optional<Child> child_;
  std::uint16_t port_ = 0;
};

TEST(ServiceProgram, ServesARenewedCertificateAfterSighupAndKeepsItWhenTheNewPairIsBad) {
  RunningService service;
  ASSERT_NE(service.port(), 0);
  const std::string oldCa = kCertificates + "/ca.pem";
  const std::string newCa = kRenewed + "/ca.pem";
  // Opened before the renewal; must survive it.
  std::unique_ptr<testing::RawConnection> before = testing::RawConnection::Open(service.port(), oldCa);
  ASSERT_TRUE(before);

  service.InstallPair(kRenewed + "/localhost.pem", kRenewed + "/localhost.key");
  ASSERT_EQ(::kill(service.child().pid(), SIGHUP), 0);
  const std::optional<std::string> reloaded = service.NextMessage();
  ASSERT_TRUE(reloaded);
  EXPECT_NE(reloaded->find("loaded the certificate"), std::string::npos) << *reloaded;
  EXPECT_FALSE(testing::Exchange(service.port(), oldCa, kLookup)) << "the old certificate is still served";
  std::optional<testing::Reply> reply = testing::Exchange(service.port(), newCa, kLookup);
  ASSERT_TRUE(reply) << "the renewed certificate is not served";
  EXPECT_EQ(reply->body, "2634877355");

  ASSERT_TRUE(before->Send(kLookup));
  reply = before->Receive();
  ASSERT_TRUE(reply) << "the reload dropped an open connection";
  EXPECT_EQ(reply->status, 200);

  // A key that does not belong to the certificate, then a file that is no certificate.
  const struct {
    std::string certificate;
    std::string key;
  } badPairs[] = {
      {kCertificates + "/localhost.pem", kRenewed + "/localhost.key"},
      {kRenewed + "/localhost.key", kRenewed + "/localhost.key"},
  };
  for (const auto& bad : badPairs) {
    SCOPED_TRACE(bad.certificate + " " + bad.key);
    service.InstallPair(bad.certificate, bad.key);
    ASSERT_EQ(::kill(service.child().pid(), SIGHUP), 0);
    const std::optional<std::string> kept = service.NextMessage();
    ASSERT_TRUE(kept);
    EXPECT_NE(kept->find("kept the certificate in use"), std::string::npos) << *kept;
    reply = testing::Exchange(service.port(), newCa, kLookup);
    ASSERT_TRUE(reply) << "a bad pair replaced the working one";
    EXPECT_EQ(reply->status, 200);
  }
}

TEST(ServiceProgram, SigtermFinishesTheRequestUnderWayClosesIdleConnectionsAndExitsZero) {
  RunningService service;
  ASSERT_NE(service.port(), 0);
  const std::string ca = kCertificates + "/ca.pem";
  std::unique_ptr<testing::RawConnection> idle = testing::RawConnection::Open(service.port(), ca);
  std::unique_ptr<testing::RawConnection> slow = testing::RawConnection::Open(service.port(), ca);
  // Connected, but asks only after the signal, as a balancer's fresh connection may.
  std::unique_ptr<testing::RawConnection> fresh = testing::RawConnection::Open(service.port(), ca);
  ASSERT_TRUE(idle && slow && fresh);
  ASSERT_TRUE(idle->Send(kLookup));
  ASSERT_TRUE(idle->Receive());
  const std::size_t half = kLookup.size() / 2;
  ASSERT_TRUE(slow->Send(std::string_view(kLookup).substr(0, half)));
  // The first half must have reached the service before it is told to stop.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  ASSERT_EQ(::kill(service.child().pid(), SIGTERM), 0);
  EXPECT_TRUE(idle->ClosedByPeer()) << "a connection between requests was kept";
  ASSERT_TRUE(fresh->Send(kLookup));
  std::optional<testing::Reply> freshReply = fresh->Receive();
  ASSERT_TRUE(freshReply) << "a connection that had not asked yet was dropped";
  EXPECT_EQ(freshReply->status, 200);
  EXPECT_EQ(freshReply->Header("connection"), "close");
  bool refused = false;
  for (int i = 0; i < 100 && !refused; ++i) {
    refused = testing::RawConnection::Open(service.port(), "", std::chrono::milliseconds(200)) == nullptr;
    if (!refused) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(refused) << "still accepting after SIGTERM";

  ASSERT_TRUE(slow->Send(std::string_view(kLookup).substr(half)));
  const std::optional<testing::Reply> reply = slow->Receive();
  ASSERT_TRUE(reply) << "the request under way was dropped";
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->body, "2634877355");
  EXPECT_EQ(reply->Header("connection"), "close");
  EXPECT_EQ(service.child().Wait(std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace zentravo::lookup
