#pragma once

// Owners for Windows handles: each closes its handle with the matching call when
// it goes out of scope. Move-only; Release() hands the handle back to the caller.
// Windows only.

#include <windows.h>

#include <utility>

namespace zentravo {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { Reset(); }

  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle Get() const { return handle_; }
  bool IsValid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return IsValid(); }

  // Closes the current handle (if any) and takes `handle`.
  void Reset(Handle handle = Traits::Invalid()) {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the handle now; false when closing reports an error (for a file just
  // written, its data may then not have reached the disk).
  bool Close() {
    Handle handle = Release();
    return !Traits::IsValid(handle) || Traits::Close(handle);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// A kernel object (file, process, thread, event); null and INVALID_HANDLE_VALUE
// both mean none.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return CloseHandle(h) != 0; }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return FindClose(h) != 0; }
};

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DestroyWindow(h) != 0; }
};

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DestroyIcon(h) != 0; }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return FreeLibrary(h) != 0; }
};

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DeleteDC(h) != 0; }
};

template <typename GdiObject>
struct GdiObjectTraits {
  using Handle = GdiObject;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DeleteObject(h) != 0; }
};

struct HookTraits {
  using Handle = HHOOK;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return UnhookWindowsHookEx(h) != 0; }
};

// A global memory block from GlobalAlloc. Release() it once another owner (the
// clipboard) has taken it.
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return GlobalFree(h) == nullptr; }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedWindow = ScopedHandle<WindowTraits>;
using ScopedIcon = ScopedHandle<IconTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;
using ScopedBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using ScopedHook = ScopedHandle<HookTraits>;
using ScopedGlobalMemory = ScopedHandle<GlobalMemoryTraits>;

// GlobalLock on construction, GlobalUnlock on destruction. Get() is null when the
// block could not be locked.
class ScopedGlobalLock {
 public:
  explicit ScopedGlobalLock(HGLOBAL block) : block_(block), bytes_(GlobalLock(block)) {}
  ~ScopedGlobalLock() {
    if (bytes_ != nullptr) GlobalUnlock(block_);
  }
  ScopedGlobalLock(const ScopedGlobalLock&) = delete;
  ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;
  void* Get() const { return bytes_; }

 private:
  HGLOBAL block_;
  void* bytes_;
};

// The clipboard, opened for `owner` (null: no owner window) on construction and
// closed on destruction when it was opened.
class ScopedClipboard {
 public:
  explicit ScopedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ScopedClipboard() {
    if (open_) CloseClipboard();
  }
  ScopedClipboard(const ScopedClipboard&) = delete;
  ScopedClipboard& operator=(const ScopedClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// A window's device context from GetDC, released with ReleaseDC.
class ScopedGetDc {
 public:
  explicit ScopedGetDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedGetDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  ScopedGetDc(const ScopedGetDc&) = delete;
  ScopedGetDc& operator=(const ScopedGetDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint on construction, EndPaint on destruction.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~ScopedPaint() { EndPaint(window_, &paint_); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  HDC Get() const { return dc_; }
  const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// SaveDC on construction, RestoreDC on destruction: clip region, colours, modes.
class ScopedSaveDc {
 public:
  explicit ScopedSaveDc(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~ScopedSaveDc() {
    if (saved_ != 0) RestoreDC(dc_, saved_);
  }
  ScopedSaveDc(const ScopedSaveDc&) = delete;
  ScopedSaveDc& operator=(const ScopedSaveDc&) = delete;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace zentravo
