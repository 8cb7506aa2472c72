#include "tests/e2e/support/program.h"

#include <cstdlib>
#include <vector>

#include "runtime/program_directory.h"

namespace zentravo::e2e {
namespace {

// Under Wine a Unix path from the environment becomes its DOS form (Z:\...).
std::string WindowsPathOf(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  using WineGetDosFileName = WCHAR* (*)(const char*);
  auto convert = reinterpret_cast<WineGetDosFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (convert == nullptr) return path;
  WCHAR* wide = convert(path.c_str());
  if (wide == nullptr) return path;
  int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, result.data(), size, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, wide);
  result.resize(result.find('\0'));
  return result;
}

bool MakeDirectories(const std::string& directory) {
  for (size_t slash = directory.find('\\', 3); ; slash = directory.find('\\', slash + 1)) {
    std::string prefix = directory.substr(0, slash);
    if (!CreateDirectoryA(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

std::unique_ptr<ProgramUnderTest> ProgramUnderTest::Launch(const std::string& exePath,
                                                           const std::string& workingDirectory) {
  std::string commandLine = "\"" + exePath + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return std::unique_ptr<ProgramUnderTest>(
      new ProgramUnderTest(ScopedKernelHandle(info.hProcess), info.dwProcessId, info.dwThreadId));
}

ProgramUnderTest::~ProgramUnderTest() {
  if (!HasExited()) {
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

bool ProgramUnderTest::HasExited() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }

std::optional<int> ProgramUnderTest::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
  return static_cast<int>(code);
}

std::string TestProgramDirectory() { return ProgramDirectory(); }

std::string ZentravoExePath() { return JoinPath(TestProgramDirectory(), "Zentravo.exe"); }

std::string ArtifactDirectory() {
  std::string directory;
  if (const char* configured = std::getenv("ZENTRAVO_E2E_ARTIFACTS"); configured != nullptr && *configured) {
    directory = WindowsPathOf(configured);
  } else {
    std::string programs = TestProgramDirectory();
    directory = JoinPath(programs.substr(0, programs.find_last_of('\\')), "artifacts");
  }
  for (char& c : directory) {
    if (c == '/') c = '\\';
  }
  MakeDirectories(directory);
  return directory;
}

std::string MakeProgramDirectory(const std::string& name) {
  char temp[MAX_PATH + 1] = {};
  if (GetTempPathA(sizeof temp, temp) == 0) return std::string();
  std::string directory = JoinPath(JoinPath(temp, "zentravo-e2e"), name);
  RemoveDirectoryTree(directory);
  if (!MakeDirectories(directory)) return std::string();
  if (!CopyFileA(ZentravoExePath().c_str(), JoinPath(directory, "Zentravo.exe").c_str(), FALSE)) {
    return std::string();
  }
  return directory;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '\\' || directory.back() == '/') return directory + name;
  return directory + "\\" + name;
}

bool RemoveDirectoryTree(const std::string& directory) {
  WIN32_FIND_DATAA entry{};
  ScopedFindHandle find(FindFirstFileA(JoinPath(directory, "*").c_str(), &entry));
  if (find) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = JoinPath(directory, name);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find.Get(), &entry));
  }
  find.Reset();
  RemoveDirectoryA(directory.c_str());
  return GetFileAttributesA(directory.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace zentravo::e2e
