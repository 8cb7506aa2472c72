#pragma once

// Start-up and exit of the program.

#include <windows.h>

#include "app/main_window.h"

namespace zentravo {

// What the start-up calls in the other subsystems.
struct StartupRoutines {
  void (*initSkin)() = nullptr;     // before the window exists
  void (*releaseSkin)() = nullptr;  // registered as the exit hook
  MainWindowEvents events;
};

// The routines of the real program: the skin module and the two user actions.
StartupRoutines ZentravoRoutines();

// Runs the program: makes the program's directory the working directory,
// registers routines.releaseSkin as an exit hook, runs routines.initSkin, loads
// the main window (see MainWindow::Load) and runs the event loop until the
// window has been destroyed; then runs the exit hooks and returns 0, the
// process's exit code. A main window that cannot be created is a fatal run-time
// error: reported, exit hooks run, the process ends with -1, no event loop.
int RunApplication(HINSTANCE instance, const StartupRoutines& routines);

}  // namespace zentravo
