// ShowMessageBox with a real message box, closed from a second thread by the
// button each case presses; and the style it asks for.

#include "app/message_box.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

TEST(MessageBoxStyle, AddsTaskModalUnlessSystemModal) {
  struct Row {
    const char* name;
    UINT buttons;
    UINT style;
  };
  const Row rows[] = {
      {"OK", MB_OK, 0x2000},
      {"OK and Cancel", MB_OKCANCEL, 0x2001},
      {"Yes and No with a question mark", MB_YESNO | MB_ICONQUESTION, 0x2024},
      {"topmost", MB_TOPMOST, 0x42000},
      {"system-modal stays so", MB_SYSTEMMODAL, 0x1000},
      {"system-modal Yes and No", MB_SYSTEMMODAL | MB_YESNO, 0x1004},
      {"task-modal already: kept, not turned into MB_HELP", MB_TASKMODAL, 0x2000},
      {"both modal flags", MB_TASKMODAL | MB_SYSTEMMODAL, 0x3000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(MessageBoxStyle(row.buttons), row.style);
  }
}

// What the closing thread saw of the box before it pressed the button.
struct SeenBox {
  std::string title;
  std::string text;
  HWND owner = nullptr;
  bool otherWindowEnabled = true;
};

struct BoxSearch {
  HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::string(className) == "#32770" && IsWindowVisible(window)) {
    reinterpret_cast<BoxSearch*>(param)->box = window;
    return FALSE;
  }
  return TRUE;
}

std::string TextOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// Waits for the message box of thread `threadId`, notes what it shows, and
// presses `buttonId`.
std::thread CloseBoxOfThread(DWORD threadId, int buttonId, HWND otherWindow, SeenBox* seen,
                             std::atomic<bool>* found) {
  return std::thread([=] {
    for (int tries = 0; tries < 400; ++tries) {
      BoxSearch search;
      EnumThreadWindows(threadId, FindBox, reinterpret_cast<LPARAM>(&search));
      if (search.box != nullptr) {
        seen->title = TextOf(search.box);
        seen->text = TextOf(GetDlgItem(search.box, 0xFFFF));  // the message's static control
        seen->owner = GetWindow(search.box, GW_OWNER);
        seen->otherWindowEnabled = IsWindowEnabled(otherWindow) != FALSE;
        *found = true;
        PostMessageA(search.box, WM_COMMAND, buttonId, 0);
        return;
      }
      Sleep(25);
    }
  });
}

TEST(ShowMessageBox, ShowsTitleTextAndOwnerAndReturnsThePressedButton) {
  ScopedWindow other(CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
  ASSERT_TRUE(other);

  struct Row {
    const char* name;
    UINT buttons;
    std::optional<Text> title;
    bool owned;
    int press;
    int result;
    std::string shownTitle;
  };
  const std::string kDefaultTitle = "\xD0\xC5\xCF\xA2\xA3\xBA";  // 信息：
  const Row rows[] = {
      {"OK, default title", MB_OK, std::nullopt, false, IDOK, 0, kDefaultTitle},
      {"Cancel, own title", MB_OKCANCEL, Text("T"), false, IDCANCEL, 1, "T"},
      {"Abort", MB_ABORTRETRYIGNORE, std::nullopt, false, IDABORT, 2, kDefaultTitle},
      {"Retry", MB_ABORTRETRYIGNORE, std::nullopt, false, IDRETRY, 3, kDefaultTitle},
      {"Ignore", MB_ABORTRETRYIGNORE, std::nullopt, false, IDIGNORE, 4, kDefaultTitle},
      {"Yes", MB_YESNO, std::nullopt, false, IDYES, 5, kDefaultTitle},
      {"No, owned", MB_YESNO, std::nullopt, true, IDNO, 6, kDefaultTitle},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SeenBox seen;
    std::atomic<bool> found = false;
    std::thread closer = CloseBoxOfThread(GetCurrentThreadId(), row.press, other.Get(), &seen, &found);
    const int result = ShowMessageBox("\xD2\xD1\xB8\xB4\xD6\xC6", row.buttons, row.title,
                                      row.owned ? std::optional<HWND>(other.Get()) : std::nullopt);
    closer.join();
    ASSERT_TRUE(found) << "no message box appeared";
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(seen.title, row.shownTitle);
    EXPECT_EQ(seen.text, "\xD2\xD1\xB8\xB4\xD6\xC6");  // 已复制
    EXPECT_EQ(seen.owner, row.owned ? other.Get() : nullptr);
    // Unowned and task-modal: the thread's other windows take no input meanwhile.
    // Owned: the owner is disabled as for any dialog.
    EXPECT_FALSE(seen.otherWindowEnabled);
    EXPECT_TRUE(IsWindowEnabled(other.Get())) << "enabled again once the box is closed";
  }
}

}  // namespace
}  // namespace zentravo
