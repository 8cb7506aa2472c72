#pragma once

// Reading and replacing the text of an edit box (or any window with a text).

#include <windows.h>

#include "text/text.h"

namespace zentravo {

// A new copy of the current text of `edit`, in the ANSI code page. Empty when
// the box is empty or `edit` is not a window.
Text ReadEditText(HWND edit);

// Makes `edit` show exactly `text` (an empty text clears it). The box raises its
// own content-changed notification (EN_CHANGE). Read-only boxes take it too.
void ReplaceEditText(HWND edit, const Text& text);

}  // namespace zentravo
