#include "service/lookup_server.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include "service/lookup_answer.h"
#include "service/routes.h"

namespace zentravo::lookup {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;
using boost::system::error_code;
using Clock = std::chrono::steady_clock;

// The program's header block repeats the whole address as its Referer, so the
// header must hold twice the longest target and then some.
constexpr std::uint32_t kHeaderLimit = 64 * 1024;
// Lookups carry no body; a little is tolerated, more is refused.
constexpr std::uint64_t kBodyLimit = 8 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::chrono::seconds kCloseTimeout{2};
constexpr std::chrono::seconds kLingerTime{2};
// After a failed accept (out of descriptors, say), wait instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetryPause{50};

// One client connection. Its socket's executor is the connection's strand, on
// which every step of it runs.
//
// Time limits: each step sets a deadline, and one watchdog per connection closes
// the socket once the deadline has passed, which makes the pending step fail.
// Moving a deadline is a plain store; a timer per read and write would cost the
// service a fifth of its rate under load.
class Connection {
 public:
  Connection(tcp::socket socket, ssl::context& tls) : stream_(std::move(socket), tls), watchdog_(stream_.get_executor()) {}

  ssl::stream<tcp::socket>& stream() { return stream_; }
  tcp::socket& socket() { return stream_.next_layer(); }

  void ExpireAfter(Clock::duration limit) {
    deadline_ = Clock::now() + limit;
    // The watchdog sleeps towards the deadline it last read; one moved earlier
    // (a request after a long idle wait, say) wakes it to read again.
    if (deadline_ < watchdog_.expiry()) watchdog_.cancel();
  }

  // Ends the connection: pending steps fail, the watchdog stops.
  void Close() {
    error_code ignored;
    socket().close(ignored);
    watchdog_.cancel();
  }

  // Runs until the connection is closed, closing it when a deadline passes.
  static asio::awaitable<void> Watch(std::shared_ptr<Connection> connection) {
    error_code ec;
    while (connection->socket().is_open()) {
      const Clock::time_point deadline = connection->deadline_;
      if (deadline <= Clock::now()) {
        connection->Close();
        co_return;
      }
      connection->watchdog_.expires_at(deadline);
      co_await connection->watchdog_.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    }
  }

 private:
  ssl::stream<tcp::socket> stream_;
  asio::steady_timer watchdog_;
  Clock::time_point deadline_ = Clock::time_point::max();
};

// The open connections, so that Stop can close them all.
class Connections {
 public:
  explicit Connections(std::size_t limit) : limit_(limit) {}

  // Registers connection and gives its key; 0 when stopping or when the limit is reached.
  std::uint64_t Add(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(mutex_);
    if (stopping_ || open_.size() >= limit_) return 0;
    const std::uint64_t key = next_++;
    open_.emplace(key, connection);
    return key;
  }

  void Remove(std::uint64_t key) {
    std::lock_guard lock(mutex_);
    open_.erase(key);
  }

  // From now on Add refuses; every registered connection is closed on its strand.
  void CloseAll() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& [key, weak] : open_) {
      if (std::shared_ptr<Connection> connection = weak.lock()) {
        asio::post(connection->socket().get_executor(), [weak = weak] {
          if (std::shared_ptr<Connection> open = weak.lock()) open->Close();
        });
      }
    }
  }

 private:
  std::mutex mutex_;
  bool stopping_ = false;
  std::uint64_t next_ = 1;
  const std::size_t limit_;
  std::unordered_map<std::uint64_t, std::weak_ptr<Connection>> open_;
};

