#include "skin/skin_files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "runtime/program_directory.h"
#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

// Written in pieces, so a large image never needs one huge WriteFile.
constexpr std::size_t kWriteChunk = 64 * 1024;

// A name beside `path` that no other writer uses: this process's id and a count.
Text TemporaryNameFor(const Text& path) {
  static unsigned counter = 0;
  char suffix[40];
  std::snprintf(suffix, sizeof(suffix), ".~%lx-%u.tmp", GetCurrentProcessId(), ++counter);
  return ConcatText(path, suffix);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min(bytes.size(), kWriteChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written != piece) return false;
    bytes.remove_prefix(piece);
  }
  return true;
}

// Creates a temporary file beside `path` that did not exist before (so nothing
// planted under its name is ever written through) and returns its name.
ScopedKernelHandle CreateTemporaryBeside(const Text& path, Text& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = TemporaryNameFor(path);
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return ScopedKernelHandle(file);
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return ScopedKernelHandle();
}

}  // namespace

bool FileExists(const Text& path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAA found;
  return static_cast<bool>(ScopedFindHandle(FindFirstFileA(path.c_str(), &found)));
}

bool WriteBytesToFile(const Text& path, const Bytes& bytes) {
  return WriteBytesToFile(path, std::string_view(bytes.str()));
}

bool WriteBytesToFile(const Text& path, std::string_view bytes) {
  if (path.empty()) return false;
  Text temporary;
  ScopedKernelHandle file = CreateTemporaryBeside(path, temporary);
  if (!file) return false;
  const bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  if (!file.Close() || !written ||
      !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

Text RunDirectory() { return Text(ProgramDirectory()); }

}  // namespace zentravo
