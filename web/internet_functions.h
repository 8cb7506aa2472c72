#pragma once

// The Windows Internet functions that WebRequest calls, behind a small interface
// with portable types, so the request logic runs anywhere and tests can hand it a
// fake that records every call. On Windows PlatformInternetFunctions() calls the
// functions of "wininet.dll", bound at their first call; elsewhere there is no
// Internet access and every open fails.

#include <cstdint>

namespace zentravo {

// An HINTERNET.
using InternetHandle = void*;

// Published WinINet values, spelled out here so that no Windows header is needed.
namespace wininet {
inline constexpr std::uint32_t kOpenTypeDirect = 1;        // INTERNET_OPEN_TYPE_DIRECT
inline constexpr std::uint32_t kOpenTypeProxy = 3;         // INTERNET_OPEN_TYPE_PROXY
inline constexpr std::uint32_t kServiceHttp = 3;           // INTERNET_SERVICE_HTTP
inline constexpr std::uint32_t kFlagReload = 0x80000000;   // INTERNET_FLAG_RELOAD
inline constexpr std::uint32_t kFlagNeedFile = 0x10;       // INTERNET_FLAG_NEED_FILE
inline constexpr std::uint32_t kFlagNoCookies = 0x80000;   // INTERNET_FLAG_NO_COOKIES
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x200000;        // INTERNET_FLAG_NO_AUTO_REDIRECT
inline constexpr std::uint32_t kFlagSecure = 0x800000;                // INTERNET_FLAG_SECURE
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x4000;   // INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS
inline constexpr std::uint32_t kQueryRawHeadersCrlf = 22;  // HTTP_QUERY_RAW_HEADERS_CRLF
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
}  // namespace wininet

// One method per WinINet function, with its arguments in the same order. Texts are
// NUL-terminated ANSI strings; null stays null.
class InternetFunctions {
 public:
  virtual ~InternetFunctions() = default;

  // InternetOpenA. Null on failure.
  virtual InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxyList,
                              const char* proxyBypass, std::uint32_t flags) = 0;
  // InternetConnectA. Null on failure.
  virtual InternetHandle Connect(InternetHandle internet, const char* serverName,
                                 std::uint16_t port, const char* userName, const char* password,
                                 std::uint32_t service, std::uint32_t flags,
                                 std::uintptr_t context) = 0;
  // HttpOpenRequestA. Null on failure.
  virtual InternetHandle OpenRequest(InternetHandle connection, const char* verb,
                                     const char* objectName, const char* version,
                                     const char* referrer, const char** acceptTypes,
                                     std::uint32_t flags, std::uintptr_t context) = 0;
  // HttpSendRequestA. `optional` may be null, or "" with length 0.
  virtual bool SendRequest(InternetHandle request, const char* headers,
                           std::uint32_t headersLength, const void* optional,
                           std::uint32_t optionalLength) = 0;
  // InternetReadFile.
  virtual bool ReadFile(InternetHandle file, void* buffer, std::uint32_t bytesToRead,
                        std::uint32_t* bytesRead) = 0;
  // HttpQueryInfoA. On failure `*lastError` receives the thread's last error; when
  // it is kErrorInsufficientBuffer, `*bufferLength` holds the size needed.
  virtual bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer,
                         std::uint32_t* bufferLength, std::uint32_t* index,
                         std::uint32_t* lastError) = 0;
  // InternetCloseHandle.
  virtual bool CloseHandle(InternetHandle handle) = 0;
};

// The platform's Internet functions: wininet.dll on Windows; elsewhere a table
// whose every open fails. Lives for the whole process.
InternetFunctions& PlatformInternetFunctions();

// Owns one Internet handle and closes it through `functions` when it goes out of
// scope or on Close(). A null handle is held as "nothing to close".
class ScopedInternetHandle {
 public:
  ScopedInternetHandle(InternetFunctions& functions, InternetHandle handle)
      : functions_(functions), handle_(handle) {}
  ~ScopedInternetHandle() { Close(); }

  ScopedInternetHandle(const ScopedInternetHandle&) = delete;
  ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;

  InternetHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Close() {
    if (handle_ != nullptr) functions_.CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  InternetFunctions& functions_;
  InternetHandle handle_;
};

}  // namespace zentravo
