#include "skin_painter.h"

namespace skinh {
namespace {

// The window procedure the skin replaced, kept on the window itself.
constexpr char kPreviousProcProperty[] = "SkinH_EL.PreviousProc";

Skin g_skin;

COLORREF ToColorRef(Rgb c) { return RGB(c.red, c.green, c.blue); }

std::uint8_t Mix(std::uint8_t from, std::uint8_t to, int step, int steps) {
  if (steps <= 0) return from;
  return static_cast<std::uint8_t>(from + (static_cast<int>(to) - from) * step / steps);
}

void FillWithColour(HDC dc, const RECT& rect, COLORREF colour) {
  // The DC brush takes any colour without creating a GDI object.
  SetDCBrushColor(dc, colour);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

WNDPROC PreviousProc(HWND window) {
  return reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProcProperty));
}

LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = PreviousProc(window);
  if (previous == nullptr) {
    return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                   : DefWindowProcA(window, message, wParam, lParam);
  }
  return IsWindowUnicode(window) ? CallWindowProcW(previous, window, message, wParam, lParam)
                                 : CallWindowProcA(previous, window, message, wParam, lParam);
}

LRESULT CALLBACK SkinnedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      PaintSkinnedBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PRINTCLIENT:
      // Themed controls ask their parent for the background beneath them this way.
      if (lParam & PRF_ERASEBKGND) PaintSkinnedBackground(window, reinterpret_cast<HDC>(wParam));
      return CallPrevious(window, message, wParam, lParam & ~static_cast<LPARAM>(PRF_ERASEBKGND));
    case WM_NCDESTROY: {
      // Hand the window back to its own procedure before it goes.
      WNDPROC previous = PreviousProc(window);
      if (previous != nullptr) {
        if (IsWindowUnicode(window)) {
          SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        } else {
          SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
      }
      RemovePropA(window, kPreviousProcProperty);
      RemovePropA(window, kSkinnedProperty);
      if (previous == nullptr) return 0;
      return IsWindowUnicode(window) ? CallWindowProcW(previous, window, message, wParam, lParam)
                                     : CallWindowProcA(previous, window, message, wParam, lParam);
    }
    default:
      return CallPrevious(window, message, wParam, lParam);
  }
}

bool Subclass(HWND window) {
  if (GetPropA(window, kPreviousProcProperty) != nullptr) return true;  // skinned before
  const bool unicode = IsWindowUnicode(window);
  LONG_PTR previous = unicode ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                              : GetWindowLongPtrA(window, GWLP_WNDPROC);
  if (previous == 0) return false;
  if (!SetPropA(window, kPreviousProcProperty, reinterpret_cast<HANDLE>(previous))) return false;
  if (unicode) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinnedWindowProc));
  } else {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinnedWindowProc));
  }
  SetPropA(window, kSkinnedProperty, reinterpret_cast<HANDLE>(1));
  return true;
}

BOOL CALLBACK SkinOneWindow(HWND window, LPARAM countPointer) {
  // Only real application windows: hidden utility windows (IME and the like) have no caption.
  if ((GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return TRUE;
  if (!Subclass(window)) return TRUE;
  ++*reinterpret_cast<int*>(countPointer);
  RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}

}  // namespace

void PaintSkinnedBackground(HWND window, HDC dc) {
  RECT client;
  if (!GetClientRect(window, &client)) return;
  const int height = client.bottom - client.top;
  for (int y = 0; y < height; ++y) {
    const int step = y;
    const int steps = height - 1;
    COLORREF colour = RGB(Mix(g_skin.backgroundTop.red, g_skin.backgroundBottom.red, step, steps),
                          Mix(g_skin.backgroundTop.green, g_skin.backgroundBottom.green, step, steps),
                          Mix(g_skin.backgroundTop.blue, g_skin.backgroundBottom.blue, step, steps));
    RECT row{client.left, client.top + y, client.right, client.top + y + 1};
    FillWithColour(dc, row, colour);
  }
  const int w = g_skin.frameWidth;
  if (w > 0) {
    const COLORREF frame = ToColorRef(g_skin.frame);
    FillWithColour(dc, RECT{client.left, client.top, client.right, client.top + w}, frame);
    FillWithColour(dc, RECT{client.left, client.bottom - w, client.right, client.bottom}, frame);
    FillWithColour(dc, RECT{client.left, client.top, client.left + w, client.bottom}, frame);
    FillWithColour(dc, RECT{client.right - w, client.top, client.right, client.bottom}, frame);
  }
}

int ApplySkinToThreadWindows(const Skin& skin) {
  g_skin = skin;
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), SkinOneWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace skinh
