#pragma once

// Zentravo.exe as the end-to-end tests meet it: started, its main window found,
// its seven controls named by where they stand in the stacking order.

#include <windows.h>

#include <memory>
#include <string>

#include "tests/e2e/support/program.h"

namespace zentravo::e2e {

inline constexpr char kMainWindowClass[] = "ZentravoMainWindow";
// "Zentravo   Brellik": the product name, three spaces, the brand name.
inline constexpr char kMainWindowCaption[] = "Zentravo\x20\x20\x20"
                                             "Brellik";

// The controls of the main window, named as the program names them.
struct ZentravoControls {
  HWND 编辑框1 = nullptr;
  HWND 按钮1 = nullptr;
  HWND 透明标签1 = nullptr;
  HWND 编辑框2 = nullptr;
  HWND 按钮2 = nullptr;
  HWND 透明标签2 = nullptr;
  HWND 透明标签3 = nullptr;
};

// Names the children of `mainWindow` by their place in the stacking order, top
// first: 透明标签3, 透明标签2, 按钮2, 编辑框2, 透明标签1, 按钮1, 编辑框1. All null
// when there are not exactly seven children.
ZentravoControls IdentifyControls(HWND mainWindow);

struct RunningZentravo {
  std::unique_ptr<ProgramUnderTest> program;
  HWND window = nullptr;  // the main window
  ZentravoControls controls;
};

// Starts the Zentravo.exe of `directory` (the built one when empty; the working
// directory is the test's own), waits until its main window is visible and
// active, and names its controls. `program` is null when it did not start;
// `window` is null when no main window became visible in time.
RunningZentravo LaunchZentravo(const std::string& directory = "");

// LaunchZentravo from a fresh directory named `name` (MakeProgramDirectory) that
// holds a copy of Zentravo.exe alone: no skin library beside it, so the window
// is unskinned unless the prefix offers one elsewhere (a drive D: or the system
// directory). `window` is null when the directory could not be made.
RunningZentravo LaunchZentravoAlone(const std::string& name);

}  // namespace zentravo::e2e
