#include "service/tls_stream.h"

#include <cerrno>
#include <limits>

#include <boost/asio/redirect_error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <openssl/err.h>

namespace zentravo::lookup {

namespace asio = boost::asio;

TlsStream::TlsStream(tcp::socket socket, SSL_CTX* context) : socket_(std::move(socket)) {
  error_code ignored;
  socket_.non_blocking(true, ignored);
  ssl_ = SSL_new(context);
  if (ssl_ && SSL_set_fd(ssl_, socket_.native_handle()) != 1) {
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  if (ssl_) SSL_set_mode(ssl_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
}

TlsStream::~TlsStream() {
  if (ssl_) SSL_free(ssl_);
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
    switch (SSL_get_error(ssl_, result)) {
      case SSL_ERROR_WANT_READ:
        co_await socket_.async_wait(tcp::socket::wait_read, asio::redirect_error(asio::use_awaitable, ec));
        break;
      case SSL_ERROR_WANT_WRITE:
        co_await socket_.async_wait(tcp::socket::wait_write, asio::redirect_error(asio::use_awaitable, ec));
        break;
      case SSL_ERROR_ZERO_RETURN:
        co_return std::pair{error_code(asio::error::eof), 0};
      case SSL_ERROR_SYSCALL: {
        const int error = errno;
        ERR_clear_error();
        co_return std::pair{error != 0 ? error_code(error, asio::error::get_system_category())
                                       : error_code(asio::error::eof),
                            0};
      }
      default:
        ERR_clear_error();
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
  error_code ec;
  co_await socket_.async_wait(tcp::socket::wait_read, asio::redirect_error(asio::use_awaitable, ec));
  co_return ec;
}

asio::awaitable<std::pair<TlsStream::error_code, std::size_t>> TlsStream::ReadSome(asio::mutable_buffer buffer) {
  const int size = static_cast<int>(std::min<std::size_t>(buffer.size(), std::numeric_limits<int>::max()));
  const auto [ec, read] = co_await Run([this, buffer, size] { return SSL_read(ssl_, buffer.data(), size); });
  co_return std::pair{ec, static_cast<std::size_t>(read)};
}

asio::awaitable<TlsStream::error_code> TlsStream::WriteAll(asio::const_buffer bytes) {
  const char* data = static_cast<const char*>(bytes.data());
  std::size_t left = bytes.size();
  while (left > 0) {
    const int size = static_cast<int>(std::min<std::size_t>(left, std::numeric_limits<int>::max()));
    const auto [ec, written] = co_await Run([this, data, size] { return SSL_write(ssl_, data, size); });
    if (ec) co_return ec;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  co_return error_code();
}

asio::awaitable<TlsStream::error_code> TlsStream::Shutdown() {
  // 0 means close_notify went out and the peer's has not come: enough here.
  const auto [ec, result] = co_await Run([this] {
    const int sent = SSL_shutdown(ssl_);
    return sent == 0 ? 1 : sent;
  });
  (void)result;
  co_return ec;
}

}  // namespace zentravo::lookup