// A connection's place in Connections for as long as it is served; closes it at the end.
class Registration {
 public:
  Registration(Connections& connections, std::shared_ptr<Connection> connection)
      : connections_(connections), connection_(std::move(connection)), key_(connections.Add(connection_)) {}
  ~Registration() {
    if (key_ != 0) connections_.Remove(key_);
    connection_->Close();
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  explicit operator bool() const { return key_ != 0; }

 private:
  Connections& connections_;
  const std::shared_ptr<Connection> connection_;
  const std::uint64_t key_;
};

struct Shared {
  ServerSettings settings;
  ssl::context tls{ssl::context::tls_server};
  Connections connections;
};

using RequestParser = http::request_parser<http::string_body>;

// The answer for a request that failed to parse; nothing for any other failure
// (the client went away, was too slow, or the connection broke), since there is
// nobody to answer then.
std::optional<Answer> AnswerReadFailure(const error_code& ec, const RequestParser& parser) {
  if (ec.category() != http::make_error_code(http::error::bad_target).category()) return std::nullopt;
  if (ec == http::error::header_limit) {
    // No target yet: the request line alone outgrew the limit.
    const std::size_t target = parser.get().target().size();
    return AnswerUnreadableRequest(target == 0 || target > kMaxTargetLength ? 414 : 431);
  }
  if (ec == http::error::body_limit) {
    const auto target = parser.get().target();
    return AnswerBodyTooLarge({target.data(), target.size()});
  }
  return AnswerUnreadableRequest(400);
}

// The response head and body as one run of bytes, so that it leaves in one TLS
// record. HTTP/1.0 clients keep the connection only when they asked to.
void FormatResponse(const Answer& answer, bool keepAlive, bool http10, bool headOnly, std::string& out) {
  const beast::string_view reason = http::obsolete_reason(static_cast<http::status>(answer.status));
  out.clear();
  out += "HTTP/1.1 ";
  out += std::to_string(answer.status);
  out += ' ';
  out.append(reason.data(), reason.size());
  out += "\r\n";
  // A 304 stands for the stored copy: it carries neither its type nor its length.
  if (answer.status != 304) {
    out += "Content-Type: ";
    out += answer.contentType;
    out += "\r\nContent-Length: ";
    out += std::to_string(answer.body.size());
    out += "\r\n";
  }
  for (const auto& [name, value] : answer.headers) {
    out += name;
    out += ": ";
    out += value;
    out += "\r\n";
  }
  if (!keepAlive) {
    out += "Connection: close\r\n";
  } else if (http10) {
    out += "Connection: keep-alive\r\n";
  }
  out += "\r\n";
  if (!headOnly) out += answer.body;
}

// The parser starts out allowing the largest body of any path and stops after the
// header; once the target is known, the body is held to its own path's limit and
// parsing goes on eagerly. False when the declared length is over that limit.
bool ApplyPathBodyLimit(RequestParser& parser) {
  const auto target = parser.get().target();
  const std::uint64_t limit = BodyLimitOfTarget({target.data(), target.size()}).value_or(kBodyLimit);
  const boost::optional<std::uint64_t> declared = parser.content_length();
  if (declared && *declared > limit) return false;
  parser.body_limit(limit);
  parser.eager(true);
  return true;
}

// Reads one request into parser, parsing what buffer already holds before asking
// the connection for more. Until the first byte of the request the idle timeout
// runs, then the request timeout. The error is the parser's when the request is
// malformed; any other error means the client went away or was too slow.
asio::awaitable<error_code> ReadRequest(Connection& connection, beast::flat_buffer& buffer, RequestParser& parser,
                                        const ServerSettings& settings) {
  bool started = false;
  bool pathLimitApplied = false;
  for (;;) {
    if (buffer.size() > 0) {
      if (!started) connection.ExpireAfter(settings.requestTimeout);
      started = true;
      error_code parseError;
      const std::size_t used = parser.put(buffer.data(), parseError);
      buffer.consume(used);
      if (parseError && parseError != http::error::need_more) co_return parseError;
      if (!pathLimitApplied && parser.is_header_done()) {
        pathLimitApplied = true;
        if (!ApplyPathBodyLimit(parser)) co_return http::error::body_limit;
      }
      if (!parseError && parser.is_done()) co_return error_code();
      // Parsing stops after the header; the body may already be in the buffer.
      if (used > 0 && buffer.size() > 0) continue;
    } else if (!started) {
      connection.ExpireAfter(settings.idleTimeout);
    }
    error_code ec;
    const std::size_t received = co_await connection.stream().async_read_some(
        buffer.prepare(kReadChunk), asio::redirect_error(asio::use_awaitable, ec));
    if (ec) co_return ec;
    buffer.commit(received);
  }
}

// Closes after an answer to a request that was not read to its end. Closing with
// unread bytes would make the kernel reset the connection, and the client could
// lose the answer before reading it; so the sending half closes first, and what
// the client still sends is read and dropped until it closes or kLingerTime passes.
asio::awaitable<void> LingeringClose(Connection& connection) {
  error_code ec;
  connection.socket().shutdown(tcp::socket::shutdown_send, ec);
  if (ec) co_return;
  connection.ExpireAfter(kLingerTime);
  std::array<char, 4096> scratch;
  while (!ec) {
    co_await connection.socket().async_read_some(asio::buffer(scratch),
                                                 asio::redirect_error(asio::use_awaitable, ec));
  }
}

asio::awaitable<void> Serve(Shared& shared, tcp::socket socket) {
  error_code ec;
  auto token = asio::redirect_error(asio::use_awaitable, ec);
  const ServerSettings& settings = shared.settings;

  socket.set_option(tcp::no_delay(true), ec);
  const auto connection = std::make_shared<Connection>(std::move(socket), shared.tls);
  const Registration registration(shared.connections, connection);
  if (!registration) co_return;
  connection->ExpireAfter(settings.requestTimeout);
  asio::co_spawn(connection->socket().get_executor(), Connection::Watch(connection), asio::detached);

  co_await connection->stream().async_handshake(ssl::stream_base::server, token);
  if (ec) co_return;

  beast::flat_buffer buffer;
  std::string out;
  for (;;) {
    RequestParser parser;
    parser.header_limit(kHeaderLimit);
    parser.body_limit(std::max(kBodyLimit, kLargestPathBodyLimit));
    parser.eager(false);  // until ApplyPathBodyLimit
    const error_code readError = co_await ReadRequest(*connection, buffer, parser, settings);

    if (readError) {
      const std::optional<Answer> answer = AnswerReadFailure(readError, parser);
      if (!answer) co_return;
      FormatResponse(*answer, false, false, false, out);
      connection->ExpireAfter(settings.requestTimeout);
      co_await asio::async_write(connection->stream(), asio::buffer(out), token);
      if (!ec) co_await LingeringClose(*connection);
      co_return;
    }

    const http::request<http::string_body>& request = parser.get();
    const auto method = request.method_string();
    const auto target = request.target();
    const auto ifNoneMatch = request[http::field::if_none_match];
    const bool keepAlive = request.keep_alive();
    FormatResponse(AnswerHttpRequest({{method.data(), method.size()},
                                      {target.data(), target.size()},
                                      request.body(),
                                      {ifNoneMatch.data(), ifNoneMatch.size()}}),
                   keepAlive, request.version() == 10, request.method() == http::verb::head, out);
    connection->ExpireAfter(settings.requestTimeout);
    co_await asio::async_write(connection->stream(), asio::buffer(out), token);
    if (ec) co_return;
    if (!keepAlive) break;
  }

  connection->ExpireAfter(kCloseTimeout);
  co_await connection->stream().async_shutdown(token);
}

}  // namespace

