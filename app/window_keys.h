#pragma once

// The keys a window handles for all of its controls, whichever has the focus,
// taken from the message loop before the focused control sees them.

#include <windows.h>

#include <span>

namespace zentravo {

// Handles `message` when it is a key press for `window` or one of its
// descendants, and returns true when it did (the message must then not be
// translated or dispatched):
//  - Tab / Shift+Tab move the focus forwards / backwards through `tabOrder`,
//    wrapping around and skipping controls that are hidden, disabled or lack
//    WS_TABSTOP; an edit box reached this way has its text selected.
//  - Esc closes `window` exactly as its close button does (WM_SYSCOMMAND, SC_CLOSE).
//  - Enter is swallowed: no default button, no focus move.
//  - F1 is swallowed: there is no help.
// Every other message is left alone (false).
bool HandleWindowKey(HWND window, std::span<const HWND> tabOrder, const MSG& message);

}  // namespace zentravo
