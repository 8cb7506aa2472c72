#include "service/lookup_server.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <stdexcept>
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

#include "service/connection_limits.h"
#include "service/lookup_answer.h"
#include "service/memory_release.h"
#include "service/request_limits.h"
#include "service/tls_policy.h"
#include "service/tls_stream.h"

namespace zentravo::lookup {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;
using boost::system::error_code;
using Clock = std::chrono::steady_clock;

// One TLS record's worth.
constexpr std::size_t kReadChunk = 16 * 1024;
// The read buffer never holds more than a full header and one read beyond it.
constexpr std::size_t kReadBufferLimit = kHeaderLimit + kReadChunk;
constexpr std::chrono::seconds kCloseTimeout{2};
constexpr std::chrono::seconds kLingerTime{2};
// A client refused for want of room gets this long to take its answer, and is
// told to come back after this many seconds.
constexpr std::chrono::seconds kRefusalTimeout{5};
constexpr int kRetryAfterSeconds = 5;
// Refusals under way at once; connections beyond those are closed unanswered.
constexpr std::size_t kMaxRefusing = 256;
// How often the server looks whether a burst of connections has passed, and how
// many connections fewer than the peak count as one; their memory is then given
// back to the system.
constexpr std::chrono::seconds kMemoryCheckInterval{1};
constexpr std::size_t kBurstConnections = 256;
// After a failed accept (out of descriptors, say), wait instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetryPause{50};

// One client connection. Its socket's executor is the connection's strand, on
// which every step of it runs.
//
// Time limits: each step sets a deadline, and one watchdog per connection closes
// the socket once the deadline has passed, which makes the pending step fail.
// Moving a deadline is a plain store; a timer per read and write would cost the
// service a fifth of its rate under load.
class Connection : public TrackedConnection, public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, ssl::context& tls)
      : stream_(std::move(socket), tls.native_handle()), watchdog_(stream_.socket().get_executor()) {}

  TlsStream& stream() { return stream_; }
  tcp::socket& socket() { return stream_.socket(); }

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

  // From other threads: the closing happens on the connection's strand, where the
  // idle mark is also set and cleared.
  void CloseIfStillIdle() override {
    asio::post(watchdog_.get_executor(), [weak = weak_from_this()] {
      if (std::shared_ptr<Connection> open = weak.lock(); open && open->idle()) open->Close();
    });
  }
  void CloseNow() override {
    asio::post(watchdog_.get_executor(), [weak = weak_from_this()] {
      if (std::shared_ptr<Connection> open = weak.lock()) open->Close();
    });
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
  TlsStream stream_;
  asio::steady_timer watchdog_;
  Clock::time_point deadline_ = Clock::time_point::max();
};

// A connection's place in the table for as long as it is served; closes it at the end.
class Registration {
 public:
  Registration(ConnectionTable& table, const std::string& client, std::shared_ptr<Connection> connection)
      : table_(table), connection_(std::move(connection)), admission_(table.Admit(client, connection_, &key_)) {}
  ~Registration() {
    if (admission_ != Admission::kDrop) table_.Remove(key_);
    connection_->Close();
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  Admission admission() const { return admission_; }

 private:
  ConnectionTable& table_;
  const std::shared_ptr<Connection> connection_;
  ConnectionTable::Key key_ = 0;
  const Admission admission_;
};

// The client's address as the table counts it: an IPv4 client reaching an IPv6
// socket is the same client as over IPv4. Taken from what accept reported, which
// spares a getpeername call per connection.
std::string ClientAddress(const tcp::endpoint& peer) {
  asio::ip::address address = peer.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  }
  return address.to_string();
}

struct Shared {
  ServerSettings settings;
  ssl::context tls{ssl::context::tls_server};
  ConnectionTable connections;
};

using RequestParser = http::request_parser<http::string_body>;

// How reading a request ended: an error (none when a request was read) and, for a
// request the server refuses to read further, the status to answer it with.
struct ReadResult {
  error_code error;
  int refusal = 0;  // 0, 413 or 431
};

