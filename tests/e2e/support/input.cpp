#include "tests/e2e/support/input.h"

#include <vector>

#include "tests/e2e/support/wait.h"
#include "tests/e2e/support/window_query.h"

namespace zentravo::e2e {
namespace {

INPUT KeyEvent(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

INPUT UnicodeEvent(wchar_t character, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wScan = static_cast<WORD>(character);
  input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

INPUT MouseEvent(DWORD flags, POINT screenPoint = {}) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    // Absolute coordinates run from 0 to 65535 across the primary screen and are
    // turned back into pixels by rounding down, so round up here.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = static_cast<LONG>((screenPoint.x * 65536LL + width - 1) / width);
    input.mi.dy = static_cast<LONG>((screenPoint.y * 65536LL + height - 1) / height);
  }
  return input;
}

bool Send(std::vector<INPUT> events) {
  UINT sent = SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
  // Gives the program's thread a moment to take the events off its queue.
  Pause(30);
  return sent == events.size();
}

bool MovePointerTo(POINT screenPoint) {
  if (!Send({MouseEvent(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screenPoint)})) return false;
  return WaitUntil(
      [&] {
        POINT cursor{};
        return GetCursorPos(&cursor) && cursor.x == screenPoint.x && cursor.y == screenPoint.y;
      },
      2000);
}

}  // namespace

bool PressKey(WORD virtualKey, unsigned modifiers) {
  const WORD modifierKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
  const unsigned modifierBits[] = {kShift, kControl, kAlt};
  std::vector<INPUT> events;
  for (int i = 0; i < 3; ++i) {
    if (modifiers & modifierBits[i]) events.push_back(KeyEvent(modifierKeys[i], false));
  }
  events.push_back(KeyEvent(virtualKey, false));
  events.push_back(KeyEvent(virtualKey, true));
  for (int i = 2; i >= 0; --i) {
    if (modifiers & modifierBits[i]) events.push_back(KeyEvent(modifierKeys[i], true));
  }
  return Send(std::move(events));
}

bool TypeText(const std::string& text) {
  if (text.empty()) return true;
  int length = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  std::vector<INPUT> events;
  for (wchar_t character : wide) {
    events.push_back(UnicodeEvent(character, false));
    events.push_back(UnicodeEvent(character, true));
  }
  return Send(std::move(events));
}

bool ClickAt(POINT screenPoint) {
  // The pointer comes from a neighbouring point, so the window beneath it is
  // looked up afresh even when it already rests on the target (a window that
  // appeared under a resting pointer may not get its clicks under Wine), and it
  // must have arrived before the button goes down: the move also travels through
  // the X server, and a press sent with it can land where the pointer was.
  if (!MovePointerTo(POINT{screenPoint.x + 1, screenPoint.y + 1}) || !MovePointerTo(screenPoint)) {
    return false;
  }
  Pause(150);
  return Send({MouseEvent(MOUSEEVENTF_LEFTDOWN)}) && Send({MouseEvent(MOUSEEVENTF_LEFTUP)});
}

POINT WindowCentre(HWND window) {
  RECT rect = ScreenRectOf(window);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool ClickWindowCentre(HWND window) { return ClickAt(WindowCentre(window)); }

bool BringToFront(HWND window) {
  return WaitUntil(
      [&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return false;
      },
      5000);
}

}  // namespace zentravo::e2e
