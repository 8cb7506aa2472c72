#include "tests/e2e/support/clipboard.h"

#include <cstring>

#include "tests/e2e/support/wait.h"

namespace zentravo::e2e {
namespace {

// Another process may hold the clipboard for a moment; try for a while.
bool OpenClipboardPatiently(HWND owner) {
  return WaitUntil([owner] { return OpenClipboard(owner) != FALSE; }, 3000);
}

}  // namespace

std::optional<std::string> ReadClipboardText() {
  if (!OpenClipboardPatiently(nullptr)) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = std::string(bytes, strnlen(bytes, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool WriteClipboardText(const std::string& text) {
  if (!OpenClipboardPatiently(nullptr)) return false;
  bool placed = false;
  if (EmptyClipboard()) {
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1)) {
      if (void* bytes = GlobalLock(block)) {
        std::memcpy(bytes, text.data(), text.size());
        GlobalUnlock(block);
        placed = SetClipboardData(CF_TEXT, block) != nullptr;
      }
      if (!placed) GlobalFree(block);
    }
  }
  CloseClipboard();
  return placed;
}

bool EmptyTheClipboard() {
  if (!OpenClipboardPatiently(nullptr)) return false;
  bool emptied = EmptyClipboard() != FALSE;
  CloseClipboard();
  return emptied;
}

ClipboardHolder::ClipboardHolder()
    : window_(CreateWindowExA(0, "STATIC", "clipboard holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr)) {
  holding_ = window_ && OpenClipboardPatiently(window_.Get());
}

ClipboardHolder::~ClipboardHolder() {
  if (holding_) CloseClipboard();
}

}  // namespace zentravo::e2e
