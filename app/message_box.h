#pragma once

// The program's message box.

#include <windows.h>

#include <optional>

#include "text/text.h"

namespace zentravo {

// The title a message box gets when none is given: "信息：" (full-width colon).
inline constexpr char kDefaultMessageBoxTitle[] = "信息：";

// The style MessageBoxA is given for `buttons` (MB_ button, icon and option
// bits): `buttons` with MB_TASKMODAL added, unless it holds MB_SYSTEMMODAL.
UINT MessageBoxStyle(UINT buttons);

// Shows `message` in a message box and waits until the user closes it. The box
// is owned by `owner` (none when not given), titled `title` (default
// kDefaultMessageBoxTitle) and styled MessageBoxStyle(buttons): with no owner the
// box is task-modal, so every window of the calling thread is disabled while it
// is up. Returns the button that closed it: 0 OK, 1 Cancel, 2 Abort, 3 Retry,
// 4 Ignore, 5 Yes, 6 No (MessageBoxA's IDOK..IDNO minus one); -1 when the box
// could not be shown.
int ShowMessageBox(const Text& message, UINT buttons, const std::optional<Text>& title = std::nullopt,
                   std::optional<HWND> owner = std::nullopt);

}  // namespace zentravo
