#pragma once

// MainWindow: the program's one top-level window and its seven controls.

#include <windows.h>

#include <array>
#include <memory>

#include "app/base_window.h"
#include "app/controls.h"
#include "runtime/scoped_win.h"

namespace zentravo {

// The handlers bound to the window's events; each is called with no arguments.
// A null handler is skipped.
struct MainWindowEvents {
  void (*created)() = nullptr;       // the window and its controls exist, still hidden
  void (*queryClicked)() = nullptr;  // 按钮1
  void (*copyClicked)() = nullptr;   // 按钮2
};

class MainWindow : public BaseWindow<MainWindow> {
 public:
  // Loads the window, in this order: creates it hidden and centred on the screen
  // (moved and sized to its outer size if it came out otherwise); sets its icons
  // and font; creates the controls hidden, applies their stacking order and shows
  // them without activating anything; runs events.created; shows and activates
  // the window. Returns null, having run no event, when the window cannot be
  // created. At most one MainWindow exists at a time.
  static std::unique_ptr<MainWindow> Load(HINSTANCE instance, const MainWindowEvents& events);

  // Destroys the window if it is still there, then its icons.
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The loaded window, or null when there is none.
  static MainWindow* Current();

  // The control's window; null once the window has been destroyed.
  HWND ControlWindow(Control control) const;

  // Handles the keys the window takes for all its controls (Tab, Shift+Tab, Esc,
  // Enter, F1). The message loop calls this for every message first and skips
  // translating and dispatching the ones it handled.
  bool PreTranslateMessage(const MSG& message) const;

  // Used by BaseWindow.
  static MainWindow* Attach(HWND, const CREATESTRUCTA& create);
  static void Detach(MainWindow*) {}
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  explicit MainWindow(const MainWindowEvents& events) : events_(events) {}

  bool Create(HINSTANCE instance);
  void SetIconsAndFont(HINSTANCE instance);
  void CreateControls(HINSTANCE instance);
  void ApplyStackingOrder();
  void ShowControls();
  bool IsEditBox(HWND window) const;

  LRESULT OnCommand(int id, UINT code, HWND control);
  LRESULT OnCtlColorEdit(HDC dc, HWND control);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  LRESULT OnPaint();
  LRESULT OnActivate(UINT state, bool minimized);
  LRESULT OnSetFont(HFONT font);
  LRESULT OnGetFont();
  LRESULT OnDestroy();

  MainWindowEvents events_;
  std::array<HWND, kControlCount> controls_{};
  HFONT font_ = nullptr;          // the stock DEFAULT_GUI_FONT: not ours to delete
  ScopedIcon bigIcon_;             // outlive the window, which only borrows them
  ScopedIcon smallIcon_;
  HWND focusWhenInactive_ = nullptr;
};

// The window of `control` in the current MainWindow; null when there is none.
// This is how the user actions reach the edit boxes.
HWND MainWindowControl(Control control);

// Runs the event loop until the quit message arrives, letting `window` take its
// keys first. Returns the quit message's exit code.
int RunMessageLoop(const MainWindow& window);

}  // namespace zentravo
