#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include <boost/asio/awaitable.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <openssl/ssl.h>

namespace zentravo::lookup {

// TLS on a non-blocking socket, with OpenSSL reading the socket itself and the
// coroutine waiting for readiness in between. Compared with asio's ssl::stream
// this copies no record through a BIO pair, and an idle connection holds only
// the SSL object, whose record buffers OpenSSL gives back while idle
// (SSL_MODE_RELEASE_BUFFERS).
//
// The records OpenSSL writes are gathered and sent together before the stream
// waits for the peer, at the end of WriteAll and at Shutdown: the session ticket
// that ends a TLS 1.3 handshake, the answer and close_notify then leave in one
// send and one segment instead of three, which on a connection per request is a
// good part of the server's system time.
//
// Every step must run on the socket's strand; closing the socket (from that
// strand) ends a pending step with an error, and no step touches OpenSSL again.
class TlsStream {
 public:
  using error_code = boost::system::error_code;
  using tcp = boost::asio::ip::tcp;

  TlsStream(tcp::socket socket, SSL_CTX* context);
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  tcp::socket& socket() { return socket_; }

  // The server's side of the handshake.
  boost::asio::awaitable<error_code> Handshake();

  // Returns once there is something to read: decrypted bytes OpenSSL already
  // holds, or bytes on the socket. Lets an idle connection wait without a buffer.
  boost::asio::awaitable<error_code> WaitReadable();

  // Reads what is there, at least one byte; eof when the peer has closed.
  boost::asio::awaitable<std::pair<error_code, std::size_t>> ReadSome(boost::asio::mutable_buffer buffer);

  // Writes all of bytes. With more, the records stay gathered for what follows
  // at once (Shutdown, say) instead of being sent now.
  boost::asio::awaitable<error_code> WriteAll(boost::asio::const_buffer bytes, bool more = false);

  // Sends close_notify, with whatever is still gathered; does not wait for the peer's.
  boost::asio::awaitable<error_code> Shutdown();

 private:
  // Runs step (an OpenSSL call) until it succeeds, waiting for the socket as
  // OpenSSL asks; its result, or an error.
  template <typename Step>
  boost::asio::awaitable<std::pair<error_code, int>> Run(Step step);

  // Sends the gathered records, waiting for room on the socket as needed, and
  // gives their memory back.
  boost::asio::awaitable<error_code> Flush();

  // OpenSSL's view of the socket: reads go straight to it, writes to unsent_.
  static int BioWrite(BIO* bio, const char* data, std::size_t size, std::size_t* written);
  static int BioRead(BIO* bio, char* data, std::size_t size, std::size_t* read);
  static long BioControl(BIO* bio, int command, long number, void* pointer);

  tcp::socket socket_;
  SSL* ssl_ = nullptr;
  std::string unsent_;  // records OpenSSL wrote that have not gone out yet
};

}  // namespace zentravo::lookup
