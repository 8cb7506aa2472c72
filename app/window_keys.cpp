#include "app/window_keys.h"

namespace zentravo {
namespace {

bool TakesTabStop(HWND control) {
  return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control) &&
         (GetWindowLongPtrA(control, GWL_STYLE) & WS_TABSTOP) != 0;
}

bool BelongsTo(HWND window, HWND target) {
  return target == window || IsChild(window, target);
}

// The entry of `tabOrder` that holds `focus` or one of its ancestors (an edit
// box may have a child of its own), or -1.
int TabPositionOf(std::span<const HWND> tabOrder, HWND focus) {
  for (size_t i = 0; i < tabOrder.size(); ++i) {
    if (tabOrder[i] != nullptr && (tabOrder[i] == focus || IsChild(tabOrder[i], focus))) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void MoveFocus(HWND window, std::span<const HWND> tabOrder, bool backwards) {
  const int count = static_cast<int>(tabOrder.size());
  if (count == 0) return;
  int position = TabPositionOf(tabOrder, GetFocus());
  // From outside the order, Tab starts at the first entry and Shift+Tab at the last.
  if (position < 0) position = backwards ? 0 : count - 1;
  for (int step = 1; step <= count; ++step) {
    int next = backwards ? (position - step + count) % count : (position + step) % count;
    HWND target = tabOrder[static_cast<size_t>(next)];
    if (!TakesTabStop(target)) continue;
    // Keyboard navigation shows the focus rectangle from now on.
    SendMessageA(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(target);
    if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
      SendMessageA(target, EM_SETSEL, 0, -1);
    }
    return;
  }
}

}  // namespace

bool HandleWindowKey(HWND window, std::span<const HWND> tabOrder, const MSG& message) {
  if (message.message != WM_KEYDOWN || window == nullptr || !BelongsTo(window, message.hwnd)) {
    return false;
  }
  switch (message.wParam) {
    case VK_TAB:
      MoveFocus(window, tabOrder, GetKeyState(VK_SHIFT) < 0);
      return true;
    case VK_ESCAPE:
      SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case VK_RETURN:
    case VK_F1:
      return true;
  }
  return false;
}

}  // namespace zentravo
