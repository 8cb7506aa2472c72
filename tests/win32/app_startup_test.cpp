// The program's start-up and exit, run inside the test process with recording
// routines in place of the skin module.

#include "app/application.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/scoped_win.h"
#include "runtime/exit_hooks.h"
#include "runtime/fatal_error.h"
#include "runtime/program_directory.h"
#include "tests/support/death_test.h"

namespace zentravo {
namespace {

std::vector<std::string> g_log;

void InitSkin() {
  g_log.push_back(MainWindow::Current() == nullptr ? "init before the window" : "init with a window");
}
void WindowCreated() {
  HWND window = MainWindow::Current()->hwnd();
  g_log.push_back(IsWindowVisible(window) ? "created, visible" : "created, hidden");
  // The user closes the window as soon as the event loop runs.
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}
void ReleaseSkin() {
  MainWindow* window = MainWindow::Current();
  g_log.push_back(window == nullptr ? "release without a window" : "release with a window");
}

TEST(StartupTest, RunsInitThenCreatedThenTheLoopThenTheExitHookOnceAndReturnsZero) {
  SetCurrentDirectoryA("C:\\");
  g_log.clear();
  StartupRoutines routines;
  routines.initSkin = InitSkin;
  routines.releaseSkin = ReleaseSkin;
  routines.events.created = WindowCreated;

  EXPECT_EQ(RunApplication(GetModuleHandleA(nullptr), routines), 0);
  const std::vector<std::string> expected = {"init before the window", "created, hidden",
                                             "release without a window"};
  EXPECT_EQ(g_log, expected);

  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof directory, directory);
  EXPECT_STREQ(directory, ProgramDirectory().c_str()) << "the program's directory is the working directory";

  RunExitHooks();  // the hook has run and left the list
  EXPECT_EQ(g_log.size(), expected.size());
}

// The main window cannot be created: a hook of this thread refuses it.
LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    char className[64] = {};
    GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
    if (std::string(className) == "ZentravoMainWindow") return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ReportToStandardError(const std::string& message) {
  std::fprintf(stderr, "[report] %s\n", message.c_str());
  std::fflush(stderr);
}
void PrintInit() { std::fprintf(stderr, "[init]\n"); }
void PrintRelease() { std::fprintf(stderr, "[release]\n"); }
void PrintCreated() { std::fprintf(stderr, "[created]\n"); }

void StartWithoutAWindow() {
  SetFatalErrorReporter(ReportToStandardError);
  ScopedHook hook(SetWindowsHookExA(WH_CBT, RefuseMainWindow, nullptr, GetCurrentThreadId()));
  StartupRoutines routines;
  routines.initSkin = PrintInit;
  routines.releaseSkin = PrintRelease;
  routines.events.created = PrintCreated;
  RunApplication(GetModuleHandleA(nullptr), routines);
  std::fprintf(stderr, "[returned]\n");
}

TEST(StartupDeathTest, AWindowThatCannotBeCreatedIsAFatalErrorThatStillRunsTheExitHooks) {
  EXPECT_EXIT(StartWithoutAWindow(), testing::ExitedWithCode(kExitStatusMinusOne),
              "^\\[init\\]\n\\[report\\] .+\n\\[release\\]\n$");
}

}  // namespace
}  // namespace zentravo