// The answer for a request that failed to parse or was refused; nothing for any
// other failure (the client went away, was too slow, or the connection broke),
// since there is nobody to answer then.
std::optional<Answer> AnswerReadFailure(const ReadResult& result, const RequestParser& parser) {
  if (result.refusal != 0) return AnswerUnreadableRequest(result.refusal);
  const error_code& ec = result.error;
  if (ec.category() != http::make_error_code(http::error::bad_target).category()) return std::nullopt;
  if (ec == http::error::header_limit) {
    // No target yet: the request line alone outgrew the limit.
    const std::size_t target = parser.get().target().size();
    return AnswerUnreadableRequest(target == 0 || target > kMaxTargetLength ? 414 : 431);
  }
  if (ec == http::error::body_limit) return AnswerUnreadableRequest(413);
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
  out += "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: ";
  out += std::to_string(answer.body.size());
  out += "\r\n";
  if (answer.status == 405) out += "Allow: GET, HEAD, POST\r\n";
  if (answer.status == 503) out += "Retry-After: " + std::to_string(kRetryAfterSeconds) + "\r\n";
  if (!keepAlive) {
    out += "Connection: close\r\n";
  } else if (http10) {
    out += "Connection: keep-alive\r\n";
  }
  out += "\r\n";
  if (!headOnly) out += answer.body;
}

