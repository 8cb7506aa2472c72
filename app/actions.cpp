#include "app/actions.h"

#include "app/clipboard.h"
#include "app/controls.h"
#include "app/edit_text.h"
#include "web/lookup.h"
#include "app/main_window.h"
#include "app/message_box.h"

namespace zentravo {

// The lookup: the link in 编辑框1 goes to the lookup service, the answer replaces 编辑框2.
// A failed lookup leaves 编辑框2 empty and shows nothing else.
void OnQueryClicked() {
  const Text link = ReadEditText(MainWindowControl(Control::编辑框1));
  ReplaceEditText(MainWindowControl(Control::编辑框2), LookupAnswer(link));
}

// The copy: the text of 编辑框2 goes to the clipboard, confirmed by a message box,
// or, when the clipboard did not take it, the box says so.
void OnCopyClicked() {
  const Text answer = ReadEditText(MainWindowControl(Control::编辑框2));
  const bool copied = SetClipboardText(answer);
  ShowMessageBox(copied ? "已复制" : "复制失败", MB_OK);
}

}  // namespace zentravo
