// The zentravo-lookup-service program itself: its command line, the line it
// prints once it listens (scripts read the port from it), and stopping on SIGTERM.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/service/https_test_client.h"

namespace zentravo::lookup {
namespace {

const std::string kProgram = ZENTRAVO_SERVICE_PROGRAM;
const std::string kCertificates = ZENTRAVO_TEST_CERTIFICATES;

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
  const std::optional<std::string> line = child.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(line);
  const std::string prefix = "listening on https://127.0.0.1:";
  ASSERT_TRUE(line->starts_with(prefix)) << *line;
  const int port = std::stoi(line->substr(prefix.size()));

  const std::optional<testing::Reply> reply =
      testing::Exchange(static_cast<std::uint16_t>(port), kCertificates + "/ca.pem",
                        "POST /weibo/brellik.php?url=https://wx1.sinaimg.cn/large/9d0d09ab.jpg HTTP/1.1\r\n"
                        "Host: localhost\r\nContent-Length: 0\r\n\r\n");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "2634877355");

  ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
  EXPECT_EQ(child.Wait(std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace zentravo::lookup
