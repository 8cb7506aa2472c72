// The memory the service program holds through a burst of connections, measured
// on a build without sanitizers (their allocator pads and keeps what is freed).
// Loopback only: the clients come from 64 addresses of 127.0.0.0/8, a full share
// each, and every connection holds a request under way, the costliest idle state.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/service/https_test_client.h"

namespace zentravo::lookup {
namespace {

using namespace std::chrono_literals;

const std::string kProgram = ZENTRAVO_UNSANITIZED_SERVICE_PROGRAM;
const std::string kCertificates = ZENTRAVO_TEST_CERTIFICATES;
constexpr int kConnections = 4096;
constexpr int kPerAddress = 64;  // the service's default share per client
constexpr long kCapKiB = 256 * 1024;

// The service program on a free loopback port; killed and reaped at the end.
class ServiceProcess {
 public:
  ServiceProcess() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      const std::string cert = kCertificates + "/localhost.pem";
      const std::string key = kCertificates + "/localhost.key";
      ::execl(kProgram.c_str(), kProgram.c_str(), "--port", "0", "--threads", "2", "--cert", cert.c_str(), "--key",
              key.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string output;
    pollfd poller{fds[0], POLLIN, 0};
    while (output.find('\n') == std::string::npos && ::poll(&poller, 1, 10000) > 0) {
      char buffer[256];
      const long got = ::read(fds[0], buffer, sizeof buffer);
      if (got <= 0) break;
      output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    const std::size_t colon = output.rfind(':');
    if (output.starts_with("listening on ") && colon != std::string::npos) {
      port_ = static_cast<std::uint16_t>(std::stoi(output.substr(colon + 1)));
    }
  }
  ~ServiceProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  std::uint16_t port() const { return port_; }

  // Resident memory now, in KiB; -1 when it cannot be read.
  long ResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

struct Client {
  int fd = -1;
  SSL* ssl = nullptr;
};

// A TLS connection from localAddress with a request line sent and the rest of
// the request to come; nothing on failure.
std::optional<Client> OpenBusyConnection(SSL_CTX* context, std::uint16_t port, const std::string& localAddress) {
  Client client;
  client.fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  client.ssl = SSL_new(context);
  const std::string_view requestLine = "GET /weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab HTTP/1.1\r\n";
  if (client.fd < 0 || !client.ssl || ::bind(client.fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(client.fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 ||
      SSL_set_fd(client.ssl, client.fd) != 1 || SSL_connect(client.ssl) != 1 ||
      SSL_write(client.ssl, requestLine.data(), static_cast<int>(requestLine.size())) <= 0) {
    ERR_clear_error();
    if (client.ssl) SSL_free(client.ssl);
    if (client.fd >= 0) ::close(client.fd);
    return std::nullopt;
  }
  return client;
}

TEST(ServiceMemory, StaysUnderItsCapThroughABurstAndGivesMemoryBack) {
  std::signal(SIGPIPE, SIG_IGN);
  rlimit descriptors{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &descriptors), 0);
  ASSERT_GE(descriptors.rlim_max, static_cast<rlim_t>(kConnections + 256))
      << "this test needs " << kConnections + 256 << " open files; the hard limit allows " << descriptors.rlim_max;
  descriptors.rlim_cur = descriptors.rlim_max;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &descriptors), 0);

  ServiceProcess service;
  ASSERT_NE(service.port(), 0) << "the service program did not start: " << kProgram;
  const long startKiB = service.ResidentKiB();
  ASSERT_GT(startKiB, 0);

  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  ASSERT_TRUE(context);
  std::vector<Client> clients;
  clients.reserve(kConnections);
  for (int i = 0; i < kConnections; ++i) {
    const std::string address = "127.0.1." + std::to_string(1 + i / kPerAddress);
    std::optional<Client> client = OpenBusyConnection(context, service.port(), address);
    ASSERT_TRUE(client) << "connection " << i << " from " << address;
    clients.push_back(*client);
  }
  std::this_thread::sleep_for(300ms);  // the last request lines reach the server
  const long peakKiB = service.ResidentKiB();
  EXPECT_LT(peakKiB, kCapKiB) << "with " << kConnections << " connections open";

  for (Client& client : clients) {
    SSL_free(client.ssl);
    ::close(client.fd);
  }
  SSL_CTX_free(context);

  // Given back within a few seconds: at least half of what the burst added.
  const long wantedKiB = startKiB + (peakKiB - startKiB) / 2;
  long afterKiB = peakKiB;
  for (int wait = 0; wait < 50 && afterKiB > wantedKiB; ++wait) {
    std::this_thread::sleep_for(100ms);
    afterKiB = service.ResidentKiB();
  }
  EXPECT_LE(afterKiB, wantedKiB) << "started at " << startKiB << " KiB, peaked at " << peakKiB << " KiB";
  EXPECT_LT(afterKiB, kCapKiB);
  std::printf("resident memory: %ld KiB at the start, %ld KiB with %d connections, %ld KiB after them\n", startKiB,
              peakKiB, kConnections, afterKiB);

  // And it still answers.
  const std::optional<testing::Reply> reply =
      testing::Exchange(service.port(), kCertificates + "/ca.pem",
                        "GET /weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab HTTP/1.1\r\nHost: localhost\r\n\r\n");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
}

}  // namespace
}  // namespace zentravo::lookup
