#include "tests/e2e/support/message_box.h"

#include <algorithm>

#include "tests/e2e/support/window_query.h"

namespace zentravo::e2e {

HWND WaitForMessageBox(DWORD processId, const std::string& title, DWORD timeoutMs) {
  WindowFilter filter;
  filter.className = "#32770";
  filter.caption = title;
  return WaitForProcessWindow(processId, filter, timeoutMs);
}

MessageBoxContents ReadMessageBox(HWND dialog) {
  MessageBoxContents contents;
  contents.title = WindowTextOf(dialog);
  std::vector<std::pair<LONG, std::string>> buttons;
  for (HWND child : ChildWindowsTopFirst(dialog)) {
    if (!IsWindowVisible(child)) continue;
    std::string className = ClassNameOf(child);
    if (lstrcmpiA(className.c_str(), "Button") == 0) {
      buttons.emplace_back(ScreenRectOf(child).left, WindowTextOf(child));
    } else if (lstrcmpiA(className.c_str(), "Static") == 0) {
      if ((StyleOf(child) & SS_TYPEMASK) == SS_ICON) {
        std::optional<LRESULT> icon = SendMessageWithTimeout(child, STM_GETICON);
        contents.hasIcon = contents.hasIcon || (icon && *icon != 0);
      } else if (std::string text = WindowTextOf(child); !text.empty()) {
        contents.text = text;
      }
    }
  }
  std::sort(buttons.begin(), buttons.end());
  for (auto& button : buttons) contents.buttons.push_back(button.second);
  return contents;
}

HWND MessageBoxButton(HWND dialog, const std::string& text) {
  for (HWND child : ChildWindowsTopFirst(dialog)) {
    if (IsWindowVisible(child) && lstrcmpiA(ClassNameOf(child).c_str(), "Button") == 0 &&
        WindowTextOf(child) == text) {
      return child;
    }
  }
  return nullptr;
}

}  // namespace zentravo::e2e
