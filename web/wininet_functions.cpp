// The real Internet functions: wininet.dll, bound at the first call of each.

#include <windows.h>
#include <wininet.h>

#include "runtime/external_function.h"
#include "web/internet_functions.h"

namespace zentravo {
namespace {

static_assert(wininet::kOpenTypeDirect == INTERNET_OPEN_TYPE_DIRECT);
static_assert(wininet::kOpenTypeProxy == INTERNET_OPEN_TYPE_PROXY);
static_assert(wininet::kServiceHttp == INTERNET_SERVICE_HTTP);
static_assert(wininet::kFlagReload == INTERNET_FLAG_RELOAD);
static_assert(wininet::kFlagNeedFile == INTERNET_FLAG_NEED_FILE);
static_assert(wininet::kFlagNoCookies == INTERNET_FLAG_NO_COOKIES);
static_assert(wininet::kFlagNoAutoRedirect == INTERNET_FLAG_NO_AUTO_REDIRECT);
static_assert(wininet::kFlagSecure == INTERNET_FLAG_SECURE);
static_assert(wininet::kFlagIgnoreRedirectToHttps == INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS);
static_assert(wininet::kQueryRawHeadersCrlf == HTTP_QUERY_RAW_HEADERS_CRLF);
static_assert(wininet::kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);

ExternalFunction<decltype(InternetOpenA)> g_InternetOpenA{"wininet.dll", "InternetOpenA"};
ExternalFunction<decltype(InternetConnectA)> g_InternetConnectA{"wininet.dll", "InternetConnectA"};
ExternalFunction<decltype(HttpOpenRequestA)> g_HttpOpenRequestA{"wininet.dll", "HttpOpenRequestA"};
ExternalFunction<decltype(HttpSendRequestA)> g_HttpSendRequestA{"wininet.dll", "HttpSendRequestA"};
ExternalFunction<decltype(InternetReadFile)> g_InternetReadFile{"wininet.dll", "InternetReadFile"};
ExternalFunction<decltype(HttpQueryInfoA)> g_HttpQueryInfoA{"wininet.dll", "HttpQueryInfoA"};
ExternalFunction<decltype(InternetCloseHandle)> g_InternetCloseHandle{"wininet.dll",
                                                                      "InternetCloseHandle"};

class WinInetFunctions final : public InternetFunctions {
 public:
  InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxyList,
                      const char* proxyBypass, std::uint32_t flags) override {
    return g_InternetOpenA(agent, accessType, proxyList, proxyBypass, flags);
  }

  InternetHandle Connect(InternetHandle internet, const char* serverName, std::uint16_t port,
                         const char* userName, const char* password, std::uint32_t service,
                         std::uint32_t flags, std::uintptr_t context) override {
    return g_InternetConnectA(internet, serverName, port, userName, password, service, flags,
                              context);
  }

  InternetHandle OpenRequest(InternetHandle connection, const char* verb, const char* objectName,
                             const char* version, const char* referrer, const char** acceptTypes,
                             std::uint32_t flags, std::uintptr_t context) override {
    return g_HttpOpenRequestA(connection, verb, objectName, version, referrer, acceptTypes, flags,
                              context);
  }

  bool SendRequest(InternetHandle request, const char* headers, std::uint32_t headersLength,
                   const void* optional, std::uint32_t optionalLength) override {
    // The optional data is only read; the prototype merely lacks the const.
    return g_HttpSendRequestA(request, headers, headersLength, const_cast<void*>(optional),
                              optionalLength) != FALSE;
  }

  bool ReadFile(InternetHandle file, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead) override {
    DWORD read = 0;
    const BOOL ok = g_InternetReadFile(file, buffer, bytesToRead, &read);
    *bytesRead = read;
    return ok != FALSE;
  }

  bool QueryInfo(InternetHandle request, std::uint32_t infoLevel, void* buffer,
                 std::uint32_t* bufferLength, std::uint32_t* index,
                 std::uint32_t* lastError) override {
    DWORD length = *bufferLength;
    DWORD indexValue = index != nullptr ? *index : 0;
    const BOOL ok =
        g_HttpQueryInfoA(request, infoLevel, buffer, &length, index != nullptr ? &indexValue : nullptr);
    *lastError = ok ? 0 : GetLastError();
    *bufferLength = length;
    if (index != nullptr) *index = indexValue;
    return ok != FALSE;
  }

  bool CloseHandle(InternetHandle handle) override { return g_InternetCloseHandle(handle) != FALSE; }
};

}  // namespace

InternetFunctions& PlatformInternetFunctions() {
  static WinInetFunctions functions;
  return functions;
}

}  // namespace zentravo
