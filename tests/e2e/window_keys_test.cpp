// The main window under real keyboard and mouse input: the Tab order, the keys
// that do nothing, what each edit box accepts, and every way of closing it.
//
// Zentravo.exe runs alone in a directory of its own, without a skin library.
// Input is asynchronous: a test that expects nothing to happen follows the key
// with something observable (typing a character, another Tab) and waits for
// that, so the key before it has certainly been handled.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/support/clipboard.h"
#include "tests/e2e/support/input.h"
#include "tests/e2e/support/wait.h"
#include "tests/e2e/support/window_query.h"
#include "tests/e2e/support/zentravo.h"

namespace zentravo::e2e {
namespace {

const std::string k图 = "\xCD\xBC";
const std::string k链接 = "\xC1\xB4\xBD\xD3";

using ControlOf = HWND ZentravoControls::*;

class ZentravoKeyboard : public testing::Test {
 protected:
  void SetUp() override {
    running_ = LaunchZentravoAlone("main-window-keys");
    ASSERT_TRUE(running_.program) << "Zentravo.exe did not start";
    ASSERT_NE(running_.window, nullptr) << "no main window became visible";
    ASSERT_NE(running_.controls.编辑框1, nullptr) << "the main window does not have exactly seven children";
    ASSERT_TRUE(BringToFront(running_.window));
    ASSERT_TRUE(WaitForFocus(&ZentravoControls::编辑框1)) << "the focus starts in 编辑框1";
  }

  HWND Control(ControlOf control) const { return running_.controls.*control; }
  HWND Focus() const { return FocusedWindow(running_.program->threadId()); }

  bool WaitForFocus(ControlOf control) const {
    return WaitUntil([&] { return Focus() == Control(control); });
  }
  bool WaitForText(ControlOf control, const std::string& text) const {
    return WaitUntil([&] { return WindowTextOf(Control(control)) == text; });
  }
  std::string TextOf(ControlOf control) const { return WindowTextOf(Control(control)); }

