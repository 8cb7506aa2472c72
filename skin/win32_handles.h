#pragma once

// Owners for the Windows handles the skin module opens: each closes its handle
// when it goes out of scope, unless the handle is given up with Release().

#include <windows.h>

#include <utility>

namespace zentravo {

// A file handle from CreateFileA; INVALID_HANDLE_VALUE when empty.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(FileHandle&& other) noexcept : handle_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Reset(); }

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

  // Closes the handle now; false when CloseHandle reports an error (for a file
  // just written, the data may then not have reached the disk).
  bool Close() {
    HANDLE handle = Release();
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
  }

 private:
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = handle;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A directory search from FindFirstFileA; INVALID_HANDLE_VALUE when empty.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }

  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// A module from LoadLibraryA, freed unless Release() keeps it loaded.
class ModuleHandle {
 public:
  explicit ModuleHandle(HMODULE module) : module_(module) {}
  ModuleHandle(const ModuleHandle&) = delete;
  ModuleHandle& operator=(const ModuleHandle&) = delete;
  ~ModuleHandle() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  HMODULE Get() const { return module_; }
  HMODULE Release() { return std::exchange(module_, nullptr); }

 private:
  HMODULE module_;
};

// Keeps the system from showing its own error boxes (no disk in a drive, a
// damaged library) while it lives: the skin's failures are all silent.
class QuietSystemErrors {
 public:
  QuietSystemErrors() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  QuietSystemErrors(const QuietSystemErrors&) = delete;
  QuietSystemErrors& operator=(const QuietSystemErrors&) = delete;
  ~QuietSystemErrors() { SetThreadErrorMode(previous_, nullptr); }

 private:
  DWORD previous_ = 0;
};

}  // namespace zentravo
