// MainWindow inside the test process: the order of loading, the events bound
// to it, what it gives its controls, and the Tab walk over controls that
// cannot take the focus. (Its look and real keyboard input are end-to-end tests.)

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/edit_text.h"
#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

struct Recorded {
  int created = 0;
  int query = 0;
  int copy = 0;
  bool visibleWhenCreated = true;
  std::vector<std::string> textsWhenCreated;
};
Recorded g_recorded;

void RecordCreated() {
  ++g_recorded.created;
  MainWindow* window = MainWindow::Current();
  g_recorded.visibleWhenCreated = window != nullptr && IsWindowVisible(window->hwnd());
  for (Control control : kCreationOrder) g_recorded.textsWhenCreated.push_back(ReadEditText(MainWindowControl(control)).str());
}
void RecordQuery() { ++g_recorded.query; }
void RecordCopy() { ++g_recorded.copy; }

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    g_recorded = Recorded{};
    window_ = MainWindow::Load(GetModuleHandleA(nullptr), {RecordCreated, RecordQuery, RecordCopy});
    ASSERT_NE(window_, nullptr);
  }

  HWND Control(Control control) const { return window_->ControlWindow(control); }

  // Takes the messages posted so far (the quit message included) off the queue.
  static void Drain() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }

  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, RunsTheCreatedEventOnceWhileHiddenWithTheControlsInPlaceThenShows) {
  EXPECT_EQ(g_recorded.created, 1);
  EXPECT_FALSE(g_recorded.visibleWhenCreated);
  const std::vector<std::string> texts = {"", "\xB2\xE9\xD1\xAF", "\xCD\xBC\xC6\xAC\xC1\xB4\xBD\xD3\xA3\xBA", "",
                                          "\xB8\xB4\xD6\xC6", "\x55\x49\x44\xA3\xBA",
                                          "\xB1\xBE\xC8\xED\xBC\xFE\xBD\xF6\xB9\xA9\xD1\xA7\xCF\xB0\xBD\xBB\xC1\xF7"
                                          "\xCA\xB9\xD3\xC3\xA3\xAC\xC7\xEB\xCE\xF0\xD3\xC3\xD3\xDA\xCE\xA5\xB7\xA8"
                                          "\xCE\xA5\xB9\xE6\xD3\xC3\xCD\xBE"};
  EXPECT_EQ(g_recorded.textsWhenCreated, texts);
  EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
  EXPECT_EQ(MainWindow::Current(), window_.get());
}

