#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
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
  // One line per answered request goes here: UTC time, method, path (never the
  // query, which holds what the user looked up, nor the client's address), status
  // and the microseconds from the request's first byte to its answer sent.
  // nullptr: no log.
  std::FILE* requestLog = nullptr;
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

  // Loads the certificate and key from the settings' files again; connections
  // made from then on get the new pair, those already open keep theirs. When the
  // files do not make a usable pair, the current one stays and *error says why.
  bool ReloadCertificate(std::string* error);

  // Stops accepting and lets the connections end by themselves: each request
  // already begun is answered (with "Connection: close"), a connection with no
  // request under way is closed, one accepted but not yet asked anything gets a
  // moment to ask. Then Stop. False when connections were still open after limit
  // and Stop cut them off.
  bool Drain(std::chrono::milliseconds limit);

  // Stops accepting, closes every open connection and waits for the worker
  // threads to end. Safe to call more than once.
  void Stop();

 private:
  struct State;
  explicit LookupServer(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace zentravo::lookup
