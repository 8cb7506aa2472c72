#pragma once

// The pattern every window of the program follows: the window's state lives in
// one C++ object, attached to the window when it is created (WM_NCCREATE) and
// detached when it is gone (WM_NCDESTROY); the window procedure only finds the
// object and hands the message to its HandleMessage, which dispatches to one
// OnXxx handler per message.
//
// Derived supplies:
//   static Derived* Attach(HWND, const CREATESTRUCTA&);  // the object for a new window, or null to fail creation
//   static void Detach(Derived*);                        // the window is gone
//   LRESULT HandleMessage(UINT, WPARAM, LPARAM);
// and registers its class with cbWndExtra = kWindowExtraBytes, so the object
// pointer sits in the window's own extra bytes (GWLP_USERDATA stays free).

#include <windows.h>

namespace zentravo {

template <typename Derived>
class BaseWindow {
 public:
  static constexpr int kWindowExtraBytes = sizeof(LONG_PTR);

  HWND hwnd() const { return hwnd_; }

 protected:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Derived* self = nullptr;
    if (message == WM_NCCREATE) {
      self = Derived::Attach(window, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
      if (self == nullptr) return FALSE;
      static_cast<BaseWindow*>(self)->hwnd_ = window;
      SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<Derived*>(GetWindowLongPtrA(window, 0));
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find no object yet.
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(window, 0, 0);
      static_cast<BaseWindow*>(self)->hwnd_ = nullptr;
      Derived::Detach(self);
    }
    return result;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace zentravo