  RunningZentravo running_;
};

TEST_F(ZentravoKeyboard, TabAndShiftTabCycleThroughTheEditBoxesAndButtons) {
  struct Step {
    unsigned modifiers;
    ControlOf expected;
    const char* name;
  };
  const Step steps[] = {
      {kNoModifier, &ZentravoControls::按钮1, "Tab to 按钮1"},
      {kNoModifier, &ZentravoControls::编辑框2, "Tab to 编辑框2"},
      {kNoModifier, &ZentravoControls::按钮2, "Tab to 按钮2"},
      {kNoModifier, &ZentravoControls::编辑框1, "Tab wraps to 编辑框1"},
      {kShift, &ZentravoControls::按钮2, "Shift+Tab wraps to 按钮2"},
      {kShift, &ZentravoControls::编辑框2, "Shift+Tab to 编辑框2"},
      {kShift, &ZentravoControls::按钮1, "Shift+Tab to 按钮1"},
      {kShift, &ZentravoControls::编辑框1, "Shift+Tab to 编辑框1"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    ASSERT_TRUE(PressKey(VK_TAB, step.modifiers));
    EXPECT_TRUE(WaitForFocus(step.expected)) << "focus is on " << ClassNameOf(Focus());
  }
}

TEST_F(ZentravoKeyboard, EnterAndF1NeitherMoveTheFocusNorOpenAnything) {
  const ControlOf order[] = {&ZentravoControls::编辑框1, &ZentravoControls::按钮1, &ZentravoControls::编辑框2,
                             &ZentravoControls::按钮2};
  struct Key {
    WORD key;
    const char* name;
  };
  const Key keys[] = {{VK_RETURN, "Enter"}, {VK_F1, "F1"}};
  for (size_t i = 0; i < 4; ++i) {
    for (const Key& key : keys) {
      SCOPED_TRACE(std::string(key.name) + " on control " + std::to_string(i + 1) + " of the Tab order");
      ASSERT_TRUE(WaitForFocus(order[i]));
      ASSERT_TRUE(PressKey(key.key));
      // Still here: Tab and Shift+Tab come back to the same control.
      ASSERT_TRUE(PressKey(VK_TAB));
      EXPECT_TRUE(WaitForFocus(order[(i + 1) % 4]));
      ASSERT_TRUE(PressKey(VK_TAB, kShift));
      EXPECT_TRUE(WaitForFocus(order[i]));
    }
    ASSERT_TRUE(PressKey(VK_TAB));
  }
  // Enter in 编辑框1 types nothing and leaves the focus there.
  ASSERT_TRUE(WaitForFocus(&ZentravoControls::编辑框1));
  ASSERT_TRUE(PressKey(VK_RETURN));
  ASSERT_TRUE(TypeText("a"));
  EXPECT_TRUE(WaitForText(&ZentravoControls::编辑框1, "a")) << TextOf(&ZentravoControls::编辑框1);
  EXPECT_EQ(TextOf(&ZentravoControls::编辑框2), "");
  EXPECT_EQ(VisibleProcessWindows(running_.program->processId()), std::vector<HWND>{running_.window})
      << "no help, no message box";
  EXPECT_FALSE(running_.program->HasExited());
}

TEST_F(ZentravoKeyboard, OnlyEditBox1TakesTypingAndPasting) {
  const std::string shown = "123456";
  ASSERT_TRUE(SetWindowTextOf(Control(&ZentravoControls::编辑框2), shown));
  ASSERT_TRUE(WriteClipboardText(k链接));

  ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(WaitForFocus(&ZentravoControls::编辑框2));
  ASSERT_TRUE(PressKey(VK_END));
  ASSERT_TRUE(TypeText("zz" + k图));
  ASSERT_TRUE(PressKey('V', kControl));
  ASSERT_TRUE(PressKey(VK_BACK));
  ASSERT_TRUE(PressKey(VK_HOME));
  ASSERT_TRUE(PressKey(VK_DELETE));
  ASSERT_TRUE(PressKey('X', kControl));

  ASSERT_TRUE(PressKey(VK_TAB, kShift));
  ASSERT_TRUE(PressKey(VK_TAB, kShift));
  ASSERT_TRUE(WaitForFocus(&ZentravoControls::编辑框1));
  ASSERT_TRUE(TypeText("zz" + k图));
  ASSERT_TRUE(PressKey('V', kControl));
  ASSERT_TRUE(TypeText("!"));
  EXPECT_TRUE(WaitForText(&ZentravoControls::编辑框1, "zz" + k图 + k链接 + "!"))
      << TextOf(&ZentravoControls::编辑框1);
  EXPECT_EQ(TextOf(&ZentravoControls::编辑框2), shown) << "编辑框2 is read-only";
}

TEST_F(ZentravoKeyboard, EditBox2TextCanBeSelectedAndCopied) {
  const std::string shown = "UID\xA3\xBA" "1234567890";
  ASSERT_TRUE(SetWindowTextOf(Control(&ZentravoControls::编辑框2), shown));
  ASSERT_TRUE(EmptyTheClipboard());

  // Tab into an edit box selects its text.
  ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(WaitForFocus(&ZentravoControls::编辑框2));
  ASSERT_TRUE(PressKey('C', kControl));
  EXPECT_TRUE(WaitUntil([&] { return ReadClipboardText() == shown; })) << ReadClipboardText().value_or("<none>");
}

TEST_F(ZentravoKeyboard, ClicksOnTheLabelsLeaveTheFocusWhereItWas) {
  for (ControlOf label : {&ZentravoControls::透明标签1, &ZentravoControls::透明标签2, &ZentravoControls::透明标签3}) {
    ASSERT_TRUE(ClickWindowCentre(Control(label)));
  }
  ASSERT_TRUE(TypeText("m"));
  EXPECT_TRUE(WaitForText(&ZentravoControls::编辑框1, "m"));
  EXPECT_EQ(Focus(), Control(&ZentravoControls::编辑框1));
}

// Every way of closing the window ends the program with exit code 0.
struct CloseCase {
  const char* name;
  int tabsFirst;  // Tab presses before closing, to move the focus
  void (*close)(const RunningZentravo&);
};

void PressEscape(const RunningZentravo&) { PressKey(VK_ESCAPE); }
void PressAltF4(const RunningZentravo&) { PressKey(VK_F4, kAlt); }
void ClickCloseButton(const RunningZentravo& running) {
  std::optional<POINT> button = FindNonClientPoint(running.window, HTCLOSE);
  ASSERT_TRUE(button) << "no close button on the caption";
  ClickAt(*button);
}
void ChooseCloseInSystemMenu(const RunningZentravo& running) {
  PressKey(VK_SPACE, kAlt);
  WindowFilter menu;
  menu.className = "#32768";
  ASSERT_NE(WaitForProcessWindow(running.program->processId(), menu, kDefaultTimeoutMs), nullptr)
      << "the system menu did not open";
  Pause(300);  // the menu's own loop takes the keys once it runs
  // Close is "&Close" / "关闭(&C)" in every language; its place in the menu is not
  // fixed (Wine appends an item of its own after it).
  PressKey('C');
}

TEST(ZentravoClosing, EveryWayOfClosingEndsTheProgramWithExitCodeZero) {
  const CloseCase cases[] = {
      {"Esc in 编辑框1", 0, PressEscape},
      {"Esc in 按钮1", 1, PressEscape},
      {"Esc in 编辑框2", 2, PressEscape},
      {"Esc in 按钮2", 3, PressEscape},
      {"close button", 0, ClickCloseButton},
      {"Alt+F4", 0, PressAltF4},
      {"system menu, Close", 0, ChooseCloseInSystemMenu},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunningZentravo running = LaunchZentravoAlone("main-window-closing");
    ASSERT_TRUE(running.program);
    ASSERT_NE(running.window, nullptr);
    ASSERT_TRUE(BringToFront(running.window));
    for (int i = 0; i < c.tabsFirst; ++i) PressKey(VK_TAB);
    const HWND expectedFocus = c.tabsFirst == 0   ? running.controls.编辑框1
                               : c.tabsFirst == 1 ? running.controls.按钮1
                               : c.tabsFirst == 2 ? running.controls.编辑框2
                                                  : running.controls.按钮2;
    ASSERT_TRUE(WaitUntil([&] { return FocusedWindow(running.program->threadId()) == expectedFocus; }));

    c.close(running);
    EXPECT_EQ(running.program->WaitForExit(kDefaultTimeoutMs), 0);
    EXPECT_FALSE(IsWindow(running.window));
  }
}

}  // namespace
}  // namespace zentravo::e2e
