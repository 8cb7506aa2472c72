#include "service/lookup_server.h"

#include <algorithm>
#include <array>
#include <ctime>
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
#include "service/routes.h"
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
// While draining, how long a connection that has asked nothing yet may take to
// begin its request; one between requests is closed at once.
constexpr std::chrono::seconds kDrainGrace{2};

// One client connection. Its socket's executor is the connection's strand, on
// which every step of it runs.
//
// Time limits: each step sets a deadline, and one watchdog per connection closes
// the socket once the deadline has passed, which makes the pending step fail.
// Moving a deadline is a plain store; a timer per read and write would cost the
// service a fifth of its rate under load.
class Connection : public TrackedConnection, public std::enable_shared_from_this<Connection> {
 public:
  // Holds on to tls, so that a certificate reload cannot free it under the connection.
  Connection(tcp::socket socket, std::shared_ptr<ssl::context> tls)
      : tls_(std::move(tls)), stream_(std::move(socket), tls_->native_handle()),
        watchdog_(stream_.socket().get_executor()) {}

  TlsStream& stream() { return stream_; }
  tcp::socket& socket() { return stream_.socket(); }

  void ExpireAfter(Clock::duration limit) {
    if (draining_ && !busy_) limit = std::min<Clock::duration>(limit, kDrainGrace);
    deadline_ = Clock::now() + limit;
    // The watchdog sleeps towards the deadline it last read; one moved earlier
    // (a request after a long idle wait, say) wakes it to read again.
    if (deadline_ < watchdog_.expiry()) watchdog_.cancel();
  }

  // The first byte of a request has arrived: from now on it is answered even
  // while the server drains.
  void RequestBegun() {
    busy_ = true;
    requestBegun_ = Clock::now();
  }
  void RequestAnswered() {
    busy_ = false;
    ++answered_;
  }
  Clock::time_point requestBegun() const { return requestBegun_; }

