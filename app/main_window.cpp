#include "app/main_window.h"

#include <commctrl.h>

#include "app/main_window_layout.h"
#include "runtime/scoped_win.h"
#include "app/trans_label.h"
#include "app/window_keys.h"

namespace zentravo {
namespace {

constexpr char kIconName[] = "DEFAULT_ICON";

MainWindow* g_current = nullptr;

const char* ClassNameOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::EditBox: return "Edit";
    case ControlKind::Button: return "Button";
    case ControlKind::TransLabel: return kTransLabelClassName;
  }
  return "";
}

bool RegisterMainWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = BaseWindow<MainWindow>::kWindowExtraBytes;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kMainWindowClassName;
  return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Not LR_SHARED: shared icons are cached by name alone, so the second size
// asked for would come back at the first one's size.
HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageA(instance, kIconName, IMAGE_ICON, GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), 0));
}

}  // namespace

std::unique_ptr<MainWindow> MainWindow::Load(HINSTANCE instance, const MainWindowEvents& events) {
  std::unique_ptr<MainWindow> window(new MainWindow(events));
  if (!window->Create(instance)) return nullptr;
  window->SetIconsAndFont(instance);
  window->CreateControls(instance);
  window->ApplyStackingOrder();
  window->ShowControls();
  g_current = window.get();
  if (window->events_.created != nullptr) window->events_.created();
  // The handler may have closed the window; then there is nothing left to show.
  if (window->hwnd_ != nullptr) {
    ShowWindow(window->hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(window->hwnd_);
    UpdateWindow(window->hwnd_);
  }
  return window;
}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (g_current == this) g_current = nullptr;
}

MainWindow* MainWindow::Current() { return g_current; }

MainWindow* MainWindow::Attach(HWND, const CREATESTRUCTA& create) {
  return static_cast<MainWindow*>(create.lpCreateParams);
}

HWND MainWindow::ControlWindow(Control control) const {
  return hwnd_ != nullptr ? controls_[ControlIndex(control)] : nullptr;
}

bool MainWindow::PreTranslateMessage(const MSG& message) const {
  if (hwnd_ == nullptr) return false;
  std::array<HWND, kTabOrder.size()> tabOrder{};
  for (size_t i = 0; i < kTabOrder.size(); ++i) tabOrder[i] = ControlWindow(kTabOrder[i]);
  return HandleWindowKey(hwnd_, tabOrder, message);
}

