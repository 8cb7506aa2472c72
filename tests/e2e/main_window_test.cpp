// What the main window looks like from outside: its frame, its seven controls,
// what is painted on the screen, and what the executable carries.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/scoped_win.h"
#include "tests/e2e/support/program.h"
#include "tests/e2e/support/resources.h"
#include "tests/e2e/support/screen.h"
#include "tests/e2e/support/window_query.h"
#include "tests/e2e/support/zentravo.h"

namespace zentravo::e2e {
namespace {

// Code page 936 bytes of the texts the window shows.
const std::string k查询 = "\xB2\xE9\xD1\xAF";
const std::string k复制 = "\xB8\xB4\xD6\xC6";
const std::string k图片链接 = "\xCD\xBC\xC6\xAC\xC1\xB4\xBD\xD3\xA3\xBA";  // full-width colon A3 BA
const std::string kUid = "\x55\x49\x44\xA3\xBA";
const std::string k声明 =  // full-width comma A3 AC
    "\xB1\xBE\xC8\xED\xBC\xFE\xBD\xF6\xB9\xA9\xD1\xA7\xCF\xB0\xBD\xBB\xC1\xF7\xCA\xB9\xD3\xC3\xA3\xAC"
    "\xC7\xEB\xCE\xF0\xD3\xC3\xD3\xDA\xCE\xA5\xB7\xA8\xCE\xA5\xB9\xE6\xD3\xC3\xCD\xBE";

// EM_LIMITTEXT with 0 gives a single-line edit box the platform's maximum.
constexpr LRESULT kPlatformMaximumLimit = 0x7FFFFFFE;

std::string Describe(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "(%ld, %ld, %ld, %ld)", r.left, r.top, r.right, r.bottom);
  return text;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// One process for all the looking: nothing here changes the window. It runs
// without a skin library, which would paint the window its own way.
class MainWindowLook : public testing::Test {
 protected:
  static void SetUpTestSuite() { running_ = new RunningZentravo(LaunchZentravoAlone("main-window-look")); }
  static void TearDownTestSuite() {
    delete running_;
    running_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(running_->program) << "Zentravo.exe did not start: " << ZentravoExePath();
    ASSERT_NE(running_->window, nullptr) << "no main window became visible";
    ASSERT_NE(controls().编辑框1, nullptr) << "the main window does not have exactly seven children";
  }

  static HWND window() { return running_->window; }
  static const ZentravoControls& controls() { return running_->controls; }

  static RunningZentravo* running_;
};

RunningZentravo* MainWindowLook::running_ = nullptr;

TEST_F(MainWindowLook, FrameIsCentredFixedAndCaptioned) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_EQ(screenWidth, 1920) << "the tests expect the 1920 x 1080 virtual desktop";
  ASSERT_EQ(screenHeight, 1080);

  WindowInfo info = DescribeWindow(window());
  EXPECT_EQ(info.className, kMainWindowClass);
  EXPECT_EQ(info.text, std::string("Zentravo") + std::string(3, ' ') + "Brellik");
  EXPECT_TRUE(SameRect(info.rect, RECT{770, 446, 770 + 380, 446 + 187})) << Describe(info.rect);
  EXPECT_EQ(GetWindow(window(), GW_OWNER), nullptr) << "an owned window gets no taskbar button";