TEST_F(MainWindowTest, ButtonClicksReachTheirHandlersAndNothingElseDoes) {
  struct Case {
    const char* name;
    zentravo::Control control;
    int query;
    int copy;
  };
  const Case cases[] = {
      {"按钮1", Control::按钮1, 1, 0},
      {"按钮2", Control::按钮2, 1, 1},
      {"按钮1 again", Control::按钮1, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendMessageA(Control(c.control), BM_CLICK, 0, 0);
    EXPECT_EQ(g_recorded.query, c.query);
    EXPECT_EQ(g_recorded.copy, c.copy);
  }
  // Other notifications of the buttons, and commands of other controls, do nothing.
  SendMessageA(window_->hwnd(), WM_COMMAND, MAKEWPARAM(ControlId(Control::按钮1), BN_SETFOCUS),
               reinterpret_cast<LPARAM>(Control(Control::按钮1)));
  SendMessageA(window_->hwnd(), WM_COMMAND, MAKEWPARAM(ControlId(Control::编辑框1), EN_CHANGE),
               reinterpret_cast<LPARAM>(Control(Control::编辑框1)));
  EXPECT_EQ(g_recorded.query, 2);
  EXPECT_EQ(g_recorded.copy, 1);
  EXPECT_EQ(g_recorded.created, 1);
}

TEST_F(MainWindowTest, HasTheProgramIconAtBothSizesAndTheGuiFontEverywhere) {
  struct IconCase {
    const char* name;
    WPARAM which;
    int widthMetric;
  };
  for (const IconCase& c : {IconCase{"large", ICON_BIG, SM_CXICON}, IconCase{"small", ICON_SMALL, SM_CXSMICON}}) {
    SCOPED_TRACE(c.name);
    HICON icon = reinterpret_cast<HICON>(SendMessageA(window_->hwnd(), WM_GETICON, c.which, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    ScopedBitmap colour(info.hbmColor);
    ScopedBitmap mask(info.hbmMask);
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(c.widthMetric));
  }

  const LRESULT guiFont = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(SendMessageA(window_->hwnd(), WM_GETFONT, 0, 0), guiFont);
  for (zentravo::Control control : {Control::编辑框1, Control::按钮1, Control::编辑框2, Control::按钮2}) {
    EXPECT_EQ(SendMessageA(Control(control), WM_GETFONT, 0, 0), guiFont) << ControlIndex(control);
  }
}

TEST_F(MainWindowTest, BothEditBoxesAreBlackOnWhiteReadOnlyOrNot) {
  ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  struct Case {
    const char* name;
    UINT message;
    zentravo::Control control;
  };
  const Case cases[] = {
      {"编辑框1 asks as an edit box", WM_CTLCOLOREDIT, Control::编辑框1},
      {"编辑框2 asks as an edit box", WM_CTLCOLOREDIT, Control::编辑框2},
      {"编辑框2 asks as a read-only box", WM_CTLCOLORSTATIC, Control::编辑框2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetTextColor(dc.Get(), RGB(1, 2, 3));
    SetBkColor(dc.Get(), RGB(4, 5, 6));
    LRESULT brush = SendMessageA(window_->hwnd(), c.message, reinterpret_cast<WPARAM>(dc.Get()),
                                 reinterpret_cast<LPARAM>(Control(c.control)));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(GetTextColor(dc.Get()), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc.Get()), RGB(255, 255, 255));
  }
}

TEST_F(MainWindowTest, ReadsAndReplacesEditTextByteForByte) {
  const std::string longText(70000, 'a');  // beyond an edit box's default limit of 30000
  const std::vector<std::string> texts = {"https://example.invalid/a b&c#d", "\xCD\xBC\xC6\xAC UID\xA3\xBA 1",
                                          longText, ""};
  for (zentravo::Control control : {Control::编辑框1, Control::编辑框2}) {
    for (const std::string& text : texts) {
      SCOPED_TRACE(std::to_string(ControlIndex(control)) + ": " + text.substr(0, 40));
      ReplaceEditText(Control(control), Text(text));
      EXPECT_EQ(ReadEditText(Control(control)).str(), text);
    }
  }
  EXPECT_TRUE(ReadEditText(nullptr).empty());
}

TEST_F(MainWindowTest, TabSkipsControlsThatAreDisabledHiddenOrNotTabStops) {
  ASSERT_TRUE(SetForegroundWindow(window_->hwnd()));
  SetFocus(Control(Control::编辑框1));
  ASSERT_EQ(GetFocus(), Control(Control::编辑框1));
  auto pressTab = [&] {
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(window_->PreTranslateMessage(tab));
  };

  EnableWindow(Control(Control::按钮1), FALSE);
  pressTab();
  EXPECT_EQ(GetFocus(), Control(Control::编辑框2)) << "a disabled button is passed over";

  ShowWindow(Control(Control::按钮2), SW_HIDE);
  pressTab();
  EXPECT_EQ(GetFocus(), Control(Control::编辑框1)) << "a hidden button is passed over";

  SetWindowLongPtrA(Control(Control::编辑框2), GWL_STYLE,
                    GetWindowLongPtrA(Control(Control::编辑框2), GWL_STYLE) & ~WS_TABSTOP);
  pressTab();
  EXPECT_EQ(GetFocus(), Control(Control::编辑框1)) << "alone in the walk, the focus stays";

  // Keys of windows that are not the main window's are left alone.
  ScopedWindow other(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  MSG foreign{other.Get(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_FALSE(window_->PreTranslateMessage(foreign));
  MSG letter{Control(Control::编辑框1), WM_KEYDOWN, 'A', 0, 0, {}};
  EXPECT_FALSE(window_->PreTranslateMessage(letter));
}

TEST_F(MainWindowTest, EscapeClosesTheWindowAndPostsTheQuitMessage) {
  MSG escape{Control(Control::按钮2), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
  EXPECT_TRUE(window_->PreTranslateMessage(escape));
  EXPECT_EQ(window_->hwnd(), nullptr);
  EXPECT_EQ(window_->ControlWindow(Control::编辑框1), nullptr);
  MSG quit{};
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  Drain();
}

}  // namespace
}  // namespace zentravo
