#include "runtime/external_function.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/program_directory.h"

namespace zentravo {
namespace {

using ProbeSignature = int WINAPI(int);

std::string ModulePathOf(void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCSTR>(address), &module);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

std::string TempFolder() {
  char path[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, path);
  std::string folder = std::string(path) + "zentravo-binding-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

TEST(ExternalFunction, BindsAtFirstCallFromTheProgramDirectoryAndKeepsTheAddress) {
  ExternalFunction<ProbeSignature> probe{"zentravo_probe.dll", "ProbeTwice"};
  EXPECT_FALSE(probe.IsBound());
  EXPECT_EQ(probe(21), 42);
  ASSERT_TRUE(probe.IsBound());
  ProbeSignature* bound = probe.Get();
  EXPECT_EQ(probe(5), 10);
  EXPECT_EQ(probe.Get(), bound);
  EXPECT_STRCASEEQ(ModulePathOf(reinterpret_cast<void*>(bound)).c_str(),
                   (ProgramDirectory() + "\\zentravo_probe.dll").c_str());
}

TEST(ExternalFunction, BindsSystemLibrariesByTheStandardSearch) {
  ExternalFunction<decltype(GetTickCount)> tickCount{"kernel32.dll", "GetTickCount"};
  EXPECT_EQ(reinterpret_cast<void*>(tickCount.Get()),
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount")));
}

TEST(ExternalFunction, AFullPathIsLoadedAsGivenNotFromTheProgramDirectory) {
  const std::string folder = TempFolder();
  const std::string copy = folder + "\\probe_copy.dll";
  ASSERT_TRUE(CopyFileA((ProgramDirectory() + "\\zentravo_probe.dll").c_str(), copy.c_str(), FALSE));
  {
    ExternalFunction<ProbeSignature> probe{copy.c_str(), "ProbeTwice"};
    EXPECT_EQ(probe(4), 8);
    EXPECT_STRCASEEQ(ModulePathOf(reinterpret_cast<void*>(probe.Get())).c_str(), copy.c_str());
  }
  // The bound library stays loaded for the life of the process, so the file stays.
  EXPECT_NE(GetModuleHandleA(copy.c_str()), nullptr);
}

}  // namespace
}  // namespace zentravo
