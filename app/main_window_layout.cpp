#include "app/main_window_layout.h"

#include "app/trans_label.h"

namespace zentravo {
namespace {

// Single line, scrolling as the text grows; the selection hides without focus.
constexpr DWORD kEditStyle = WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
// Ordinary push buttons (never BS_DEFPUSHBUTTON), caption centred and wrapping.
constexpr DWORD kButtonStyle = WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
constexpr DWORD kSideLabelStyle = kTransLabelLeft | kTransLabelVerticalCentre;
constexpr DWORD kNoticeLabelStyle = kTransLabelCentre | kTransLabelVerticalCentre;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

constexpr std::array<ControlLayout, kControlCount> kControls = {{
    {Control::编辑框1, ControlKind::EditBox, 64, 16, 232, 40, "", kEditStyle, WS_EX_CLIENTEDGE,
     kBlack},
    {Control::按钮1, ControlKind::Button, 304, 16, 56, 40, "查询", kButtonStyle, 0, kBlack},
    {Control::透明标签1, ControlKind::TransLabel, 4, 19, 48, 32, "图片链接：", kSideLabelStyle,
     WS_EX_TRANSPARENT, kBlack},
    {Control::编辑框2, ControlKind::EditBox, 64, 72, 232, 40, "", kEditStyle | ES_READONLY,
     WS_EX_CLIENTEDGE, kBlack},
    {Control::按钮2, ControlKind::Button, 304, 72, 56, 40, "复制", kButtonStyle, 0, kBlack},
    {Control::透明标签2, ControlKind::TransLabel, 16, 75, 48, 32, "UID：", kSideLabelStyle,
     WS_EX_TRANSPARENT, kBlack},
    {Control::透明标签3, ControlKind::TransLabel, 8, 120, 352, 32,
     "本软件仅供学习交流使用，请勿用于违法违规用途", kNoticeLabelStyle, WS_EX_TRANSPARENT, kRed},
}};

// Row i of the table is the control numbered i, so a control's id indexes it.
constexpr bool TableFollowsCreationOrder() {
  for (int i = 0; i < kControlCount; ++i) {
    if (kControls[i].control != kCreationOrder[i] || ControlIndex(kCreationOrder[i]) != i) return false;
  }
  return true;
}
static_assert(TableFollowsCreationOrder());

}  // namespace

const std::array<ControlLayout, kControlCount>& MainWindowControls() { return kControls; }

}  // namespace zentravo
