#include "tests/support/recording_internet_functions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zentravo {
namespace {

constexpr std::uint32_t kErrorHeaderNotFound = 12150;  // ERROR_HTTP_HEADER_NOT_FOUND

std::string QuotedBytes(const void* data, std::size_t length) {
  if (data == nullptr) return "null";
  std::string out = "\"";
  out += EscapeForRecord(std::string(static_cast<const char*>(data), length));
  out += '"';
  return out;
}

std::string Quoted(const char* text) {
  return QuotedBytes(text, text == nullptr ? 0 : std::strlen(text));
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::string EscapeForRecord(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    if (b == '\r') {
      out += "\\r";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b < 0x20 || b >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

std::string RecordingInternetFunctions::Call::ToString() const {
  std::string out = function + "(";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) out += ", ";
    out += arguments[i];
  }
  return out + ")";
}

void RecordingInternetFunctions::QueueBody(const std::string& body, std::size_t chunk) {
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    reads.push_back({true, body.substr(at, chunk)});
  }
}

std::vector<std::string> RecordingInternetFunctions::CallStrings() const {
  std::vector<std::string> out;
  for (const Call& call : calls_) out.push_back(call.ToString());
  return out;
}

std::vector<RecordingInternetFunctions::Call> RecordingInternetFunctions::CallsTo(
    const std::string& function) const {
  std::vector<Call> out;
  for (const Call& call : calls_) {
    if (call.function == function) out.push_back(call);
  }
  return out;
}

std::string RecordingInternetFunctions::HandleName(InternetHandle handle) const {
  if (handle == nullptr) return "null";
  if (handle == &internet_) return "internet";
  if (handle == &connection_) return "connection";
  if (handle == &request_) return "request";
  return "unknown-handle";
}

InternetHandle RecordingInternetFunctions::Open(const char* agent, std::uint32_t accessType,
                                                const char* proxyList, const char* proxyBypass,
                                                std::uint32_t flags) {
  calls_.push_back({"InternetOpenA",
                    {Quoted(agent), std::to_string(accessType), Quoted(proxyList),
                     Quoted(proxyBypass), std::to_string(flags)}});
  return openFails ? nullptr : &internet_;
}

InternetHandle RecordingInternetFunctions::Connect(InternetHandle internet, const char* serverName,
                                                   std::uint16_t port, const char* userName,
                                                   const char* password, std::uint32_t service,
                                                   std::uint32_t flags, std::uintptr_t context) {
  calls_.push_back({"InternetConnectA",
                    {HandleName(internet), Quoted(serverName), std::to_string(port),
                     Quoted(userName), Quoted(password), std::to_string(service),
                     std::to_string(flags), std::to_string(context)}});
  return connectFails ? nullptr : &connection_;
}

InternetHandle RecordingInternetFunctions::OpenRequest(InternetHandle connection, const char* verb,
                                                       const char* objectName, const char* version,
                                                       const char* referrer,
                                                       const char** acceptTypes,
                                                       std::uint32_t flags,
                                                       std::uintptr_t context) {
  calls_.push_back({"HttpOpenRequestA",
                    {HandleName(connection), Quoted(verb), Quoted(objectName), Quoted(version),
                     Quoted(referrer), acceptTypes == nullptr ? "null" : "accept-types",
                     Hex(flags), std::to_string(context)}});
  return openRequestFails ? nullptr : &request_;
}

bool RecordingInternetFunctions::SendRequest(InternetHandle request, const char* headers,
                                             std::uint32_t headersLength, const void* optional,
                                             std::uint32_t optionalLength) {
  calls_.push_back({"HttpSendRequestA",
                    {HandleName(request), Quoted(headers), std::to_string(headersLength),
                     QuotedBytes(optional, optionalLength), std::to_string(optionalLength)}});
  return true;
}

bool RecordingInternetFunctions::ReadFile(InternetHandle file, void* buffer,
                                          std::uint32_t bytesToRead, std::uint32_t* bytesRead) {
  calls_.push_back({"InternetReadFile", {HandleName(file), std::to_string(bytesToRead)}});
  if (reads.empty()) {
    *bytesRead = 0;
    return true;
  }
  Read& next = reads.front();
  if (!next.ok) {
    reads.pop_front();
    return false;
  }
  const std::size_t count = std::min<std::size_t>(next.bytes.size(), bytesToRead);
  std::memcpy(buffer, next.bytes.data(), count);
  *bytesRead = static_cast<std::uint32_t>(count);
  next.bytes.erase(0, count);
  if (next.bytes.empty()) reads.pop_front();
  return true;
}

bool RecordingInternetFunctions::QueryInfo(InternetHandle request, std::uint32_t infoLevel,
                                           void* buffer, std::uint32_t* bufferLength,
                                           std::uint32_t* index, std::uint32_t* lastError) {
  calls_.push_back({"HttpQueryInfoA",
                    {HandleName(request), std::to_string(infoLevel), std::to_string(*bufferLength),
                     index == nullptr ? "null" : std::to_string(*index)}});
  if (queryFails) {
    *lastError = kErrorHeaderNotFound;
    return false;
  }
  // As WinINet does: the text and its NUL must fit, else the size needed comes back.
  if (rawHeaders.size() + 1 > *bufferLength) {
    *bufferLength = static_cast<std::uint32_t>(rawHeaders.size() + 1);
    *lastError = wininet::kErrorInsufficientBuffer;
    return false;
  }
  std::memcpy(buffer, rawHeaders.c_str(), rawHeaders.size() + 1);
  *bufferLength = static_cast<std::uint32_t>(rawHeaders.size());
  *lastError = 0;
  return true;
}

bool RecordingInternetFunctions::CloseHandle(InternetHandle handle) {
  calls_.push_back({"InternetCloseHandle", {HandleName(handle)}});
  return true;
}

std::string QuotedForRecord(const std::string& bytes) {
  std::string quoted = "\"";
  quoted.append(EscapeForRecord(bytes)).append("\"");
  return quoted;
}

std::string DefaultHeaderBlock(const std::string& url) {
  return "Referer: " + url +
         "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
         "application/x-www-form-urlencoded";
}

std::string SendRequestRecord(const std::string& block, const std::string& optional,
                              std::size_t optionalLength) {
  std::string record = "HttpSendRequestA(request, ";
  record.append(QuotedForRecord(block)).append(", ").append(std::to_string(block.size()));
  record.append(", ").append(optional).append(", ").append(std::to_string(optionalLength)).append(")");
  return record;
}

std::vector<std::string> JoinRecords(std::vector<std::string> calls,
                                     const std::vector<std::string>& more) {
  calls.insert(calls.end(), more.begin(), more.end());
  return calls;
}

}  // namespace zentravo
