// The fatal paths for real: a child process runs into the error, its message box is
// found and closed from here, and the child must then run its exit hook and end
// with exit code -1.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/program_directory.h"

namespace {

// The box's title, "运行时错误", in code page 936.
constexpr const char* kFatalBoxTitle = "\xD4\xCB\xD0\xD0\xCA\xB1\xB4\xED\xCE\xF3";

struct ScopedHandle {
  HANDLE handle = nullptr;
  ~ScopedHandle() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

struct BoxSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK TestWindowForBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  if (owner == search->processId && std::string(title) == kFatalBoxTitle && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindBoxOfProcess(DWORD processId) {
  BoxSearch search{processId, nullptr};
  EnumWindows(TestWindowForBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string BoxText(HWND box) {
  std::string text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    char buffer[512] = {};
    GetWindowTextA(child, buffer, sizeof buffer);
    if (std::string(className) == "Static") text += buffer;
  }
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

struct ChildOutcome {
  std::string boxText;
  DWORD exitCode = 0;
  std::string marker;
};

ChildOutcome RunChildUntilItsBoxIsClosed(const std::string& failure) {
  ChildOutcome outcome;
  char tempPath[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tempPath);
  const std::string marker = std::string(tempPath) + "zentravo-fatal-" + failure + ".txt";
  DeleteFileA(marker.c_str());

  std::string command = "\"";
  command.append(zentravo::ProgramDirectory()).append("\\fatal_error_child.exe\" ");
  command.append(failure).append(" \"").append(marker).append("\"");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << command;
    return outcome;
  }
  ScopedHandle processHandle{process.hProcess};
  ScopedHandle threadHandle{process.hThread};

  HWND box = nullptr;
  for (int tries = 0; tries < 200 && box == nullptr; ++tries) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;  // ended without a box
    box = FindBoxOfProcess(process.dwProcessId);
    if (box == nullptr) Sleep(50);
  }
  if (box == nullptr) {
    ADD_FAILURE() << "no error box appeared";
    TerminateProcess(process.hProcess, 1);
    return outcome;
  }
  outcome.boxText = BoxText(box);
  // The hook must not have run while the box is still up.
  EXPECT_EQ(ReadFile(marker), "");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the process did not end after its box was closed";
    TerminateProcess(process.hProcess, 1);
  }
  GetExitCodeProcess(process.hProcess, &outcome.exitCode);
  outcome.marker = ReadFile(marker);
  DeleteFileA(marker.c_str());
  return outcome;
}

TEST(FatalErrorBox, ShowsTheMessageThenRunsExitHooksAndExitsWithMinusOne) {
  struct Row {
    const char* failure;
    std::string mustMention1;
    std::string mustMention2;
  } rows[] = {
      {"missing-library", "zentravo_no_such_library.dll", "ProbeTwice"},
      {"missing-function", "zentravo_probe.dll", "NoSuchFunction"},
      // 上限: the upper limit was broken.
      {"array-index", "2", "\xC9\xCF\xCF\xDE"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failure);
    ChildOutcome outcome = RunChildUntilItsBoxIsClosed(row.failure);
    EXPECT_NE(outcome.boxText.find(row.mustMention1), std::string::npos) << outcome.boxText;
    EXPECT_NE(outcome.boxText.find(row.mustMention2), std::string::npos) << outcome.boxText;
    EXPECT_EQ(outcome.exitCode, 0xFFFFFFFFu);
    EXPECT_EQ(outcome.marker, "hook\n");
  }
}

}  // namespace
