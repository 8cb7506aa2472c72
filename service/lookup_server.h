#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zentravo::lookup {

struct ServerSettings {
  std::string address = "127.0.0.1";  // IPv4 or IPv6 literal to listen on
  std::uint16_t port = 443;            // 0: any free port (see LookupServer::port)
  std::string certificateFile;         // PEM: the server certificate, then its chain
  std::string keyFile;                 // PEM: the certificate's private key
  int threads = 0;                     // worker threads; 0: one per processor, at most 16
  // The TLS handshake, and each request from its first byte to its end, must
  // arrive within this; so must each response go out.
  std::chrono::milliseconds requestTimeout{15000};
  // A kept-alive connection is closed after this long without a new request.
  std::chrono::milliseconds idleTimeout{30000};
  // Connections served at once, and of those from one client address. When either
  // is reached, the connection idle longest between requests is closed to make
  // room; with none idle, the new connection is answered 503 with Retry-After.
  std::size_t maxConnections = 4096;
  std::size_t maxConnectionsPerClient = 64;
};

// The lookup service over HTTPS: answers each request with AnswerHttpRequest, keeps
// connections alive as the client asks, and closes any connection that is too slow,
// too large or not HTTP (after a 400, 413, 414 or 431 answer where one can be sent),
// or for which there is no room (after a 503 answer). What one request may make it
// hold is in request_limits.h, its TLS policy in tls_policy.h.
// Runs on its own worker threads from Start until Stop or destruction.
class LookupServer {
 public:
  // Loads the certificate and key, listens, and starts the worker threads.
  // Nothing, with *error set to a one-line reason, when any of that fails.
  static std::unique_ptr<LookupServer> Start(const ServerSettings& settings, std::string* error);

  LookupServer(const LookupServer&) = delete;
  LookupServer& operator=(const LookupServer&) = delete;
  ~LookupServer();  // Stop()

  // The port listened on (the one picked when the settings asked for 0).
  std::uint16_t port() const;

  // Stops accepting, closes every open connection and waits for the worker
  // threads to end. Safe to call more than once.
  void Stop();

 private:
  struct State;
  explicit LookupServer(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace zentravo::lookup
