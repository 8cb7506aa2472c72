#pragma once

// What the main window and its seven controls look like: sizes, positions,
// texts, styles and colours. Narrow literals are code page 936 text.

#include <windows.h>

#include <array>

#include "app/controls.h"

namespace zentravo {

inline constexpr char kMainWindowClassName[] = "ZentravoMainWindow";
// The product name, exactly three spaces, the brand name.
inline constexpr char kMainWindowCaption[] = "Zentravo   Brellik";
// Outer size, frame and caption included.
inline constexpr int kMainWindowWidth = 380;
inline constexpr int kMainWindowHeight = 187;
// A fixed frame with caption, system menu and minimize box; no maximize box.
inline constexpr DWORD kMainWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kMainWindowExStyle = 0;

enum class ControlKind { EditBox, Button, TransLabel };

struct ControlLayout {
  Control control;
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  const char* text;
  DWORD style;    // besides WS_CHILD; WS_VISIBLE is given when the control is shown
  DWORD exStyle;
  COLORREF textColor;
};

// The seven controls in creation order (the order of kCreationOrder).
const std::array<ControlLayout, kControlCount>& MainWindowControls();

// The colours both edit boxes paint themselves in, read-only or not.
inline constexpr COLORREF kEditTextColor = RGB(0, 0, 0);
inline constexpr COLORREF kEditBackgroundColor = RGB(255, 255, 255);

}  // namespace zentravo
