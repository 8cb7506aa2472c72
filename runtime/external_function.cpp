#include "runtime/external_function.h"

#include <windows.h>

#include <map>
#include <string>

#include "runtime/fatal_error.h"
#include "runtime/program_directory.h"

namespace zentravo {
namespace {

bool FileIsPresent(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HMODULE LoadDeclaredLibrary(const std::string& library) {
  if (library.find(':') == std::string::npos) {
    std::string besideProgram = ProgramDirectory() + "\\" + library;
    if (FileIsPresent(besideProgram)) {
      // The library's own dependencies are then found beside it too.
      if (HMODULE module = LoadLibraryExA(besideProgram.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
        return module;
      }
    }
  }
  return LoadLibraryA(library.c_str());
}

HMODULE LibraryModule(const std::string& library) {
  // Bound libraries stay loaded for the life of the process; one entry per name.
  static std::map<std::string, HMODULE> modules;
  auto found = modules.find(library);
  if (found != modules.end()) return found->second;
  HMODULE module = LoadDeclaredLibrary(library);
  if (module != nullptr) modules.emplace(library, module);
  return module;
}

}  // namespace

void* BindExternalFunction(const char* library, const char* function) {
  HMODULE module = LibraryModule(library);
  if (module == nullptr) {
    FatalRuntimeError(std::string("无法加载动态链接库 \"") + library + "\"，函数 \"" + function +
                      "\" 不可用。");
  }
  FARPROC address = GetProcAddress(module, function);
  if (address == nullptr) {
    FatalRuntimeError(std::string("动态链接库 \"") + library + "\" 中找不到函数 \"" + function + "\"。");
  }
  return reinterpret_cast<void*>(address);
}

}  // namespace zentravo
