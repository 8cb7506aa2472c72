#include "app/application.h"

#include <string>

#include "app/actions.h"
#include "runtime/exit_hooks.h"
#include "runtime/fatal_error.h"
#include "runtime/program_directory.h"
#include "skin/skin.h"

namespace zentravo {
namespace {

void EnterProgramDirectory() {
  std::string directory = ProgramDirectory();
  // "C:" alone would mean drive C's current directory, not its root.
  if (directory.size() == 2 && directory[1] == ':') directory += '\\';
  if (!directory.empty()) SetCurrentDirectoryA(directory.c_str());
}

}  // namespace

StartupRoutines ZentravoRoutines() {
  StartupRoutines routines;
  routines.initSkin = InitSkinModule;
  routines.releaseSkin = ReleaseSkinModule;
  routines.events.created = OnMainWindowCreated;
  routines.events.queryClicked = OnQueryClicked;
  routines.events.copyClicked = OnCopyClicked;
  return routines;
}

int RunApplication(HINSTANCE instance, const StartupRoutines& routines) {
  EnterProgramDirectory();
  RegisterExitHook(routines.releaseSkin);
  if (routines.initSkin != nullptr) routines.initSkin();

  std::unique_ptr<MainWindow> window = MainWindow::Load(instance, routines.events);
  if (window == nullptr) FatalRuntimeError("无法创建主窗口，程序即将退出。");
  RunMessageLoop(*window);
  window.reset();

  RunExitHooks();
  return 0;
}

}  // namespace zentravo
