#include "skin/skin_attach.h"

#include <map>
#include <string>

#include "skin/skin_files.h"
#include "skin/skin_library_path.h"
#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

SkinCallTarget g_callTarget;

// Skin libraries that were found usable, by lower-case full path; never unloaded.
std::map<std::string, HMODULE>& LoadedSkinLibraries() {
  static std::map<std::string, HMODULE> modules;
  return modules;
}

}  // namespace

const SkinCallTarget& CurrentSkinCallTarget() { return g_callTarget; }

bool SkinFunctionAvailable(const Text& functionName) {
  if (!FileExists(SkinLibraryPath())) return false;
  g_callTarget = SkinCallTarget();

  char fullPath[MAX_PATH];
  const DWORD length = GetFullPathNameA(SkinLibraryPath().c_str(), MAX_PATH, fullPath, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::string key = ToLowerCase(Text(fullPath)).str();

  std::map<std::string, HMODULE>& loaded = LoadedSkinLibraries();
  auto found = loaded.find(key);
  if (found != loaded.end()) {
    FARPROC function = GetProcAddress(found->second, functionName.c_str());
    if (function == nullptr) return false;  // a module from an earlier check stays loaded
    g_callTarget = SkinCallTarget{found->second, function};
    return true;
  }

  ScopedModule module(LoadLibraryA(fullPath));
  if (module.Get() == nullptr) return false;
  FARPROC function = GetProcAddress(module.Get(), functionName.c_str());
  if (function == nullptr) return false;  // unloaded again as `module` goes
  HMODULE kept = module.Release();
  loaded.emplace(key, kept);
  g_callTarget = SkinCallTarget{kept, function};
  return true;
}

bool AttachSkinFromMemory(const Bytes& skin, const Text& text, int first, int second, int third) {
  if (!SkinFunctionAvailable("SkinH_AttachRes")) return false;
  // Through the module loaded from the resolved path only, never by a declared name.
  auto attach = reinterpret_cast<SkinAttachFunction>(reinterpret_cast<void*>(g_callTarget.function));
  const auto* data = skin.empty() ? nullptr : reinterpret_cast<const unsigned char*>(skin.data());
  const int result =
      attach(data, BytesLength(skin), text.empty() ? nullptr : text.c_str(), first, second, third);
  g_callTarget = SkinCallTarget();
  return result == 0;
}

}  // namespace zentravo
