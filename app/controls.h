#pragma once

// The controls of the main window, their ids, and the orders they are walked in.
// Every place that names a control goes through this file.

#include <array>
#include <optional>

namespace zentravo {

enum class Control {
  编辑框1,
  按钮1,
  透明标签1,
  编辑框2,
  按钮2,
  透明标签2,
  透明标签3,
};

inline constexpr int kControlCount = 7;

// Creation order: the order of the layout table.
inline constexpr std::array<Control, kControlCount> kCreationOrder = {
    Control::编辑框1, Control::按钮1,     Control::透明标签1, Control::编辑框2,
    Control::按钮2,   Control::透明标签2, Control::透明标签3,
};

// Stacking order, top first. It is the reverse of the creation order, so the
// system's own Tab walk (which follows the stacking order) cannot be used.
inline constexpr std::array<Control, kControlCount> kStackingOrder = {
    Control::透明标签3, Control::透明标签2, Control::按钮2,   Control::编辑框2,
    Control::透明标签1, Control::按钮1,     Control::编辑框1,
};

// Tab order; Shift+Tab walks it backwards. Labels never take the focus.
inline constexpr std::array<Control, 4> kTabOrder = {
    Control::编辑框1, Control::按钮1, Control::编辑框2, Control::按钮2,
};

// The child-window id of a control: 1001 for 编辑框1 ... 1007 for 透明标签3.
constexpr int ControlId(Control control) { return 1001 + static_cast<int>(control); }

// The control with child-window id `id`, if any.
constexpr std::optional<Control> ControlFromId(int id) {
  if (id < ControlId(Control::编辑框1) || id > ControlId(Control::透明标签3)) return std::nullopt;
  return static_cast<Control>(id - ControlId(Control::编辑框1));
}

constexpr int ControlIndex(Control control) { return static_cast<int>(control); }

}  // namespace zentravo
