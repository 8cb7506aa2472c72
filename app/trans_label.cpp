#include "app/trans_label.h"

#include <string>

#include "app/base_window.h"
#include "app/edit_text.h"
#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

constexpr DWORD kHorizontalMask = 0x3;

UINT DrawTextFormat(DWORD style) {
  UINT format = DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
  switch (style & kHorizontalMask) {
    case kTransLabelCentre: format |= DT_CENTER; break;
    case kTransLabelRight: format |= DT_RIGHT; break;
    default: format |= DT_LEFT; break;
  }
  format |= (style & kTransLabelVerticalCentre) ? DT_VCENTER : DT_TOP;
  return format;
}

// The label's rectangle in its parent's client coordinates.
RECT RectInParent(HWND label) {
  RECT rect{};
  GetWindowRect(label, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(label), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class TransLabel : public BaseWindow<TransLabel> {
 public:
  static TransLabel* Attach(HWND, const CREATESTRUCTA&) { return new TransLabel(); }
  static void Detach(TransLabel* label) { delete label; }
  static LRESULT CALLBACK Procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) { return WindowProc(w, m, wp, lp); }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_PAINT: return OnPaint();
      case WM_PRINTCLIENT: return OnPrintClient(reinterpret_cast<HDC>(wParam));
      case WM_ERASEBKGND: return OnEraseBackground();
      case WM_NCHITTEST: return OnNcHitTest();
      case WM_GETDLGCODE: return OnGetDlgCode();
      case WM_SETTEXT: return OnSetText(wParam, lParam);
      case WM_SETFONT: return OnSetFont(reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0);
      case WM_GETFONT: return OnGetFont();
      case kTransLabelSetTextColor: return OnSetTextColor(static_cast<COLORREF>(wParam));
      case kTransLabelGetTextColor: return OnGetTextColor();
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
  }

  // Draws the text as if the label filled `area` of `dc`.
  void DrawLabelText(HDC dc, RECT area) const {
    const std::string text = ReadEditText(hwnd_).str();
    ScopedSaveDc saved(dc);
    SelectObject(dc, Font());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color_);
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DrawTextFormat(static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE))));
  }

 private:
  HFONT Font() const {
    return font_ != nullptr ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }

  RECT ClientArea() const {
    RECT area{};
    GetClientRect(hwnd_, &area);
    return area;
  }

  // Where the text lands in the parent's client coordinates, label included.
  RECT TextBoundsInParent() const {
    RECT label = RectInParent(hwnd_);
    const std::string text = ReadEditText(hwnd_).str();
    RECT measured{0, 0, 0, 0};
    {
      ScopedGetDc dc(hwnd_);
      ScopedSelectObject font(dc.Get(), Font());
      ::DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &measured,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    int width = measured.right - measured.left;
    int height = measured.bottom - measured.top;
    // Wide enough for any alignment: the text may stick out on either side.
    RECT bounds{label.left - width, label.top - height, label.right + width, label.bottom + height};
    UnionRect(&bounds, &bounds, &label);
    return bounds;
  }

  // Repaints everything the text covers, inside the label and outside it.
  void RedrawText(const RECT& bounds) const {
    HWND parent = GetParent(hwnd_);
    if (parent == nullptr) {
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    }
    RedrawWindow(parent, &bounds, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  LRESULT OnPaint() {
    ScopedPaint paint(hwnd_);
    DrawLabelText(paint.Get(), ClientArea());
    return 0;
  }

  LRESULT OnPrintClient(HDC dc) {
    DrawLabelText(dc, ClientArea());
    return 0;
  }

  // Nothing to erase: the parent has painted what lies beneath.
  LRESULT OnEraseBackground() { return TRUE; }

  // Clicks go to whatever lies beneath, so a label never gets the focus from them.
  LRESULT OnNcHitTest() { return HTTRANSPARENT; }

  LRESULT OnGetDlgCode() { return DLGC_STATIC; }

  LRESULT OnSetText(WPARAM wParam, LPARAM lParam) {
    RECT before = TextBoundsInParent();
    LRESULT result = DefWindowProcA(hwnd_, WM_SETTEXT, wParam, lParam);
    RECT after = TextBoundsInParent();
    UnionRect(&after, &after, &before);
    RedrawText(after);
    return result;
  }

  LRESULT OnSetFont(HFONT font, bool redraw) {
    RECT before = TextBoundsInParent();
    font_ = font;
    if (redraw) {
      RECT after = TextBoundsInParent();
      UnionRect(&after, &after, &before);
      RedrawText(after);
    }
    return 0;
  }

  LRESULT OnGetFont() { return reinterpret_cast<LRESULT>(font_); }

  LRESULT OnSetTextColor(COLORREF color) {
    COLORREF previous = color_;
    color_ = color;
    RedrawText(TextBoundsInParent());
    return static_cast<LRESULT>(previous);
  }

  LRESULT OnGetTextColor() { return static_cast<LRESULT>(color_); }

  COLORREF color_ = RGB(0, 0, 0);
  HFONT font_ = nullptr;  // null: DEFAULT_GUI_FONT
};

TransLabel* LabelOf(HWND window) {
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpiA(className, kTransLabelClassName) != 0) return nullptr;
  return reinterpret_cast<TransLabel*>(GetWindowLongPtrA(window, 0));
}

}  // namespace

bool RegisterTransLabelClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = TransLabel::Procedure;
  windowClass.cbWndExtra = TransLabel::kWindowExtraBytes;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = nullptr;  // no background of its own
  windowClass.lpszClassName = kTransLabelClassName;
  return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void PaintTransLabelOverflow(HWND label, HDC parentDc) {
  const TransLabel* self = LabelOf(label);
  if (self == nullptr || !IsWindowVisible(label)) return;
  RECT area = RectInParent(label);
  ScopedSaveDc saved(parentDc);
  // The label draws its own part; drawing it twice would thicken smoothed edges.
  ExcludeClipRect(parentDc, area.left, area.top, area.right, area.bottom);
  self->DrawLabelText(parentDc, area);
}

}  // namespace zentravo