// Reads one request into parser, parsing what buffer already holds before asking
// the connection for more. Until the first byte of the request the idle timeout
// runs, then the request timeout. The error is the parser's when the request is
// malformed; any other error means the client went away or was too slow. A request
// that outgrows what the server holds of one (request_limits.h) is refused.
asio::awaitable<ReadResult> ReadRequest(Connection& connection, beast::flat_buffer& buffer, RequestParser& parser,
                                        const ServerSettings& settings) {
  bool started = false;
  std::uint64_t parsed = 0;  // bytes of this request the parser has taken
  for (;;) {
    if (buffer.size() > 0) {
      if (!started) {
        connection.ExpireAfter(settings.requestTimeout);
        connection.MarkIdle(false);
      }
      started = true;
      error_code parseError;
      std::size_t used = 0;
      try {
        used = parser.put(buffer.data(), parseError);
      } catch (const std::length_error&) {
        // A single field longer than the parser stores (a trailer, say).
        co_return ReadResult{{}, 431};
      } catch (const std::exception&) {
        co_return ReadResult{http::error::bad_value, 0};
      }
      buffer.consume(used);
      parsed += used;
      if (parseError && parseError != http::error::need_more) co_return ReadResult{parseError, 0};
      if (!parseError && parser.is_done()) co_return ReadResult{};
      // Parsing stops after the header; the body may already be in the buffer.
      if (used > 0 && buffer.size() > 0) continue;
      // What the parser still waits for belongs to this request alone.
      if (parser.is_header_done()) {
        if (buffer.size() > kChunkFramingLimit) {
          const auto unparsed = static_cast<const char*>(buffer.data().data());
          co_return ReadResult{{}, OversizedChunkFramingStatus({unparsed, buffer.size()})};
        }
        if (parsed + buffer.size() > kRequestLimit) co_return ReadResult{{}, 413};
      }
    } else if (!started) {
      connection.ExpireAfter(settings.idleTimeout);
    }
    if (buffer.size() == 0) {
      // An idle connection waits without a read buffer.
      buffer.shrink_to_fit();
      const error_code ready = co_await connection.stream().WaitReadable();
      if (ready) co_return ReadResult{ready, 0};
    }
    const auto [ec, received] = co_await connection.stream().ReadSome(buffer.prepare(kReadChunk));
    if (ec) co_return ReadResult{ec, 0};
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

asio::awaitable<void> Serve(Shared& shared, tcp::socket socket, tcp::endpoint peer) {
  error_code ec;
  const ServerSettings& settings = shared.settings;

  socket.set_option(tcp::no_delay(true), ec);
  const std::string client = ClientAddress(peer);
  const auto connection = std::make_shared<Connection>(std::move(socket), shared.tls);
  const Registration registration(shared.connections, client, connection);
  if (registration.admission() == Admission::kDrop) co_return;
  const bool refused = registration.admission() == Admission::kRefuse;
  connection->ExpireAfter(refused ? std::min<Clock::duration>(settings.requestTimeout, kRefusalTimeout)
                                  : settings.requestTimeout);
  asio::co_spawn(connection->socket().get_executor(), Connection::Watch(connection), asio::detached);

  // Registering the new socket with epoll reported it readable (the ClientHello is
  // usually there), and that report is queued behind this coroutine. Starting the
  // handshake after it has been taken keeps it from waking the first wait for the
  // client's Finished for nothing: a failed read and a re-arm per connection.
  co_await asio::post(connection->socket().get_executor(), asio::use_awaitable);
  if (co_await connection->stream().Handshake()) co_return;

  std::string out;
  if (refused) {
    // Answered before its request is read; the lingering close reads and drops
    // the request, so that the client sees the answer rather than a reset.
    FormatResponse(AnswerUnreadableRequest(503), false, false, false, out);
    if (!co_await connection->stream().WriteAll(asio::buffer(out))) co_await LingeringClose(*connection);
    co_return;
  }

  beast::flat_buffer buffer(kReadBufferLimit);
  for (bool first = true;; first = false) {
    // Between requests a kept-alive connection may be shed to make room.
    if (!first) connection->MarkIdle(true);
    RequestParser parser;
    parser.header_limit(kHeaderLimit);
    parser.body_limit(kBodyLimit);
    parser.eager(true);
    const ReadResult read = co_await ReadRequest(*connection, buffer, parser, settings);

    if (read.error || read.refusal != 0) {
      const std::optional<Answer> answer = AnswerReadFailure(read, parser);
      if (!answer) co_return;
      FormatResponse(*answer, false, false, false, out);
      connection->ExpireAfter(settings.requestTimeout);
      if (!co_await connection->stream().WriteAll(asio::buffer(out))) co_await LingeringClose(*connection);
      co_return;
    }

    const http::request<http::string_body>& request = parser.get();
    const auto method = request.method_string();
    const auto target = request.target();
    const bool keepAlive = request.keep_alive();
    FormatResponse(AnswerRequest({method.data(), method.size()}, {target.data(), target.size()}), keepAlive,
                   request.version() == 10, request.method() == http::verb::head, out);
    connection->ExpireAfter(settings.requestTimeout);
    // The last answer waits for close_notify, to leave with it.
    if (co_await connection->stream().WriteAll(asio::buffer(out), !keepAlive)) co_return;
    if (!keepAlive) break;
  }

  connection->ExpireAfter(kCloseTimeout);
  co_await connection->stream().Shutdown();
}

}  // namespace

struct LookupServer::State {
  explicit State(const ServerSettings& settings, int threadCount)
      : shared{settings, ssl::context{ssl::context::tls_server},
               ConnectionTable(ConnectionLimits{settings.maxConnections, settings.maxConnectionsPerClient,
                                                kMaxRefusing})},
        io(threadCount) {}

  Shared shared;  // outlives the io_context, whose connections use it
  asio::io_context io;
  asio::strand<asio::io_context::executor_type> acceptStrand{asio::make_strand(io)};
  tcp::acceptor acceptor{acceptStrand};
  asio::steady_timer memoryCheck{acceptStrand};
  std::uint16_t port = 0;  // read once before the threads start
  std::vector<std::thread> threads;
};

namespace {

asio::awaitable<void> Accept(tcp::acceptor& acceptor, asio::io_context& io, Shared& shared) {
  error_code ec;
  auto token = asio::redirect_error(asio::use_awaitable, ec);
  tcp::endpoint peer;
  for (;;) {
    tcp::socket socket = co_await acceptor.async_accept(asio::make_strand(io), peer, token);
    if (!acceptor.is_open()) co_return;
    if (ec) {
      asio::steady_timer pause(acceptor.get_executor(), kAcceptRetryPause);
      co_await pause.async_wait(token);
      if (!acceptor.is_open()) co_return;
      continue;
    }
    const auto executor = socket.get_executor();
    asio::co_spawn(executor, Serve(shared, std::move(socket), peer), asio::detached);
  }
}

// Gives memory back once the connections have fallen well below their peak, so
// that a burst does not leave the process at its size for good.
asio::awaitable<void> ReleaseMemoryAfterBursts(asio::steady_timer& timer, const tcp::acceptor& acceptor,
                                               ConnectionTable& connections) {
  error_code ec;
  while (acceptor.is_open()) {
    timer.expires_after(kMemoryCheckInterval);
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    if (!acceptor.is_open()) co_return;
    const std::size_t now = connections.served();
    if (connections.TakePeak() >= now + kBurstConnections) ReleaseFreeMemory();
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
  if (!ApplyServerTlsPolicy(tls.native_handle())) {
    *error = "cannot apply the TLS policy";
    return nullptr;
  }
  tls.use_certificate_chain_file(settings.certificateFile, ec);
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
  asio::co_spawn(s.acceptStrand, ReleaseMemoryAfterBursts(s.memoryCheck, s.acceptor, s.shared.connections),
                 asio::detached);
  for (int i = 0; i < threadCount; ++i) s.threads.emplace_back([&io = s.io] { io.run(); });
  return std::unique_ptr<LookupServer>(new LookupServer(std::move(state)));
}

std::uint16_t LookupServer::port() const { return state_->port; }

void LookupServer::Stop() {
  if (!state_ || state_->threads.empty()) return;
  state_->shared.connections.CloseAll();
  asio::post(state_->acceptStrand, [&acceptor = state_->acceptor, &memoryCheck = state_->memoryCheck] {
    error_code ignored;
    acceptor.close(ignored);
    memoryCheck.cancel();
  });
  for (std::thread& thread : state_->threads) thread.join();
  state_->threads.clear();
}

}  // namespace zentravo::lookup
