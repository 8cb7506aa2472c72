#pragma once

// Zentravo.exe driven through its two actions the way a user drives it: a link
// typed or pasted into 编辑框1, a click on 查询, the answer read from 编辑框2, a
// click on 复制 and the message box that follows. Reusable against any lookup
// server that answers at the program's lookup address.

#include <windows.h>

#include <optional>
#include <string>

#include "tests/e2e/support/zentravo.h"

namespace zentravo::e2e {

// Code page 936 bytes of the texts of the actions.
inline constexpr char k信息[] = "\xD0\xC5\xCF\xA2\xA3\xBA";  // "信息：" (full-width colon), the boxes' title
inline constexpr char k已复制[] = "\xD2\xD1\xB8\xB4\xD6\xC6";
inline constexpr char k复制失败[] = "\xB8\xB4\xD6\xC6\xCA\xA7\xB0\xDC";

enum class LinkEntry {
  kTyped,   // typed character by character
  kPasted,  // put on the clipboard, then Ctrl+V
};

class LookupSession {
 public:
  // Starts Zentravo.exe alone in a fresh folder named `name` (LaunchZentravoAlone).
  explicit LookupSession(const std::string& name);

  // Empty when the program is up with its seven controls; otherwise what is wrong.
  std::string StartupProblem() const;

  const RunningZentravo& running() const { return running_; }
  HWND window() const { return running_.window; }
  const ZentravoControls& controls() const { return running_.controls; }
  DWORD processId() const { return running_.program->processId(); }

  // Empties 编辑框1, clicks into it and enters `link` (code page 936 bytes) as
  // `entry` says. True once 编辑框1 shows exactly `link`.
  bool EnterLink(const std::string& link, LinkEntry entry);

  // Clicks 查询.
  bool ClickQuery() const;

  // Waits until the window answers again and 编辑框2 shows exactly `expected`.
  bool WaitForAnswer(const std::string& expected) const;

  // The text of 编辑框2 when the window answers; nullopt while it is busy.
  std::optional<std::string> Answer() const;

  // Clicks 复制 and waits for the message box titled "信息："; null when none
  // appears.
  HWND ClickCopy() const;

  // Closes `box` with a click on its only button; true once the box is gone and
  // the main window takes input again.
  bool CloseMessageBox(HWND box) const;

  // True when the program is idle with no window but its main window: a click
  // into 编辑框1 and a typed character arrive there (a modal box would take
  // them), and the character is taken back. Use after an action that should
  // show nothing.
  bool ShowsNothingButTheMainWindow();

 private:
  HWND EditBox(HWND ZentravoControls::*control) const { return running_.controls.*control; }

  RunningZentravo running_;
};

}  // namespace zentravo::e2e