  struct StyleCase {
    const char* name;
    DWORD bits;
    bool exStyle;
    bool wanted;
  };
  const StyleCase cases[] = {
      {"WS_CAPTION", WS_CAPTION, false, true},
      {"WS_SYSMENU", WS_SYSMENU, false, true},
      {"WS_MINIMIZEBOX", WS_MINIMIZEBOX, false, true},
      {"WS_CLIPCHILDREN", WS_CLIPCHILDREN, false, true},
      {"WS_VISIBLE", WS_VISIBLE, false, true},
      {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX, false, false},
      {"WS_THICKFRAME", WS_THICKFRAME, false, false},
      {"WS_POPUP", WS_POPUP, false, false},
      {"WS_CHILD", WS_CHILD, false, false},
      {"WS_DISABLED", WS_DISABLED, false, false},
      {"WS_EX_TOPMOST", WS_EX_TOPMOST, true, false},
      {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW, true, false},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD style = c.exStyle ? info.exStyle : info.style;
    EXPECT_EQ((style & c.bits) == c.bits, c.wanted);
  }
}

TEST_F(MainWindowLook, ControlsMatchTheLayout) {
  struct ControlCase {
    const char* name;
    HWND ZentravoControls::*control;
    const char* className;
    RECT rect;  // client coordinates of the main window
    std::string text;
    DWORD wantedStyle;
    DWORD unwantedStyle;
    DWORD wantedExStyle;
    DWORD unwantedExStyle;
  };
  const DWORD kEditShape = ES_MULTILINE | ES_CENTER | ES_RIGHT | ES_UPPERCASE | ES_LOWERCASE |
                           ES_PASSWORD | ES_NOHIDESEL | WS_HSCROLL | WS_VSCROLL;
  const DWORD kButton = WS_TABSTOP | BS_CENTER | BS_VCENTER | BS_MULTILINE;
  const DWORD kNotAButtonStyle = BS_DEFPUSHBUTTON | BS_BITMAP | BS_ICON | BS_FLAT;
  // Stacking order, top first.
  const ControlCase cases[] = {
      {"透明标签3", &ZentravoControls::透明标签3, "TransLabel", {8, 120, 360, 152}, k声明, 0, WS_TABSTOP,
       WS_EX_TRANSPARENT, 0},
      {"透明标签2", &ZentravoControls::透明标签2, "TransLabel", {16, 75, 64, 107}, kUid, 0, WS_TABSTOP,
       WS_EX_TRANSPARENT, 0},
      {"按钮2", &ZentravoControls::按钮2, "Button", {304, 72, 360, 112}, k复制, kButton, kNotAButtonStyle, 0,
       0},
      {"编辑框2", &ZentravoControls::编辑框2, "Edit", {64, 72, 296, 112}, "",
       WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, kEditShape, WS_EX_CLIENTEDGE, 0},
      {"透明标签1", &ZentravoControls::透明标签1, "TransLabel", {4, 19, 52, 51}, k图片链接, 0, WS_TABSTOP,
       WS_EX_TRANSPARENT, 0},
      {"按钮1", &ZentravoControls::按钮1, "Button", {304, 16, 360, 56}, k查询, kButton, kNotAButtonStyle, 0,
       0},
      {"编辑框1", &ZentravoControls::编辑框1, "Edit", {64, 16, 296, 56}, "", WS_TABSTOP | ES_AUTOHSCROLL,
       kEditShape | ES_READONLY, WS_EX_CLIENTEDGE, 0},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.name);
    WindowInfo info = DescribeWindow(controls().*c.control);
    EXPECT_EQ(info.className, c.className);
    EXPECT_TRUE(SameRect(info.rect, c.rect)) << Describe(info.rect) << " instead of " << Describe(c.rect);
    EXPECT_EQ(info.text, c.text);
    EXPECT_TRUE(info.visible);
    EXPECT_TRUE(info.enabled);
    EXPECT_EQ(info.style & WS_CHILD, static_cast<DWORD>(WS_CHILD));
    EXPECT_EQ(info.style & c.wantedStyle, c.wantedStyle);
    EXPECT_EQ(info.style & c.unwantedStyle, 0u);
    EXPECT_EQ(info.exStyle & c.wantedExStyle, c.wantedExStyle);
    EXPECT_EQ(info.exStyle & c.unwantedExStyle, 0u);
    if (std::string(c.className) == "Button") {
      EXPECT_EQ(info.style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "neither button is the default";
    }
    if (std::string(c.className) == "Edit") {
      EXPECT_EQ(SendMessageWithTimeout(info.hwnd, EM_GETLIMITTEXT), kPlatformMaximumLimit);
    }
  }
}

// Pixels of the screen, in the main window's client coordinates.
class ClientPicture {
 public:
  ClientPicture(const ScreenImage& screen, HWND window)
      : screen_(screen), origin_(ClientRectOnScreen(window)) {}

  COLORREF At(int x, int y) const { return screen_.PixelAt(origin_.left + x, origin_.top + y); }
  int width() const { return origin_.right - origin_.left; }

 private:
  const ScreenImage& screen_;
  RECT origin_;
};

// Smoothed text edges blend the text colour into the background, so colours
// are judged by their tint: red text stays clearly redder than it is green or
// blue, black text stays grey.
bool IsReddish(COLORREF c) {
  return GetRValue(c) > GetGValue(c) + 40 && GetRValue(c) > GetBValue(c) + 40;
}
bool IsDarkGrey(COLORREF c) {
  int high = std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
  int low = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
  return high < 140 && high - low < 24;
}

// Where a label's text left ink, looked for in the label's band of the client
// area (wide enough for text that sticks out) outside every other control.
struct Ink {
  int count = 0;
  int red = 0;
  int dark = 0;
  RECT bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};

Ink FindInk(const ClientPicture& picture, const RECT& label, const std::vector<RECT>& others,
            COLORREF background) {
  Ink ink;
  for (int y = label.top; y < label.bottom; ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      POINT p{x, y};
      if (std::any_of(others.begin(), others.end(), [&](const RECT& r) { return PtInRect(&r, p); })) continue;
      COLORREF c = picture.At(x, y);
      if (c == background) continue;
      ++ink.count;
      ink.red += IsReddish(c) ? 1 : 0;
      ink.dark += IsDarkGrey(c) ? 1 : 0;
      ink.bounds.left = std::min<LONG>(ink.bounds.left, x);
      ink.bounds.top = std::min<LONG>(ink.bounds.top, y);
      ink.bounds.right = std::max<LONG>(ink.bounds.right, x + 1);
      ink.bounds.bottom = std::max<LONG>(ink.bounds.bottom, y + 1);
    }
  }
  return ink;
}

