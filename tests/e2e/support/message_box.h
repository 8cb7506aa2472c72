#pragma once

// Message boxes shown by another process: finding one and reading what it says.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zentravo::e2e {

struct MessageBoxContents {
  std::string title;                 // caption bytes
  std::string text;                  // message bytes
  std::vector<std::string> buttons;  // texts of the visible buttons, left to right
  bool hasIcon = false;              // a visible icon beside the message
};

// A visible message box (dialog class "#32770") of process `processId` whose
// caption is `title`, waiting up to `timeoutMs`; null when none appears.
HWND WaitForMessageBox(DWORD processId, const std::string& title, DWORD timeoutMs);

// What the message box `dialog` shows.
MessageBoxContents ReadMessageBox(HWND dialog);

// The visible button of `dialog` whose text is `text`, or null.
HWND MessageBoxButton(HWND dialog, const std::string& text);

}  // namespace zentravo::e2e