struct LookupServer::State {
  explicit State(const ServerSettings& settings, int threadCount)
      : shared{settings, ssl::context{ssl::context::tls_server}, Connections(settings.maxConnections)},
        io(threadCount) {}

  Shared shared;  // outlives the io_context, whose connections use it
  asio::io_context io;
  asio::strand<asio::io_context::executor_type> acceptStrand{asio::make_strand(io)};
  tcp::acceptor acceptor{acceptStrand};
  std::uint16_t port = 0;  // read once before the threads start
  std::vector<std::thread> threads;
};

namespace {

asio::awaitable<void> Accept(tcp::acceptor& acceptor, asio::io_context& io, Shared& shared) {
  error_code ec;
  auto token = asio::redirect_error(asio::use_awaitable, ec);
  for (;;) {
    tcp::socket socket = co_await acceptor.async_accept(asio::make_strand(io), token);
    if (!acceptor.is_open()) co_return;
    if (ec) {
      asio::steady_timer pause(acceptor.get_executor(), kAcceptRetryPause);
      co_await pause.async_wait(token);
      if (!acceptor.is_open()) co_return;
      continue;
    }
    const auto executor = socket.get_executor();
    asio::co_spawn(executor, Serve(shared, std::move(socket)), asio::detached);
  }
}

}  // namespace

LookupServer::LookupServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

LookupServer::~LookupServer() { Stop(); }

std::unique_ptr<LookupServer> LookupServer::Start(const ServerSettings& settings, std::string* error) {
  const int threadCount =
      settings.threads > 0 ? settings.threads
                           : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 16);
  auto state = std::make_unique<State>(settings, threadCount);
  error_code ec;

  ssl::context& tls = state->shared.tls;
  tls.set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                      ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 | ssl::context::single_dh_use,
                  ec);
  // A client asking to renegotiate over and over would cost handshakes for nothing.
  SSL_CTX_set_options(tls.native_handle(), SSL_OP_NO_RENEGOTIATION);
  if (!ec) tls.use_certificate_chain_file(settings.certificateFile, ec);
  if (ec) {
    *error = "cannot use the certificate " + settings.certificateFile + ": " + ec.message();
    return nullptr;
  }
  tls.use_private_key_file(settings.keyFile, ssl::context::pem, ec);
  if (ec) {
    *error = "cannot use the key " + settings.keyFile + ": " + ec.message();
    return nullptr;
  }

  const asio::ip::address address = asio::ip::make_address(settings.address, ec);
  if (ec) {
    *error = "not an IP address: " + settings.address;
    return nullptr;
  }
  const tcp::endpoint endpoint(address, settings.port);
  tcp::acceptor& acceptor = state->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    *error = "cannot listen on " + settings.address + " port " + std::to_string(settings.port) + ": " +
             ec.message();
    return nullptr;
  }
  state->port = acceptor.local_endpoint(ec).port();

  State& s = *state;
  asio::co_spawn(s.acceptStrand, Accept(s.acceptor, s.io, s.shared), asio::detached);
  for (int i = 0; i < threadCount; ++i) s.threads.emplace_back([&io = s.io] { io.run(); });
  return std::unique_ptr<LookupServer>(new LookupServer(std::move(state)));
}

std::uint16_t LookupServer::port() const { return state_->port; }

void LookupServer::Stop() {
  if (!state_ || state_->threads.empty()) return;
  state_->shared.connections.CloseAll();
  asio::post(state_->acceptStrand, [&acceptor = state_->acceptor] {
    error_code ignored;
    acceptor.close(ignored);
  });
  for (std::thread& thread : state_->threads) thread.join();
  state_->threads.clear();
}

}  // namespace zentravo::lookup
