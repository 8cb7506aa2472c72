#include "tests/service/https_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cerrno>
#include <cstdlib>

namespace zentravo::lookup::testing {

struct RawConnection::TlsState {
  SSL_CTX* context = nullptr;
  SSL* ssl = nullptr;
  ~TlsState() {
    if (ssl) SSL_free(ssl);
    if (context) SSL_CTX_free(context);
  }
};

std::unique_ptr<RawConnection> RawConnection::Open(std::uint16_t port, const std::string& caFile,
                                                   std::chrono::milliseconds timeout,
                                                   const std::string& localAddress) {
  // A server that closes first must not end the test program with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  std::unique_ptr<RawConnection> connection(new RawConnection);
  connection->socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (connection->socket_ < 0) return nullptr;
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  limit.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  ::setsockopt(connection->socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(connection->socket_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);

  if (!localAddress.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr) != 1 ||
        ::bind(connection->socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      return nullptr;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(connection->socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return nullptr;
  }
  if (caFile.empty()) return connection;

  auto tls = std::make_unique<TlsState>();
  tls->context = SSL_CTX_new(TLS_client_method());
  if (!tls->context || SSL_CTX_load_verify_locations(tls->context, caFile.c_str(), nullptr) != 1) {
    return nullptr;
  }
  SSL_CTX_set_verify(tls->context, SSL_VERIFY_PEER, nullptr);
  tls->ssl = SSL_new(tls->context);
  if (!tls->ssl) return nullptr;
  SSL_set_tlsext_host_name(tls->ssl, "localhost");
  SSL_set1_host(tls->ssl, "localhost");
  SSL_set_fd(tls->ssl, connection->socket_);
  if (SSL_connect(tls->ssl) != 1) return nullptr;
  connection->tls_ = std::move(tls);
  return connection;
}

RawConnection::~RawConnection() {
  tls_.reset();
  if (socket_ >= 0) ::close(socket_);
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
    const long sent = tls_ ? SSL_write(tls_->ssl, bytes.data(), chunk)
                           : ::send(socket_, bytes.data(), static_cast<std::size_t>(chunk), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool RawConnection::PeerHasSpoken() {
  if (!received_.empty() || (tls_ && SSL_pending(tls_->ssl) > 0)) return true;
  pollfd poller{socket_, POLLIN, 0};
  if (::poll(&poller, 1, 0) <= 0) return false;
  if (!tls_) return true;
  // Readable bytes may be TLS records without data (session tickets): read what is
  // there without waiting, and judge by what it held.
  const int flags = ::fcntl(socket_, F_GETFL);
  ::fcntl(socket_, F_SETFL, flags | O_NONBLOCK);
  char buffer[16384];
  const int got = SSL_read(tls_->ssl, buffer, sizeof buffer);
  const int error = got > 0 ? SSL_ERROR_NONE : SSL_get_error(tls_->ssl, got);
  ERR_clear_error();
  ::fcntl(socket_, F_SETFL, flags);
  if (got > 0) received_.append(buffer, static_cast<std::size_t>(got));
  return got > 0 || (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE);
}

bool RawConnection::ReadMore() {
  char buffer[16384];
  long got;
  bool timedOut;
  if (tls_) {
    got = SSL_read(tls_->ssl, buffer, sizeof buffer);
    // A blocking socket whose receive timeout passed makes OpenSSL ask to read again.
    timedOut = got <= 0 && SSL_get_error(tls_->ssl, static_cast<int>(got)) == SSL_ERROR_WANT_READ;
    ERR_clear_error();
  } else {
    got = ::recv(socket_, buffer, sizeof buffer, 0);
    timedOut = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
  if (got <= 0) {
    timedOut_ = timedOut;
    return false;
  }
  received_.append(buffer, static_cast<std::size_t>(got));
  return true;
}

std::optional<Reply> RawConnection::Receive(bool replyToHead) {
  std::size_t headerEnd;
  while ((headerEnd = received_.find("\r\n\r\n")) == std::string::npos) {
    if (!ReadMore()) return std::nullopt;
  }
  const std::string head = received_.substr(0, headerEnd);
  received_.erase(0, headerEnd + 4);

  Reply reply;
  const std::size_t statusLineEnd = std::min(head.find("\r\n"), head.size());
  const std::string statusLine = head.substr(0, statusLineEnd);
  if (!statusLine.starts_with("HTTP/1.") || statusLine.size() < 12) return std::nullopt;
  reply.status = std::atoi(statusLine.c_str() + 9);

  std::size_t lineStart = statusLineEnd + 2;
  while (lineStart < head.size()) {
    const std::size_t lineEnd = std::min(head.find("\r\n", lineStart), head.size());
    const std::string line = head.substr(lineStart, lineEnd - lineStart);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string name = line.substr(0, colon);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      std::string value = line.substr(colon + 1);
      value.erase(0, value.find_first_not_of(' '));
      reply.headers[name] = value;
    }
    lineStart = lineEnd + 2;
  }

  const std::size_t length = replyToHead ? 0 : std::strtoul(reply.Header("content-length").c_str(), nullptr, 10);
  while (received_.size() < length) {
    if (!ReadMore()) return std::nullopt;
  }
  reply.body = received_.substr(0, length);
  received_.erase(0, length);
  return reply;
}

bool RawConnection::ClosedByPeer() {
  while (ReadMore()) received_.clear();
  received_.clear();
  return !timedOut_;
}

std::optional<Reply> Exchange(std::uint16_t port, const std::string& caFile, std::string_view request,
                              bool replyToHead) {
  std::unique_ptr<RawConnection> connection = RawConnection::Open(port, caFile);
  if (!connection || !connection->Send(request)) return std::nullopt;
  return connection->Receive(replyToHead);
}

}  // namespace zentravo::lookup::testing
