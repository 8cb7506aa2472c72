#include "app/clipboard.h"

#include <cstring>
#include <utility>

namespace zentravo {

ScopedGlobalMemory MakeClipboardTextBlock(const Text& text) {
  const std::string& bytes = text.str();
  ScopedGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size() + 1));
  if (!block) return block;
  ScopedGlobalLock locked(block.Get());
  if (locked.Get() == nullptr) return ScopedGlobalMemory();
  // The zero byte after the text is already there: the block starts zeroed.
  std::memcpy(locked.Get(), bytes.data(), bytes.size());
  return block;
}

bool PutTextBlockOnClipboard(ScopedGlobalMemory block) {
  if (!block) return false;
  ScopedClipboard clipboard(nullptr);
  if (!clipboard.IsOpen()) return false;
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, block.Get()) == nullptr) return false;  // ours still: freed
  block.Release();  // the clipboard's now
  return true;
}

bool SetClipboardText(const Text& text) { return PutTextBlockOnClipboard(MakeClipboardTextBlock(text)); }

}  // namespace zentravo
