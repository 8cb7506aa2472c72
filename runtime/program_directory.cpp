#include "runtime/program_directory.h"

#include <windows.h>

#include <vector>

namespace zentravo {

std::string ProgramDirectory() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      std::string full(path.data(), length);
      std::string::size_type slash = full.find_last_of('\\');
      return slash == std::string::npos ? std::string() : full.substr(0, slash);
    }
    path.resize(path.size() * 2);  // truncated: the path is longer than the buffer
  }
}

}  // namespace zentravo
