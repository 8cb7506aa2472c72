#pragma once

// Starting the program under test as a separate process and watching it end.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "runtime/scoped_win.h"

namespace zentravo::e2e {

class ProgramUnderTest {
 public:
  // Starts `exePath` with no arguments and `workingDirectory` as its current
  // directory (the test's own when empty). Null when the process cannot start.
  static std::unique_ptr<ProgramUnderTest> Launch(const std::string& exePath,
                                                  const std::string& workingDirectory = "");

  // Ends the process if it is still running.
  ~ProgramUnderTest();
  ProgramUnderTest(const ProgramUnderTest&) = delete;
  ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

  DWORD processId() const { return processId_; }
  DWORD threadId() const { return threadId_; }  // the program's first (user-interface) thread
  HANDLE process() const { return process_.Get(); }

  bool HasExited() const;

  // Waits up to `timeoutMs` for the process to end and returns its exit code
  // (as a signed 32-bit value, so ExitProcess(-1) gives -1); nullopt if it is
  // still running.
  std::optional<int> WaitForExit(DWORD timeoutMs);

 private:
  ProgramUnderTest(ScopedKernelHandle process, DWORD processId, DWORD threadId)
      : process_(std::move(process)), processId_(processId), threadId_(threadId) {}

  ScopedKernelHandle process_;
  DWORD processId_;
  DWORD threadId_;
};

// The directory of the running test program, without a trailing backslash.
std::string TestProgramDirectory();

// Zentravo.exe as built: it lands beside the test programs.
std::string ZentravoExePath();

// Where tests leave screenshots and other artifacts: the directory named by the
// environment variable ZENTRAVO_E2E_ARTIFACTS (a Windows path, or a Unix path
// when running under Wine), else "artifacts" beside the test programs' folder.
// Created if missing.
std::string ArtifactDirectory();

// A fresh, empty directory for one test (under the system's temporary folder,
// named after `name`; an earlier one of that name is emptied), holding a copy of
// Zentravo.exe. Returns the directory; empty on failure.
std::string MakeProgramDirectory(const std::string& name);

// Joins a directory and a file name with one backslash.
std::string JoinPath(const std::string& directory, const std::string& name);

// Removes a directory tree; true when nothing is left of it.
bool RemoveDirectoryTree(const std::string& directory);

}  // namespace zentravo::e2e
