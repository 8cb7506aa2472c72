// The service's TLS policy as clients meet it: which versions and suites it
// accepts, whose order wins, and whether a returning client resumes its session.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <string>

#include "service/lookup_server.h"

namespace zentravo::lookup {
namespace {

const std::string kCertificates = ZENTRAVO_TEST_CERTIFICATES;

struct SessionFree {
  void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};
using Session = std::unique_ptr<SSL_SESSION, SessionFree>;

struct ClientOffer {
  int maxVersion = TLS1_3_VERSION;
  std::string tls12Ciphers = "ALL";  // what a TLS 1.2 client offers
  bool tickets = true;
};

struct Handshake {
  bool ok = false;
  std::string version;
  std::string cipher;
  bool resumed = false;
  bool alerted = false;  // refused with a TLS alert, not a connection dropped unexplained
  Session session;  // to resume with
};

// One connection that offers what offer says, resuming resume when given, and
// runs one lookup so that a TLS 1.3 server's ticket arrives.
Handshake Connect(std::uint16_t port, const ClientOffer& offer, SSL_SESSION* resume = nullptr) {
  std::signal(SIGPIPE, SIG_IGN);
  Handshake result;
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  timeval limit{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  SSL_CTX_set_max_proto_version(context, offer.maxVersion);
  SSL_CTX_set_min_proto_version(context, 0);
  SSL_CTX_set_security_level(context, 0);  // let the client offer old suites at all
  SSL_CTX_set_cipher_list(context, offer.tls12Ciphers.c_str());
  if (!offer.tickets) SSL_CTX_set_options(context, SSL_OP_NO_TICKET);
  SSL* ssl = SSL_new(context);
  SSL_set_tlsext_host_name(ssl, "localhost");
  if (resume) SSL_set_session(ssl, resume);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    SSL_set_fd(ssl, fd);
    if (SSL_connect(ssl) == 1) {
      result.ok = true;
      result.version = SSL_get_version(ssl);
      result.cipher = SSL_get_cipher_name(ssl);
      result.resumed = SSL_session_reused(ssl) == 1;
      const std::string request =
          "GET /weibo/brellik.php?url=wx1.sinaimg.cn/a/9d0d09ab HTTP/1.1\r\nHost: localhost\r\n"
          "Connection: close\r\n\r\n";
      SSL_write(ssl, request.data(), static_cast<int>(request.size()));
      char buffer[4096];
      while (SSL_read(ssl, buffer, sizeof buffer) > 0) {
      }
      // A session ended without close_notify counts as broken and is not resumable.
      SSL_shutdown(ssl);
      result.session.reset(SSL_get1_session(ssl));
    } else {
      // OpenSSL files an alert the peer sent under its own reason codes.
      const unsigned long error = ERR_peek_last_error();
      result.alerted = ERR_GET_LIB(error) == ERR_LIB_SSL && ERR_GET_REASON(error) >= SSL_AD_REASON_OFFSET;
    }
  }
  ERR_clear_error();
  SSL_free(ssl);
  SSL_CTX_free(context);
  ::close(fd);
  return result;
}

std::unique_ptr<LookupServer> StartServer(const std::string& certificateName) {
  ServerSettings settings;
  settings.address = "127.0.0.1";
  settings.port = 0;
  settings.certificateFile = kCertificates + "/" + certificateName + ".pem";
  settings.keyFile = kCertificates + "/" + certificateName + ".key";
  settings.threads = 1;
  std::string error;
  std::unique_ptr<LookupServer> server = LookupServer::Start(settings, &error);
  EXPECT_TRUE(server) << error;
  return server;
}

class TlsPolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = StartServer("localhost");
    ASSERT_TRUE(server_);
  }
  std::unique_ptr<LookupServer> server_;
};

