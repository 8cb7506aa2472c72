#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zentravo::lookup::testing {

struct Reply {
  int status = 0;
  std::map<std::string, std::string> headers;  // names lowered
  std::string body;

  std::string Header(const std::string& loweredName) const {
    auto it = headers.find(loweredName);
    return it == headers.end() ? std::string() : it->second;
  }
};

// A client connection to 127.0.0.1 that sends raw bytes, so tests control the
// request line byte for byte. Every wait is bounded by the given timeout.
class RawConnection {
 public:
  // Connects (from localAddress when one is given, any loopback address such as
  // "127.0.0.2"); with caFile set, completes a TLS handshake that checks the
  // server's certificate against it for the name "localhost". Nothing when that fails.
  static std::unique_ptr<RawConnection> Open(std::uint16_t port, const std::string& caFile,
                                             std::chrono::milliseconds timeout = std::chrono::seconds(10),
                                             const std::string& localAddress = "");
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Send(std::string_view bytes);

  // True when the peer has sent something not yet read, or closed; does not wait.
  bool PeerHasSpoken();

  // Reads one response (Content-Length bodies; none for a reply to HEAD).
  // Nothing when the connection ends or the timeout passes first.
  std::optional<Reply> Receive(bool replyToHead = false);

  // True when the peer closes the connection before the timeout passes; whatever
  // it sends until then (a TLS alert, say) is dropped.
  bool ClosedByPeer();

 private:
  RawConnection() = default;
  // Appends what arrives to received_; false at the end of the stream, on an
  // error or on timeout (which sets timedOut_).
  bool ReadMore();

  int socket_ = -1;
  struct TlsState;
  std::unique_ptr<TlsState> tls_;
  std::string received_;
  bool timedOut_ = false;
};

// One request on a fresh TLS connection, read to its reply.
std::optional<Reply> Exchange(std::uint16_t port, const std::string& caFile, std::string_view request,
                              bool replyToHead = false);

}  // namespace zentravo::lookup::testing
