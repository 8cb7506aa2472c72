#pragma once

// Looking at the windows of another process from outside: finding them and
// reading their class, styles, rectangles, texts and the keyboard focus. Texts
// are the bytes WM_GETTEXT gives in the ANSI code page (936 under the test
// locale); every message sent has a timeout, so a hung program fails the test
// instead of hanging it.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zentravo::e2e {

inline constexpr DWORD kMessageTimeoutMs = 5000;

struct WindowFilter {
  std::string className;              // exact, case-insensitive; empty: any class
  std::optional<std::string> caption;  // exact bytes; nullopt: any caption
  bool visibleOnly = true;
};

// A top-level window of process `processId` that matches `filter`, or null.
HWND FindProcessWindow(DWORD processId, const WindowFilter& filter);

// Waits up to `timeoutMs` for FindProcessWindow to find one.
HWND WaitForProcessWindow(DWORD processId, const WindowFilter& filter, DWORD timeoutMs);

// All visible top-level windows of process `processId`.
std::vector<HWND> VisibleProcessWindows(DWORD processId);

// The direct children of `parent` in stacking order, top first.
std::vector<HWND> ChildWindowsTopFirst(HWND parent);

std::string ClassNameOf(HWND window);

// The window's text as WM_GETTEXT gives it; empty when it has none or does not answer.
std::string WindowTextOf(HWND window);

// Sets the window's text with WM_SETTEXT (for preparing a state, not for input).
bool SetWindowTextOf(HWND window, const std::string& text);

DWORD StyleOf(HWND window);
DWORD ExStyleOf(HWND window);

// The window's outer rectangle in screen coordinates.
RECT ScreenRectOf(HWND window);

// A child's outer rectangle in its parent's client coordinates.
RECT RectInParentClient(HWND child);

// The client area of `window` in screen coordinates.
RECT ClientRectOnScreen(HWND window);

// SendMessageTimeout; nullopt when the window did not answer in time.
std::optional<LRESULT> SendMessageWithTimeout(HWND window, UINT message, WPARAM wParam = 0,
                                              LPARAM lParam = 0);

// The window that has the keyboard focus in thread `threadId`, or null.
HWND FocusedWindow(DWORD threadId);

// The active window of thread `threadId`, or null.
HWND ActiveWindow(DWORD threadId);

// A point of `window`'s frame or caption where WM_NCHITTEST answers
// `hitTestCode` (HTCLOSE for the close button, HTSYSMENU, ...), in screen
// coordinates, or nullopt.
std::optional<POINT> FindNonClientPoint(HWND window, LRESULT hitTestCode);

// Everything the tests compare about one window, read at one moment.
struct WindowInfo {
  HWND hwnd = nullptr;
  std::string className;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // children: in the parent's client coordinates; top-level: on screen
  int id = 0;
  bool visible = false;
  bool enabled = false;
};

WindowInfo DescribeWindow(HWND window);

}  // namespace zentravo::e2e
