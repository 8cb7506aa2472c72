#pragma once

// TransLabel: a text label without a background. Its text is drawn in
// transparent mode over whatever lies beneath, as one line, in DEFAULT_GUI_FONT
// unless given another font, and is not clipped to the label's rectangle: the
// part that sticks out is drawn by the parent through PaintTransLabelOverflow.
// A label never takes the keyboard focus, lets mouse clicks through to what lies
// beneath, and sends no notifications. Create it with WS_EX_TRANSPARENT, so the
// parent paints its background beneath it first.

#include <windows.h>

namespace zentravo {

inline constexpr char kTransLabelClassName[] = "TransLabel";

// Style bits (the low byte of the window style).
inline constexpr DWORD kTransLabelLeft = 0x0;
inline constexpr DWORD kTransLabelCentre = 0x1;
inline constexpr DWORD kTransLabelRight = 0x2;
inline constexpr DWORD kTransLabelVerticalCentre = 0x4;  // otherwise the text sits at the top

// wParam: the new text colour (COLORREF). Returns the previous colour. The
// default colour is black.
inline constexpr UINT kTransLabelSetTextColor = WM_USER + 1;
// Returns the text colour (COLORREF). Works across processes.
inline constexpr UINT kTransLabelGetTextColor = WM_USER + 2;

// Registers the class for `instance`; true also when it is registered already.
bool RegisterTransLabelClass(HINSTANCE instance);

// Draws, into the DC of the label's parent (client coordinates), the part of
// the label's text that lies outside the label. The parent calls this from its
// own WM_PAINT for each visible label; nothing is drawn for a hidden label or
// for text that fits.
void PaintTransLabelOverflow(HWND label, HDC parentDc);

}  // namespace zentravo