bool MainWindow::Create(HINSTANCE instance) {
  if (!RegisterMainWindowClass(instance, WindowProc) || !RegisterTransLabelClass(instance)) return false;
  // The visual-style edit and button classes of the common controls.
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);

  // Centred, halves rounded toward zero.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - kMainWindowWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kMainWindowHeight) / 2;
  HWND window = CreateWindowExA(kMainWindowExStyle, kMainWindowClassName, kMainWindowCaption,
                                kMainWindowStyle, left, top, kMainWindowWidth, kMainWindowHeight,
                                nullptr, nullptr, instance, this);
  if (window == nullptr) return false;

  RECT outer{};
  GetWindowRect(window, &outer);
  if (outer.right - outer.left != kMainWindowWidth || outer.bottom - outer.top != kMainWindowHeight) {
    SetWindowPos(window, nullptr, left, top, kMainWindowWidth, kMainWindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void MainWindow::SetIconsAndFont(HINSTANCE instance) {
  bigIcon_.Reset(LoadProgramIcon(instance, SM_CXICON, SM_CYICON));
  smallIcon_.Reset(LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void MainWindow::CreateControls(HINSTANCE instance) {
  for (const ControlLayout& layout : MainWindowControls()) {
    HWND control = CreateWindowExA(
        layout.exStyle, ClassNameOf(layout.kind), layout.text, WS_CHILD | layout.style, layout.left,
        layout.top, layout.width, layout.height, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(layout.control))), instance, nullptr);
    controls_[ControlIndex(layout.control)] = control;
    if (control == nullptr) continue;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    switch (layout.kind) {
      case ControlKind::EditBox:
        SendMessageA(control, EM_LIMITTEXT, 0, 0);  // 0: the platform's maximum
        break;
      case ControlKind::TransLabel:
        SendMessageA(control, kTransLabelSetTextColor, layout.textColor, 0);
        break;
      case ControlKind::Button:
        break;
    }
  }
}

void MainWindow::ApplyStackingOrder() {
  // Each control goes just below the previous one; the first goes to the top.
  HWND above = HWND_TOP;
  for (Control control : kStackingOrder) {
    HWND window = ControlWindow(control);
    if (window == nullptr) continue;
    SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = window;
  }
}

void MainWindow::ShowControls() {
  for (HWND control : controls_) {
    if (control != nullptr) ShowWindow(control, SW_SHOWNA);
  }
}

bool MainWindow::IsEditBox(HWND window) const {
  return window != nullptr &&
         (window == ControlWindow(Control::编辑框1) || window == ControlWindow(Control::编辑框2));
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLOREDIT:
      return OnCtlColorEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PAINT:
      return OnPaint();
    case WM_ACTIVATE:
      return OnActivate(LOWORD(wParam), HIWORD(wParam) != 0);
    case WM_SETFONT:
      return OnSetFont(reinterpret_cast<HFONT>(wParam));
    case WM_GETFONT:
      return OnGetFont();
    case WM_DESTROY:
      return OnDestroy();
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT MainWindow::OnCommand(int id, UINT code, HWND control) {
  if (control == nullptr || code != BN_CLICKED) return 0;
  std::optional<Control> which = ControlFromId(id);
  if (which == Control::按钮1 && events_.queryClicked != nullptr) events_.queryClicked();
  if (which == Control::按钮2 && events_.copyClicked != nullptr) events_.copyClicked();
  return 0;
}

LRESULT MainWindow::OnCtlColorEdit(HDC dc, HWND control) {
  if (!IsEditBox(control)) return DefWindowProcA(hwnd_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control));
  SetTextColor(dc, kEditTextColor);
  SetBkColor(dc, kEditBackgroundColor);
  return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

// A read-only edit box asks here, not in WM_CTLCOLOREDIT: it stays white too.
LRESULT MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
  if (!IsEditBox(control)) return DefWindowProcA(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control));
  return OnCtlColorEdit(dc, control);
}

LRESULT MainWindow::OnPaint() {
  ScopedPaint paint(hwnd_);
  for (const ControlLayout& layout : MainWindowControls()) {
    if (layout.kind == ControlKind::TransLabel) {
      PaintTransLabelOverflow(ControlWindow(layout.control), paint.Get());
    }
  }
  return 0;
}

// The focus leaves with the window and comes back to the same control; the
// first time, it goes to 编辑框1, where the link is pasted.
LRESULT MainWindow::OnActivate(UINT state, bool minimized) {
  if (state == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) focusWhenInactive_ = focus;
    return 0;
  }
  if (minimized) return 0;
  HWND target = focusWhenInactive_;
  if (target == nullptr || !IsWindow(target) || !IsChild(hwnd_, target)) {
    target = ControlWindow(Control::编辑框1);
  }
  if (target != nullptr) SetFocus(target);
  return 0;
}

LRESULT MainWindow::OnSetFont(HFONT font) {
  font_ = font;
  return 0;
}

LRESULT MainWindow::OnGetFont() { return reinterpret_cast<LRESULT>(font_); }

LRESULT MainWindow::OnDestroy() {
  controls_.fill(nullptr);
  PostQuitMessage(0);
  return 0;
}

HWND MainWindowControl(Control control) {
  MainWindow* window = MainWindow::Current();
  return window != nullptr ? window->ControlWindow(control) : nullptr;
}

int RunMessageLoop(const MainWindow& window) {
  MSG message{};
  for (;;) {
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got < 0) return 0;  // an invalid window handle in the call; cannot happen with null
    if (window.PreTranslateMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace zentravo
