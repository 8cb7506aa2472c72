// TransLabel inside the test process: what it paints, where, and what it
// answers.

#include "app/trans_label.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "runtime/scoped_win.h"

namespace zentravo {
namespace {

constexpr COLORREF kGround = RGB(10, 200, 30);  // stands for whatever lies beneath

// A 32-bit picture filled with kGround that a label or its parent paints into.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_.Reset(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
    SelectObject(dc_.Get(), bitmap_.Get());
    for (int i = 0; i < width * height; ++i) bits_[i] = 0x0AC81E;  // kGround as 0x00RRGGBB
  }

  HDC dc() const { return dc_.Get(); }

  COLORREF At(int x, int y) const {
    GdiFlush();
    uint32_t p = bits_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }

  // The bounding box of every pixel that is no longer kGround inside `area`,
  // and how many of them there are.
  RECT InkBounds(const RECT& area, int* count = nullptr) const {
    RECT ink{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    int found = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (At(x, y) == kGround) continue;
        ++found;
        ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
               std::max<LONG>(ink.bottom, y + 1)};
      }
    }
    if (count != nullptr) *count = found;
    return ink;
  }

 private:
  int width_;
  int height_;
  ScopedMemoryDc dc_;
  ScopedBitmap bitmap_;
  uint32_t* bits_ = nullptr;
};

class TransLabelTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RegisterTransLabelClass(GetModuleHandleA(nullptr)));
    parent_.Reset(CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 400, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(parent_);
  }

  HWND MakeLabel(const char* text, DWORD style, RECT rect) {
    labels_.emplace_back(CreateWindowExA(WS_EX_TRANSPARENT, kTransLabelClassName, text, WS_CHILD | WS_VISIBLE | style,
                                         rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                         parent_.Get(), nullptr, GetModuleHandleA(nullptr), nullptr));
    return labels_.back().Get();
  }

  ScopedWindow parent_;
  std::vector<ScopedWindow> labels_;
};

TEST_F(TransLabelTest, DrawsItsTextAlignedAsItsStyleSaysAndNothingElse) {
  struct Case {
    const char* name;
    DWORD style;
    int expectedInkCentreX;  // -1: the ink starts at the left edge; -2: ends at the right edge
    bool verticallyCentred;
  };
  const int width = 200;
  const int height = 40;
  const Case cases[] = {
      {"left, top", kTransLabelLeft, -1, false},
      {"left, vertically centred", kTransLabelLeft | kTransLabelVerticalCentre, -1, true},
      {"centred both ways", kTransLabelCentre | kTransLabelVerticalCentre, width / 2, true},
      {"right", kTransLabelRight | kTransLabelVerticalCentre, -2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND label = MakeLabel("HHHH", c.style, {0, 0, width, height});
    SendMessageA(label, kTransLabelSetTextColor, RGB(255, 0, 0), 0);
    Canvas canvas(width, height);
    SendMessageA(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);

    int count = 0;
    RECT ink = canvas.InkBounds({0, 0, width, height}, &count);
    ASSERT_GT(count, 0) << "no text drawn";
    EXPECT_LT(count, width * height / 4) << "a background was painted";
    EXPECT_EQ(canvas.At(width / 2, height - 1), kGround);
    if (c.expectedInkCentreX == -1) {
      EXPECT_LE(ink.left, 2);
    } else if (c.expectedInkCentreX == -2) {
      EXPECT_GE(ink.right, width - 2);
    } else {
      EXPECT_NEAR((ink.left + ink.right) / 2, c.expectedInkCentreX, 2);
    }
    if (c.verticallyCentred) {
      EXPECT_NEAR((ink.top + ink.bottom) / 2, height / 2, 3);
    } else {
      EXPECT_LE(ink.top, 4);
    }
    // The text is drawn in the label's colour (smoothed edges blend it with the ground).
    int red = 0;
    for (int y = ink.top; y < ink.bottom; ++y) {
      for (int x = ink.left; x < ink.right; ++x) {
        COLORREF p = canvas.At(x, y);
        red += (GetRValue(p) > 200 && GetGValue(p) < 100 && GetBValue(p) < 60) ? 1 : 0;
      }
    }
    EXPECT_GT(red, count / 3);
  }
}

TEST_F(TransLabelTest, ParentDrawsOnlyThePartOfTheTextOutsideTheLabel) {
  ShowWindow(parent_.Get(), SW_SHOWNA);  // the overflow of a hidden label is not drawn
  const RECT area{4, 19, 52, 51};        // narrower than its text
  HWND label = MakeLabel("WWWWWWWWWW", kTransLabelLeft | kTransLabelVerticalCentre, area);
  Canvas parent(400, 200);
  PaintTransLabelOverflow(label, parent.dc());

  int inside = 0;
  parent.InkBounds(area, &inside);
  EXPECT_EQ(inside, 0) << "the label draws its own part";
  int outside = 0;
  RECT ink = parent.InkBounds({area.right, 0, 400, 200}, &outside);
  EXPECT_GT(outside, 0);
  EXPECT_EQ(ink.left, area.right) << "the text continues right at the label's edge";

  SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("W"));
  Canvas fitting(400, 200);
  PaintTransLabelOverflow(label, fitting.dc());
  fitting.InkBounds({0, 0, 400, 200}, &outside);
  EXPECT_EQ(outside, 0) << "text that fits leaves nothing to draw outside";

  ShowWindow(label, SW_HIDE);
  SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("WWWWWWWWWW"));
  Canvas hidden(400, 200);
  PaintTransLabelOverflow(label, hidden.dc());
  hidden.InkBounds({0, 0, 400, 200}, &outside);
  EXPECT_EQ(outside, 0);
}

TEST_F(TransLabelTest, NeverTakesClicksOrTabsAndKeepsItsColourAndFont) {
  HWND label = MakeLabel("x", kTransLabelLeft, {0, 0, 40, 20});
  EXPECT_EQ(SendMessageA(label, WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTTRANSPARENT);
  EXPECT_EQ(SendMessageA(label, WM_GETDLGCODE, 0, 0), DLGC_STATIC);

  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(label, kTransLabelGetTextColor, 0, 0)), RGB(0, 0, 0));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(label, kTransLabelSetTextColor, RGB(255, 0, 0), 0)), RGB(0, 0, 0));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(label, kTransLabelGetTextColor, 0, 0)), RGB(255, 0, 0));

  EXPECT_EQ(SendMessageA(label, WM_GETFONT, 0, 0), 0) << "null stands for DEFAULT_GUI_FONT";
  HGDIOBJ font = GetStockObject(ANSI_FIXED_FONT);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)), font);

  char text[8] = {};
  SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\xCD\xBC"));
  EXPECT_EQ(GetWindowTextA(label, text, sizeof text), 2);
  EXPECT_STREQ(text, "\xCD\xBC");
}

}  // namespace
}  // namespace zentravo
