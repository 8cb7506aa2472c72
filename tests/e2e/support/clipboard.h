#pragma once

// The clipboard as the tests see it: reading and placing text, and holding it
// open so that another program cannot open it.

#include <windows.h>

#include <optional>
#include <string>

#include "runtime/scoped_win.h"

namespace zentravo::e2e {

// The CF_TEXT bytes on the clipboard (without the terminating zero byte);
// nullopt when the clipboard holds no text or cannot be opened.
std::optional<std::string> ReadClipboardText();

// Replaces the clipboard's contents with `text` as CF_TEXT. True on success.
bool WriteClipboardText(const std::string& text);

// Empties the clipboard. True on success.
bool EmptyTheClipboard();

// Opens the clipboard with a hidden window of its own and keeps it open until
// destroyed. (Opening it with a null window would not keep another process out
// under Wine.)
class ClipboardHolder {
 public:
  ClipboardHolder();
  ~ClipboardHolder();
  ClipboardHolder(const ClipboardHolder&) = delete;
  ClipboardHolder& operator=(const ClipboardHolder&) = delete;

  // True when the clipboard is open and held.
  bool IsHolding() const { return holding_; }

 private:
  ScopedWindow window_;
  bool holding_ = false;
};

}  // namespace zentravo::e2e
