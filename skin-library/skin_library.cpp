// SkinH_EL.dll: takes a skin in the ".SHE" format and puts it on the calling
// thread's top-level windows.

#include <windows.h>

#include <cstdint>

#include "skin_format.h"
#include "skin_painter.h"

namespace {

bool IsReadable(DWORD protect) {
  if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  return (protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                     PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

// A caller's pointer and length are not trusted: every page of the range must be
// committed and readable before a byte of it is read.
bool RangeIsReadable(const void* start, std::size_t length) {
  auto at = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t end = at + length;
  if (end < at) return false;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof(region)) == 0) return false;
    if (region.State != MEM_COMMIT || !IsReadable(region.Protect)) return false;
    const std::uintptr_t regionEnd =
        reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (regionEnd <= at) return false;
    at = regionEnd;
  }
  return true;
}

// Windows keep calling into this library once skinned, so it never unloads again.
void StayLoaded() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&StayLoaded), &self);
}

}  // namespace

// The text and the three integers are accepted for compatibility and not used.
extern "C" int WINAPI SkinH_AttachRes(const unsigned char* skinData, int skinLength,
                                      const char* /*text*/, int /*first*/, int /*second*/,
                                      int /*third*/) {
  using skinh::SkinStatus;
  if (skinData == nullptr || skinLength <= 0) return static_cast<int>(SkinStatus::kNoData);
  const auto length = static_cast<std::size_t>(skinLength);
  if (!RangeIsReadable(skinData, length)) return static_cast<int>(SkinStatus::kNoData);
  skinh::Skin skin;
  SkinStatus status = skinh::ParseSkin(skinData, length, skin);
  if (status != SkinStatus::kApplied) return static_cast<int>(status);
  StayLoaded();
  skinh::ApplySkinToThreadWindows(skin);
  return static_cast<int>(SkinStatus::kApplied);
}