TEST_F(TlsPolicyTest, AcceptsOnlyForwardSecretAeadSuitesInItsOwnOrder) {
  struct Row {
    std::string name;
    ClientOffer offer;
    bool accepted;
    std::string version;
    std::string cipher;
  } rows[] = {
      // The client lists AES-256 first; the server's order wins.
      {"TLS 1.3", {}, true, "TLSv1.3", "TLS_AES_128_GCM_SHA256"},
      {"TLS 1.2, ECDHE with GCM", {TLS1_2_VERSION, "ECDHE-ECDSA-AES128-GCM-SHA256"}, true, "TLSv1.2",
       "ECDHE-ECDSA-AES128-GCM-SHA256"},
      {"TLS 1.2, ECDHE with ChaCha20", {TLS1_2_VERSION, "ECDHE-ECDSA-CHACHA20-POLY1305"}, true, "TLSv1.2",
       "ECDHE-ECDSA-CHACHA20-POLY1305"},
      {"TLS 1.2, the server's order wins",
       {TLS1_2_VERSION, "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-AES128-GCM-SHA256"},
       true, "TLSv1.2", "ECDHE-ECDSA-AES128-GCM-SHA256"},
      {"TLS 1.2, RSA key exchange with CBC-SHA1", {TLS1_2_VERSION, "AES128-SHA"}, false, "", ""},
      {"TLS 1.2, RSA key exchange with GCM", {TLS1_2_VERSION, "AES128-GCM-SHA256"}, false, "", ""},
      {"TLS 1.2, ECDHE with CBC", {TLS1_2_VERSION, "ECDHE-ECDSA-AES128-SHA:ECDHE-ECDSA-AES256-SHA384"}, false, "",
       ""},
      {"TLS 1.1", {TLS1_1_VERSION, "ALL"}, false, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Handshake handshake = Connect(server_->port(), row.offer);
    EXPECT_EQ(handshake.ok, row.accepted);
    // A refused client is told why (handshake_failure, protocol_version).
    EXPECT_EQ(handshake.alerted, !row.accepted);
    if (handshake.ok) {
      EXPECT_EQ(handshake.version, row.version);
      if (!row.cipher.empty()) {
        EXPECT_EQ(handshake.cipher, row.cipher);
      }
    }
  }
}

// With an RSA certificate the suites without forward secrecy (RSA key exchange)
// and with CBC would be possible at all; they are refused all the same.
TEST(TlsPolicyWithRsaCertificate, AcceptsOnlyEcdheWithAead) {
  const std::unique_ptr<LookupServer> server = StartServer("localhost-rsa");
  ASSERT_TRUE(server);
  struct Row {
    std::string name;
    std::string ciphers;
    bool accepted;
  } rows[] = {
      {"AES128-SHA only", "AES128-SHA", false},
      {"RSA key exchange, CBC", "AES256-SHA256:AES128-SHA256:DES-CBC3-SHA", false},
      {"RSA key exchange, GCM", "AES128-GCM-SHA256:AES256-GCM-SHA384", false},
      {"ECDHE, CBC", "ECDHE-RSA-AES128-SHA:ECDHE-RSA-AES256-SHA384", false},
      {"finite-field DHE, GCM", "DHE-RSA-AES128-GCM-SHA256", false},
      {"ECDHE, GCM", "ECDHE-RSA-AES128-GCM-SHA256", true},
      {"ECDHE, ChaCha20", "ECDHE-RSA-CHACHA20-POLY1305", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Handshake handshake = Connect(server->port(), ClientOffer{TLS1_2_VERSION, row.ciphers});
    EXPECT_EQ(handshake.ok, row.accepted);
    EXPECT_EQ(handshake.alerted, !row.accepted);
    if (handshake.ok) {
      EXPECT_EQ(handshake.cipher, row.ciphers);
    }
  }
}

TEST_F(TlsPolicyTest, AReturningClientResumesItsSession) {
  struct Row {
    std::string name;
    ClientOffer offer;
  } rows[] = {
      {"TLS 1.3 ticket", {}},
      {"TLS 1.2 ticket", {TLS1_2_VERSION, "ALL", true}},
      {"TLS 1.2 session cache", {TLS1_2_VERSION, "ALL", false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Handshake first = Connect(server_->port(), row.offer);
    ASSERT_TRUE(first.ok);
    EXPECT_FALSE(first.resumed);
    ASSERT_TRUE(first.session);
    const Handshake second = Connect(server_->port(), row.offer, first.session.get());
    ASSERT_TRUE(second.ok);
    EXPECT_TRUE(second.resumed);
  }
}

}  // namespace
}  // namespace zentravo::lookup
