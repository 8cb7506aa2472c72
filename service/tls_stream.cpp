#include "service/tls_stream.h"

#include <cerrno>
#include <algorithm>
#include <limits>

#include <sys/socket.h>
#include <sys/types.h>

#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <openssl/bio.h>
#include <openssl/err.h>

namespace zentravo::lookup {

namespace asio = boost::asio;

namespace {

// The most one SSL_write is given, so that a large answer leaves as it is
// written instead of gathering whole.
constexpr std::size_t kSendChunk = 64 * 1024;

// The BIO type of TlsStream's socket, made once and kept for the process.
BIO_METHOD* StreamBioMethod(int (*write)(BIO*, const char*, std::size_t, std::size_t*),
                            int (*read)(BIO*, char*, std::size_t, std::size_t*),
                            long (*control)(BIO*, int, long, void*)) {
  static BIO_METHOD* const method = [&] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zentravo tls stream");
    if (made && (BIO_meth_set_write_ex(made, write) != 1 || BIO_meth_set_read_ex(made, read) != 1 ||
                 BIO_meth_set_ctrl(made, control) != 1)) {
      BIO_meth_free(made);
      made = nullptr;
    }
    return made;
  }();
  return method;
}

}  // namespace

TlsStream::TlsStream(tcp::socket socket, SSL_CTX* context) : socket_(std::move(socket)) {
  error_code ignored;
  socket_.non_blocking(true, ignored);
  BIO_METHOD* method = StreamBioMethod(&TlsStream::BioWrite, &TlsStream::BioRead, &TlsStream::BioControl);
  BIO* bio = method ? BIO_new(method) : nullptr;
  ssl_ = bio ? SSL_new(context) : nullptr;
  if (!ssl_) {
    BIO_free(bio);
    return;
  }
  BIO_set_data(bio, this);
  BIO_set_init(bio, 1);
  SSL_set_bio(ssl_, bio, bio);  // the SSL object owns it from here
  SSL_set_mode(ssl_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
}

TlsStream::~TlsStream() {
  if (ssl_) SSL_free(ssl_);
}

int TlsStream::BioWrite(BIO* bio, const char* data, std::size_t size, std::size_t* written) {
  auto* stream = static_cast<TlsStream*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  stream->unsent_.append(data, size);
  *written = size;
  return 1;
}

int TlsStream::BioRead(BIO* bio, char* data, std::size_t size, std::size_t* read) {
  auto* stream = static_cast<TlsStream*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  *read = 0;
  for (;;) {
    const ssize_t received = ::recv(stream->socket_.native_handle(), data, size, 0);
    if (received > 0) {
      *read = static_cast<std::size_t>(received);
      return 1;
    }
    if (received == 0) {
      // As OpenSSL's socket BIO reports it, so that an end without close_notify
      // counts as the same failure as before.
      BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_read(bio);
    return 0;  // errno says why, for SSL_ERROR_SYSCALL
  }
}

long TlsStream::BioControl(BIO* bio, int command, long, void*) {
  switch (command) {
    case BIO_CTRL_FLUSH:
      return 1;  // the stream sends what is gathered when it must
    case BIO_CTRL_EOF:
      return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0 ? 1 : 0;
    case BIO_CTRL_WPENDING:
      return static_cast<long>(static_cast<TlsStream*>(BIO_get_data(bio))->unsent_.size());
    default:
      return 0;
  }
}

asio::awaitable<TlsStream::error_code> TlsStream::Flush() {
  error_code ec;
  std::size_t sent = 0;
  while (sent < unsent_.size()) {
    if (!socket_.is_open()) {
      ec = asio::error::bad_descriptor;
      break;
    }
    const ssize_t result =
        ::send(socket_.native_handle(), unsent_.data() + sent, unsent_.size() - sent, MSG_NOSIGNAL);
    if (result >= 0) {
      sent += static_cast<std::size_t>(result);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      ec = error_code(errno, asio::error::get_system_category());
      break;
    }
    co_await socket_.async_wait(tcp::socket::wait_write, asio::redirect_error(asio::use_awaitable, ec));
    if (ec) break;
  }
  // An idle connection keeps no buffer.
  std::string().swap(unsent_);
  co_return ec;
}

template <typename Step>
asio::awaitable<std::pair<TlsStream::error_code, int>> TlsStream::Run(Step step) {
  error_code ec;
  for (;;) {
    // The descriptor number may belong to another connection once closed.
    if (!ssl_ || !socket_.is_open()) co_return std::pair{error_code(asio::error::bad_descriptor), 0};
    ERR_clear_error();
    errno = 0;
    const int result = step();
    if (result > 0) co_return std::pair{error_code(), result};
    const int error = errno;
    switch (SSL_get_error(ssl_, result)) {
      case SSL_ERROR_WANT_READ:
        // The peer may be waiting for what was gathered (a handshake flight).
        ec = co_await Flush();
        if (!ec) {
          co_await socket_.async_wait(tcp::socket::wait_read, asio::redirect_error(asio::use_awaitable, ec));
        }
        break;
      case SSL_ERROR_WANT_WRITE:
        ec = co_await Flush();
        break;
      case SSL_ERROR_ZERO_RETURN:
        co_return std::pair{error_code(asio::error::eof), 0};
      case SSL_ERROR_SYSCALL: {
        ERR_clear_error();
        co_return std::pair{error != 0 ? error_code(error, asio::error::get_system_category())
                                       : error_code(asio::error::eof),
                            0};
      }
      default:
        ERR_clear_error();
        // The alert that says why goes out, as far as the socket takes it.
        co_await Flush();
        co_return std::pair{error_code(asio::error::connection_aborted), 0};
    }
    if (ec) co_return std::pair{ec, 0};
  }
}

asio::awaitable<TlsStream::error_code> TlsStream::Handshake() {
  co_return (co_await Run([this] { return SSL_accept(ssl_); })).first;
}

asio::awaitable<TlsStream::error_code> TlsStream::WaitReadable() {
  if (!ssl_ || !socket_.is_open()) co_return error_code(asio::error::bad_descriptor);
  if (SSL_has_pending(ssl_)) co_return error_code();
  error_code ec = co_await Flush();
  if (ec) co_return ec;
  co_await socket_.async_wait(tcp::socket::wait_read, asio::redirect_error(asio::use_awaitable, ec));
  co_return ec;
}

asio::awaitable<std::pair<TlsStream::error_code, std::size_t>> TlsStream::ReadSome(asio::mutable_buffer buffer) {
  const int size = static_cast<int>(std::min<std::size_t>(buffer.size(), std::numeric_limits<int>::max()));
  const auto [ec, read] = co_await Run([this, buffer, size] { return SSL_read(ssl_, buffer.data(), size); });
  co_return std::pair{ec, static_cast<std::size_t>(read)};
}

asio::awaitable<TlsStream::error_code> TlsStream::WriteAll(asio::const_buffer bytes, bool more) {
  const char* data = static_cast<const char*>(bytes.data());
  std::size_t left = bytes.size();
  while (left > 0) {
    const int size = static_cast<int>(std::min(left, kSendChunk));
    const auto [ec, written] = co_await Run([this, data, size] { return SSL_write(ssl_, data, size); });
    if (ec) co_return ec;
    data += written;
    left -= static_cast<std::size_t>(written);
    if (left > 0) {
      if (const error_code sent = co_await Flush()) co_return sent;
    }
  }
  if (more) co_return error_code();
  co_return co_await Flush();
}

asio::awaitable<TlsStream::error_code> TlsStream::Shutdown() {
  // 0 means close_notify went out and the peer's has not come: enough here.
  const auto [ec, result] = co_await Run([this] {
    const int sent = SSL_shutdown(ssl_);
    return sent == 0 ? 1 : sent;
  });
  (void)result;
  // What was gathered (the last answer) leaves even when close_notify could not
  // be made.
  const error_code sent = co_await Flush();
  co_return ec ? ec : sent;
}

}  // namespace zentravo::lookup