  // On the connection's strand: no further request on this connection. One between
  // requests closes now; one not yet asked anything gets kDrainGrace to ask.
  void DrainHere() {
    if (draining_) return;
    draining_ = true;
    if (busy_) return;
    if (answered_ > 0) {
      Close();
    } else if (deadline_ > Clock::now() + kDrainGrace) {
      ExpireAfter(kDrainGrace);
    }
  }
  bool draining() const { return draining_; }

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
  void Drain() override {
    asio::post(watchdog_.get_executor(), [weak = weak_from_this()] {
      if (std::shared_ptr<Connection> open = weak.lock()) open->DrainHere();
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
  const std::shared_ptr<ssl::context> tls_;
  TlsStream stream_;
  asio::steady_timer watchdog_;
  Clock::time_point deadline_ = Clock::time_point::max();
  // Read and written on the connection's strand only.
  bool busy_ = false;
  bool draining_ = false;
  std::uint64_t answered_ = 0;
  Clock::time_point requestBegun_;
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
  ConnectionTable connections;

  // The TLS context for new connections; a reload puts a new one here.
  std::shared_ptr<ssl::context> Tls() {
    std::lock_guard lock(tlsMutex);
    return tls;
  }
  void SetTls(std::shared_ptr<ssl::context> next) {
    std::lock_guard lock(tlsMutex);
    tls.swap(next);
  }

  std::mutex tlsMutex;
  std::shared_ptr<ssl::context> tls;
};

// A TLS server context under the service's policy with the settings' certificate
// chain and key; nothing, with *error set, when either cannot be used or the key
// does not belong to the certificate.
std::shared_ptr<ssl::context> MakeTlsContext(const ServerSettings& settings, std::string* error) {
  auto tls = std::make_shared<ssl::context>(ssl::context::tls_server);
  if (!ApplyServerTlsPolicy(tls->native_handle())) {
    *error = "cannot apply the TLS policy";
    return nullptr;
  }
  error_code ec;
  tls->use_certificate_chain_file(settings.certificateFile, ec);
  if (ec) {
    *error = "cannot use the certificate " + settings.certificateFile + ": " + ec.message();
    return nullptr;
  }
  // OpenSSL refuses a key that does not match the certificate loaded above.
  tls->use_private_key_file(settings.keyFile, ssl::context::pem, ec);
  if (ec) {
    *error = "cannot use the key " + settings.keyFile + ": " + ec.message();
    return nullptr;
  }
  return tls;
}


// Bytes fit for one field of a log line: no spaces, controls or non-ASCII bytes
// (they become "?"), at most 200 of them.
std::string LogField(std::string_view text) {
  constexpr std::size_t kLongest = 200;
  if (text.empty()) return "-";
  std::string field(text.substr(0, kLongest));
  for (char& c : field) {
    if (c <= ' ' || c > '~') c = '?';
  }
  if (text.size() > kLongest) field += "...";
  return field;
}

// One line per answer: "2026-01-31T12:00:00.123Z 200 153us GET /weibo/brellik.php".
// One fputs, so that the lines of different threads never mix.
void LogRequest(std::FILE* log, Clock::time_point begun, int status, std::string_view method,
                std::string_view path) {
  if (log == nullptr) return;
  using namespace std::chrono;
  const long long micros = duration_cast<microseconds>(Clock::now() - begun).count();
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const long long millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[80];  // room for any year the compiler can imagine
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  const std::string line = std::string(stamp) + " " + std::to_string(status) + " " + std::to_string(micros) +
                           "us " + LogField(method) + " " + LogField(PathOfTarget(path)) + "\n";
  std::fputs(line.c_str(), log);
}

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
  if (answer.status == 503) out += "Retry-After: " + std::to_string(kRetryAfterSeconds) + "\r\n";
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
// parsing goes on eagerly. That limit, or nothing when the declared length is over it.
std::optional<std::uint64_t> ApplyPathBodyLimit(RequestParser& parser) {
  const auto target = parser.get().target();
  const std::uint64_t limit = BodyLimitOfTarget({target.data(), target.size()}).value_or(kBodyLimit);
  const boost::optional<std::uint64_t> declared = parser.content_length();
  if (declared && *declared > limit) return std::nullopt;
  parser.body_limit(limit);
  parser.eager(true);
  return limit;
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
  std::uint64_t requestLimit = RequestLimit(kBodyLimit);
  bool pathLimitApplied = false;
  for (;;) {
    if (buffer.size() > 0) {
      if (!started) {
        connection.RequestBegun();
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
      if (!pathLimitApplied && parser.is_header_done()) {
        pathLimitApplied = true;
        const std::optional<std::uint64_t> bodyLimit = ApplyPathBodyLimit(parser);
        if (!bodyLimit) co_return ReadResult{http::error::body_limit, 0};
        requestLimit = RequestLimit(*bodyLimit);
      }
      if (!parseError && parser.is_done()) co_return ReadResult{};
      // Parsing stops after the header; the body may already be in the buffer.
      if (used > 0 && buffer.size() > 0) continue;
      // What the parser still waits for belongs to this request alone.
      if (parser.is_header_done()) {
        if (buffer.size() > kChunkFramingLimit) {
          const auto unparsed = static_cast<const char*>(buffer.data().data());
          co_return ReadResult{{}, OversizedChunkFramingStatus({unparsed, buffer.size()})};
        }
        if (parsed + buffer.size() > requestLimit) co_return ReadResult{{}, 413};
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
  const auto connection = std::make_shared<Connection>(std::move(socket), shared.Tls());
  const Registration registration(shared.connections, client, connection);
  if (registration.admission() == Admission::kDrop) co_return;
  if (shared.connections.draining()) connection->DrainHere();
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
    parser.body_limit(std::max(kBodyLimit, kLargestPathBodyLimit));
    parser.eager(false);  // until ApplyPathBodyLimit
    const ReadResult read = co_await ReadRequest(*connection, buffer, parser, settings);

    if (read.error || read.refusal != 0) {
      const std::optional<Answer> answer = AnswerReadFailure(read, parser);
      if (!answer) co_return;
      FormatResponse(*answer, false, false, false, out);
      connection->ExpireAfter(settings.requestTimeout);
      const error_code written = co_await connection->stream().WriteAll(asio::buffer(out));
      connection->RequestAnswered();
      std::string_view method, target;
      if (parser.is_header_done()) {
        const auto& head = parser.get();
        method = {head.method_string().data(), head.method_string().size()};
        target = {head.target().data(), head.target().size()};
      }
      LogRequest(settings.requestLog, connection->requestBegun(), answer->status, method, target);
      if (!written) co_await LingeringClose(*connection);
      co_return;
    }

    const http::request<http::string_body>& request = parser.get();
    const auto method = request.method_string();
    const auto target = request.target();
    const auto ifNoneMatch = request[http::field::if_none_match];
    const bool keepAlive = request.keep_alive() && !connection->draining();
    const Answer answer = AnswerHttpRequest({{method.data(), method.size()},
                                             {target.data(), target.size()},
                                             request.body(),
                                             {ifNoneMatch.data(), ifNoneMatch.size()}});
    FormatResponse(answer, keepAlive, request.version() == 10, request.method() == http::verb::head, out);
    connection->ExpireAfter(settings.requestTimeout);
    // The last answer waits for close_notify, to leave with it.
    const error_code written = co_await connection->stream().WriteAll(asio::buffer(out), !keepAlive);
    connection->RequestAnswered();
    LogRequest(settings.requestLog, connection->requestBegun(), answer.status, {method.data(), method.size()},
               {target.data(), target.size()});
    if (written) co_return;
    // Draining may have begun while this answer was under way.
    if (!keepAlive || connection->draining()) break;
  }

  connection->ExpireAfter(kCloseTimeout);
  co_await connection->stream().Shutdown();
}

}  // namespace

struct LookupServer::State {
  explicit State(const ServerSettings& settings, int threadCount)
      : shared{settings,
               ConnectionTable(ConnectionLimits{settings.maxConnections, settings.maxConnectionsPerClient,
                                                kMaxRefusing}),
               {}, nullptr},
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

  state->shared.tls = MakeTlsContext(settings, error);
  if (!state->shared.tls) return nullptr;

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

bool LookupServer::ReloadCertificate(std::string* error) {
  std::shared_ptr<ssl::context> next = MakeTlsContext(state_->shared.settings, error);
  if (!next) return false;
  state_->shared.SetTls(std::move(next));
  return true;
}

bool LookupServer::Drain(std::chrono::milliseconds limit) {
  if (!state_ || state_->threads.empty()) return true;
  asio::post(state_->acceptStrand, [&acceptor = state_->acceptor] {
    error_code ignored;
    acceptor.close(ignored);
  });
  state_->shared.connections.DrainAll();
  const bool drained = state_->shared.connections.WaitUntilEmpty(limit);
  Stop();
  return drained;
}

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