// The width of `text` in DEFAULT_GUI_FONT, measured here: the program draws with
// the same font of the same Wine prefix.
int TextWidth(const std::string& text) {
  ScopedGetDc dc(nullptr);
  ScopedSelectObject font(dc.Get(), GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32A(dc.Get(), text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

TEST_F(MainWindowLook, PaintsWhatAPersonShouldSee) {
  std::optional<ScreenImage> screen = CaptureScreen();
  ASSERT_TRUE(screen);
  EXPECT_TRUE(SaveScreenshotArtifact("main-window", window())) << "in " << ArtifactDirectory();
  ClientPicture picture(*screen, window());
  const COLORREF face = GetSysColor(COLOR_BTNFACE);

  // The window's own background, right of the buttons.
  EXPECT_EQ(picture.At(368, 60), face);

  // Both edit boxes are white inside; the read-only one too.
  for (HWND edit : {controls().编辑框1, controls().编辑框2}) {
    RECT r = RectInParentClient(edit);
    SCOPED_TRACE(Describe(r));
    EXPECT_EQ(picture.At((r.left + r.right) / 2, (r.top + r.bottom) / 2), RGB(255, 255, 255));
    EXPECT_EQ(picture.At(r.right - 6, r.bottom - 6), RGB(255, 255, 255));
  }

  std::vector<RECT> others;
  for (HWND control : {controls().编辑框1, controls().按钮1, controls().编辑框2, controls().按钮2}) {
    others.push_back(RectInParentClient(control));
  }
  struct LabelCase {
    const char* name;
    HWND ZentravoControls::*label;
    std::string text;
    bool red;
    bool centred;
  };
  const LabelCase cases[] = {
      {"透明标签1", &ZentravoControls::透明标签1, k图片链接, false, false},
      {"透明标签2", &ZentravoControls::透明标签2, kUid, false, false},
      {"透明标签3", &ZentravoControls::透明标签3, k声明, true, true},
  };
  for (const LabelCase& c : cases) {
    SCOPED_TRACE(c.name);
    RECT label = RectInParentClient(controls().*c.label);
    Ink ink = FindInk(picture, label, others, face);
    ASSERT_GT(ink.count, 40) << "no text in the label's band";
    if (c.red) {
      EXPECT_GT(ink.red, ink.count / 2) << "the notice is red";
      EXPECT_EQ(ink.dark, 0);
    } else {
      EXPECT_GT(ink.dark, ink.count / 4) << "the label is black";
      EXPECT_EQ(ink.red, 0);
    }
    // Drawn without a background: nothing but the text differs from the face colour.
    EXPECT_LT(ink.count, (label.right - label.left) * (label.bottom - label.top) * 3 / 4);

    const int width = TextWidth(c.text);
    const int labelMiddleY = (label.top + label.bottom) / 2;
    EXPECT_NEAR((ink.bounds.top + ink.bounds.bottom) / 2, labelMiddleY, 3) << "vertically centred";
    if (c.centred) {
      EXPECT_NEAR((ink.bounds.left + ink.bounds.right) / 2, (label.left + label.right) / 2, 3);
    } else {
      EXPECT_NEAR(ink.bounds.left, label.left, 2) << "left-aligned";
    }
    // Text wider than its label is not clipped at the label's edge.
    if (width > label.right - label.left) {
      EXPECT_GT(ink.bounds.right, label.right) << "text " << width << " wide";
    }
  }
}

TEST(ZentravoExe, CarriesOne128PixelIconAndTheCommonControlsManifest) {
  const std::string exe = ZentravoExePath();
  std::optional<std::vector<IconImage>> icon = ReadIconGroup(exe, "DEFAULT_ICON");
  ASSERT_TRUE(icon) << "no icon group DEFAULT_ICON in " << exe;
  ASSERT_EQ(icon->size(), 1u);
  EXPECT_EQ((*icon)[0].width, 128);
  EXPECT_EQ((*icon)[0].height, 128);
  EXPECT_EQ((*icon)[0].bitsPerPixel, 32);

  std::optional<std::string> manifest = ReadResource(exe, MAKEINTRESOURCEA(1), RT_MANIFEST);
  ASSERT_TRUE(manifest) << "no application manifest";
  size_t dependency = manifest->find("<dependentAssembly>");
  ASSERT_NE(dependency, std::string::npos);
  std::string identity = manifest->substr(dependency, manifest->find("/>", dependency) - dependency);
  // The common controls of the program's own processor.
#ifdef _WIN64
  const char* processor = "processorArchitecture=\"amd64\"";
#else
  const char* processor = "processorArchitecture=\"x86\"";
#endif
  for (const char* attribute : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                                processor, "publicKeyToken=\"6595b64144ccf1df\""}) {
    EXPECT_NE(identity.find(attribute), std::string::npos) << attribute;
  }
}

}  // namespace
}  // namespace zentravo::e2e
