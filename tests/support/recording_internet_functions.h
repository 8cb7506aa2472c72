#pragma once

// A stand-in for wininet.dll that records every call with every argument and plays
// back prepared answers, so WebRequest can be checked call by call.
//
// Each call is kept as its function name and its arguments spelled out as text:
// handles by role ("internet", "connection", "request"), texts in double quotes
// with CR, LF, quotes and bytes outside printable ASCII escaped, null pointers as
// null, numbers in decimal, request flags in hex. ToString() joins them as
// `HttpOpenRequestA(connection, "GET", "/", "HTTP/1.1", null, null, 0x80084010, 0)`.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "web/internet_functions.h"

namespace zentravo {

// Escapes `bytes` the way call records show texts, without the quotes.
std::string EscapeForRecord(const std::string& bytes);

// ---- Expected records, for tests to compare with ----

// `bytes` as a call record shows a text: escaped, in double quotes.
std::string QuotedForRecord(const std::string& bytes);

// The header block sent for a request to `url` with no extra headers and no cookies.
std::string DefaultHeaderBlock(const std::string& url);

// The record of HttpSendRequestA with `block` and the optional data as the record
// shows it (`optional`: quoted bytes, "" or null) and its length.
std::string SendRequestRecord(const std::string& block, const std::string& optional,
                              std::size_t optionalLength);

// `calls` followed by `more`.
std::vector<std::string> JoinRecords(std::vector<std::string> calls,
                                     const std::vector<std::string>& more);

class RecordingInternetFunctions final : public InternetFunctions {
 public:
  struct Call {
    std::string function;
    std::vector<std::string> arguments;
    std::string ToString() const;
  };

  // One answer of InternetReadFile. Bytes beyond the size asked for stay queued
  // for the next read. A failed read leaves the count untouched.
  struct Read {
    bool ok = true;
    std::string bytes;
  };

  // ---- Answers ----
  bool openFails = false;
  bool connectFails = false;
  bool openRequestFails = false;
  std::deque<Read> reads;   // when empty, every read succeeds with 0 bytes
  std::string rawHeaders;   // given whole when it fits, else "buffer too small"
  bool queryFails = false;  // fails with ERROR_HTTP_HEADER_NOT_FOUND, writes nothing

  // Queues `body` as reads of at most `chunk` bytes each.
  void QueueBody(const std::string& body, std::size_t chunk);

  // ---- Records ----
  const std::vector<Call>& calls() const { return calls_; }
  std::vector<std::string> CallStrings() const;
  // The calls to `function`, in order.
  std::vector<Call> CallsTo(const std::string& function) const;

  // ---- InternetFunctions ----
  InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxyList,
                      const char* proxyBypass, std::uint32_t flags) override;
  InternetHandle Connect(InternetHandle internet, const char* serverName, std::uint16_t port,
                         const char* userName, const char* password, std::uint32_t service,
                         std::uint32_t flags, std::uintptr_t context) override;
  InternetHandle OpenRequest(InternetHandle connection, const char* verb, const char* objectName,
                             const char* version, const char* referrer, const char** acceptTypes,
                             std::uint32_t flags, std::uintptr_t context) override;
  bool SendRequest(InternetHandle request, const char* headers, std::uint32_t headersLength,
                   const void* optional, std::uint32_t optionalLength) override;
  bool ReadFile(InternetHandle file, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead) override;
  bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer,
                 std::uint32_t* bufferLength, std::uint32_t* index,
                 std::uint32_t* lastError) override;
  bool CloseHandle(InternetHandle handle) override;

 private:
  std::string HandleName(InternetHandle handle) const;

  std::vector<Call> calls_;
  // Three distinct addresses stand for the three handles.
  char internet_ = 0, connection_ = 0, request_ = 0;
};

}  // namespace zentravo
