#pragma once

// The two user actions, bound to the clicks of 按钮1 ("查询") and 按钮2 ("复制").
// Each runs on the window's thread inside the event loop and reaches the edit
// boxes through MainWindowControl (app/main_window.h), ReadEditText and
// ReplaceEditText (app/edit_text.h).

namespace zentravo {

// 按钮1 clicked: LookupAnswer (web/lookup.h) of the text of 编辑框1 replaces the
// text of 编辑框2, whatever the outcome. Blocks the window until the service has
// answered or failed; reports nothing else.
void OnQueryClicked();

// 按钮2 clicked: SetClipboardText (app/clipboard.h) of the text of 编辑框2, then a
// task-modal message box titled "信息：" with one OK button and no icon, saying
// "已复制" when the text is on the clipboard and "复制失败" when it is not. Returns
// when the box has been closed.
void OnCopyClicked();

}  // namespace zentravo
