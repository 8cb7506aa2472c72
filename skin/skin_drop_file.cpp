#include "skin/skin_drop_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "skin/skin_files.h"

namespace zentravo {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

bool ContentIs(HANDLE file, const std::string& expected) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart != static_cast<LONGLONG>(expected.size())) {
    return false;
  }
  std::vector<char> buffer(kReadChunk);
  std::size_t at = 0;
  while (at < expected.size()) {
    const DWORD wanted = static_cast<DWORD>(std::min(kReadChunk, expected.size() - at));
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), wanted, &read, nullptr) || read != wanted) return false;
    if (std::memcmp(buffer.data(), expected.data() + at, read) != 0) return false;
    at += read;
  }
  return true;
}

// The file at `path`, held against writing, when it holds exactly `image`.
ScopedKernelHandle HoldIfIdentical(const Text& path, const Bytes& image) {
  ScopedKernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file || !ContentIs(file.Get(), image.str())) return ScopedKernelHandle();
  return file;
}

}  // namespace

ScopedKernelHandle PlaceSkinLibrary(const Text& path, const Bytes& image) {
  if (path.empty()) return ScopedKernelHandle();
  if (ScopedKernelHandle held = HoldIfIdentical(path, image)) return held;
  if (!WriteBytesToFile(path, image)) return ScopedKernelHandle();
  // Checked again after the write: the bytes that get loaded are the bytes compared.
  return HoldIfIdentical(path, image);
}

}  // namespace zentravo
