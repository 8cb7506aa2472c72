#include "tests/e2e/lookup_session.h"

#include <vector>

#include "tests/e2e/support/clipboard.h"
#include "tests/e2e/support/input.h"
#include "tests/e2e/support/message_box.h"
#include "tests/e2e/support/wait.h"
#include "tests/e2e/support/window_query.h"

namespace zentravo::e2e {

LookupSession::LookupSession(const std::string& name) : running_(LaunchZentravoAlone(name)) {}

std::string LookupSession::StartupProblem() const {
  if (!running_.program) return "Zentravo.exe did not start: " + ZentravoExePath();
  if (running_.window == nullptr) return "no main window became visible";
  if (running_.controls.编辑框1 == nullptr) return "the main window does not have exactly seven children";
  return std::string();
}

bool LookupSession::EnterLink(const std::string& link, LinkEntry entry) {
  HWND edit = EditBox(&ZentravoControls::编辑框1);
  if (!SetWindowTextOf(edit, "") || !ClickWindowCentre(edit)) return false;
  if (!WaitUntil([&] { return FocusedWindow(running_.program->threadId()) == edit; })) return false;
  if (entry == LinkEntry::kPasted) {
    if (!WriteClipboardText(link) || !PressKey('V', kControl)) return false;
  } else if (!TypeText(link)) {
    return false;
  }
  return WaitUntil([&] { return WindowTextOf(edit) == link; });
}

bool LookupSession::ClickQuery() const { return ClickWindowCentre(running_.controls.按钮1); }

std::optional<std::string> LookupSession::Answer() const {
  HWND edit = EditBox(&ZentravoControls::编辑框2);
  // WindowTextOf gives "" also for a window that does not answer; a lookup keeps
  // the window busy, so it must answer first.
  if (!SendMessageWithTimeout(edit, WM_GETTEXTLENGTH)) return std::nullopt;
  return WindowTextOf(edit);
}

bool LookupSession::WaitForAnswer(const std::string& expected) const {
  return WaitUntil([&] { return Answer() == expected; });
}

HWND LookupSession::ClickCopy() const {
  if (!ClickWindowCentre(running_.controls.按钮2)) return nullptr;
  return WaitForMessageBox(processId(), k信息, kDefaultTimeoutMs);
}

bool LookupSession::CloseMessageBox(HWND box) const {
  MessageBoxContents contents = ReadMessageBox(box);
  if (contents.buttons.size() != 1) return false;
  if (!ClickWindowCentre(MessageBoxButton(box, contents.buttons[0]))) return false;
  return WaitUntil([&] { return !IsWindow(box) && IsWindowEnabled(running_.window); });
}

bool LookupSession::ShowsNothingButTheMainWindow() {
  HWND edit = EditBox(&ZentravoControls::编辑框1);
  const std::string before = WindowTextOf(edit);
  if (!ClickWindowCentre(edit) || !PressKey(VK_END) || !TypeText("z")) return false;
  const bool arrived = WaitUntil([&] { return WindowTextOf(edit) == before + "z"; });
  PressKey(VK_BACK);
  WaitUntil([&] { return WindowTextOf(edit) == before; });
  return arrived && VisibleProcessWindows(processId()) == std::vector<HWND>{running_.window};
}

}  // namespace zentravo::e2e
