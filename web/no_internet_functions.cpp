// Platforms without wininet.dll have no Internet access: every open fails, so a
// request ends before anything is sent.

#include "web/internet_functions.h"

namespace zentravo {
namespace {

class NoInternetFunctions final : public InternetFunctions {
 public:
  InternetHandle Open(const char*, std::uint32_t, const char*, const char*, std::uint32_t) override {
    return nullptr;
  }
  InternetHandle Connect(InternetHandle, const char*, std::uint16_t, const char*, const char*,
                         std::uint32_t, std::uint32_t, std::uintptr_t) override {
    return nullptr;
  }
  InternetHandle OpenRequest(InternetHandle, const char*, const char*, const char*, const char*,
                             const char**, std::uint32_t, std::uintptr_t) override {
    return nullptr;
  }
  bool SendRequest(InternetHandle, const char*, std::uint32_t, const void*, std::uint32_t) override {
    return false;
  }
  bool ReadFile(InternetHandle, void*, std::uint32_t, std::uint32_t* bytesRead) override {
    *bytesRead = 0;
    return false;
  }
  bool QueryInfo(InternetHandle, std::uint32_t, void*, std::uint32_t*, std::uint32_t*,
                 std::uint32_t* lastError) override {
    *lastError = 0;
    return false;
  }
  bool CloseHandle(InternetHandle) override { return false; }
};

}  // namespace

InternetFunctions& PlatformInternetFunctions() {
  static NoInternetFunctions functions;
  return functions;
}

}  // namespace zentravo
