#include "tests/e2e/support/window_query.h"

#include "tests/e2e/support/wait.h"

namespace zentravo::e2e {
namespace {

struct Search {
  DWORD processId;
  const WindowFilter* filter;
  std::vector<HWND> found;
};

bool Matches(HWND window, const WindowFilter& filter) {
  if (filter.visibleOnly && !IsWindowVisible(window)) return false;
  if (!filter.className.empty() && lstrcmpiA(ClassNameOf(window).c_str(), filter.className.c_str()) != 0) {
    return false;
  }
  return !filter.caption || WindowTextOf(window) == *filter.caption;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == search->processId && Matches(window, *search->filter)) search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD processId, const WindowFilter& filter) {
  Search search{processId, &filter, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

GUITHREADINFO ThreadInfo(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(threadId, &info)) return GUITHREADINFO{};
  return info;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const WindowFilter& filter) {
  std::vector<HWND> found = ProcessWindows(processId, filter);
  return found.empty() ? nullptr : found.front();
}

HWND WaitForProcessWindow(DWORD processId, const WindowFilter& filter, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindProcessWindow(processId, filter)) != nullptr; }, timeoutMs);
  return found;
}

std::vector<HWND> VisibleProcessWindows(DWORD processId) {
  WindowFilter anyVisible;
  return ProcessWindows(processId, anyVisible);
}

std::vector<HWND> ChildWindowsTopFirst(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::string ClassNameOf(HWND window) {
  char name[256] = {};
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string WindowTextOf(HWND window) {
  std::optional<LRESULT> length = SendMessageWithTimeout(window, WM_GETTEXTLENGTH);
  if (!length || *length <= 0) return std::string();
  std::string text(static_cast<size_t>(*length) + 1, '\0');
  std::optional<LRESULT> copied =
      SendMessageWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied || *copied <= 0) return std::string();
  text.resize(static_cast<size_t>(*copied));
  return text;
}

bool SetWindowTextOf(HWND window, const std::string& text) {
  std::optional<LRESULT> result =
      SendMessageWithTimeout(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return result && *result != 0;
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)); }
DWORD ExStyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)); }

RECT ScreenRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT RectInParentClient(HWND child) {
  RECT rect = ScreenRectOf(child);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT ClientRectOnScreen(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::optional<LRESULT> SendMessageWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

HWND FocusedWindow(DWORD threadId) { return ThreadInfo(threadId).hwndFocus; }

HWND ActiveWindow(DWORD threadId) { return ThreadInfo(threadId).hwndActive; }

std::optional<POINT> FindNonClientPoint(HWND window, LRESULT hitTestCode) {
  RECT outer = ScreenRectOf(window);
  RECT client = ClientRectOnScreen(window);
  // The caption band and the frame above the client area hold every caption button.
  for (int y = outer.top; y < client.top; ++y) {
    for (int x = outer.right - 1; x >= outer.left; --x) {
      std::optional<LRESULT> hit = SendMessageWithTimeout(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
      if (hit && *hit == hitTestCode) {
        // Aim for the middle of the run of points that answer the same.
        int right = x;
        int left = x;
        while (left > outer.left) {
          std::optional<LRESULT> next = SendMessageWithTimeout(window, WM_NCHITTEST, 0, MAKELPARAM(left - 1, y));
          if (!next || *next != hitTestCode) break;
          --left;
        }
        int bottom = y;
        while (bottom + 1 < client.top) {
          std::optional<LRESULT> next =
              SendMessageWithTimeout(window, WM_NCHITTEST, 0, MAKELPARAM((left + right) / 2, bottom + 1));
          if (!next || *next != hitTestCode) break;
          ++bottom;
        }
        return POINT{(left + right) / 2, (y + bottom) / 2};
      }
    }
  }
  return std::nullopt;
}

WindowInfo DescribeWindow(HWND window) {
  WindowInfo info;
  info.hwnd = window;
  info.className = ClassNameOf(window);
  info.text = WindowTextOf(window);
  info.style = StyleOf(window);
  info.exStyle = ExStyleOf(window);
  info.rect = (info.style & WS_CHILD) ? RectInParentClient(window) : ScreenRectOf(window);
  info.id = static_cast<int>(GetWindowLongPtrA(window, GWLP_ID));
  info.visible = IsWindowVisible(window) != FALSE;
  info.enabled = IsWindowEnabled(window) != FALSE;
  return info;
}

}  // namespace zentravo::e2e
