#include <windows.h>

#include "runtime/external_function.h"
#include "text/codepage_platform.h"

namespace zentravo::codepage_platform {
namespace {

ExternalFunction<decltype(MultiByteToWideChar)> g_MultiByteToWideChar{"kernel32.dll", "MultiByteToWideChar"};
ExternalFunction<decltype(WideCharToMultiByte)> g_WideCharToMultiByte{"kernel32.dll", "WideCharToMultiByte"};

static_assert(sizeof(WCHAR) == sizeof(char16_t));

}  // namespace

int MultiByteToWide(int codePage, const char* source, char16_t* destination, int destinationUnits) {
  return g_MultiByteToWideChar(static_cast<UINT>(codePage), 0, source, -1,
                               reinterpret_cast<LPWSTR>(destination), destinationUnits);
}

int WideToMultiByte(int codePage, const char16_t* source, char* destination, int destinationBytes) {
  return g_WideCharToMultiByte(static_cast<UINT>(codePage), 0, reinterpret_cast<LPCWCH>(source), -1,
                               destination, destinationBytes, nullptr, nullptr);
}

}  // namespace zentravo::codepage_platform
