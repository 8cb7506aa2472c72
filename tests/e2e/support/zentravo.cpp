#include "tests/e2e/support/zentravo.h"

#include <vector>

#include "tests/e2e/support/wait.h"
#include "tests/e2e/support/window_query.h"

namespace zentravo::e2e {

ZentravoControls IdentifyControls(HWND mainWindow) {
  std::vector<HWND> children = ChildWindowsTopFirst(mainWindow);
  ZentravoControls controls;
  if (children.size() != 7) return controls;
  controls.透明标签3 = children[0];
  controls.透明标签2 = children[1];
  controls.按钮2 = children[2];
  controls.编辑框2 = children[3];
  controls.透明标签1 = children[4];
  controls.按钮1 = children[5];
  controls.编辑框1 = children[6];
  return controls;
}

RunningZentravo LaunchZentravo(const std::string& directory) {
  RunningZentravo running;
  std::string exe = directory.empty() ? ZentravoExePath() : JoinPath(directory, "Zentravo.exe");
  running.program = ProgramUnderTest::Launch(exe);
  if (!running.program) return running;
  WindowFilter filter;
  filter.className = kMainWindowClass;
  running.window = WaitForProcessWindow(running.program->processId(), filter, kDefaultTimeoutMs);
  if (running.window == nullptr) return running;
  // Shown and activated: the start-up has finished.
  WaitUntil([&] { return ActiveWindow(running.program->threadId()) == running.window; });
  running.controls = IdentifyControls(running.window);
  return running;
}

RunningZentravo LaunchZentravoAlone(const std::string& name) {
  std::string directory = MakeProgramDirectory(name);
  if (directory.empty()) return RunningZentravo{};
  return LaunchZentravo(directory);
}

}  // namespace zentravo::e2e
