// The skin module: its file operations, the choice of the library copy, loading it
// and calling it, and the drop file, with probe libraries in a sandbox.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skin/carried_bytes.h"
#include "skin/skin.h"
#include "skin/skin_attach.h"
#include "skin/skin_drop_file.h"
#include "skin/skin_files.h"
#include "skin/skin_library_path.h"
#include "tests/win32/skin_test_support.h"

namespace zentravo::skin_test {
namespace {

using Lines = std::vector<std::string>;

std::string SystemDirectory() {
  char buffer[MAX_PATH];
  UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, length);
}

std::string CallLine(const std::string& probe, const std::string& data, int length,
                     const std::string& text = "null", const std::string& ints = "0,0,0") {
  return "call " + probe + " data=" + data + " length=" + std::to_string(length) + " text=" + text +
         " ints=" + ints + " windows=0 visible=0";
}

std::string SkinHead() { return "2E534845"; }  // ".SHE"

int SkinLength() { return BytesLength(SkinBytes()); }

class SkinModuleTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!InSandbox()) {
      GTEST_FAIL() << "no skin sandbox: run through skin_sandbox.sh (ctest does)";
    }
    ReleaseSkinLibraryPath();
  }
  std::string ProgramCopy() const { return RunDirectory().str() + "\\SkinH_EL.dll"; }
  std::string SystemCopy() const { return SystemDirectory() + "\\SkinH_EL.dll"; }
};

// ---- Files ----

TEST_F(SkinModuleTest, FileExistsFindsFilesAndDirectories) {
  const std::string folder = NewSandboxFolder("exists");
  PlantedFile file(folder + "\\file.bin", "x");
  CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
  struct Row {
    std::string path;
    bool expected;
  } rows[] = {
      {folder + "\\file.bin", true},     {folder + "\\FILE.BIN", true},
      {folder + "\\sub", true},          {folder + "\\missing.bin", false},
      {folder + "\\nowhere\\x", false},  {"", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(FileExists(row.path), row.expected);
  }
}

TEST_F(SkinModuleTest, WriteBytesToFileLeavesTheWholeFileOrTheOldState) {
  enum class Before { kNothing, kOldFile, kOldFileInUse, kDirectory, kNoFolder };
  enum class After { kTheBytes, kOldFile, kDirectory, kNoFile };
  const std::string bytes("MZ\0\x01\xff tail", 10);
  struct Row {
    const char* what;
    Before before;
    std::string bytes;
    bool expected;
    After after;
  } rows[] = {
      {"new file, zero bytes inside", Before::kNothing, bytes, true, After::kTheBytes},
      {"empty byte string: an empty file", Before::kNothing, "", true, After::kTheBytes},
      {"replaces an older file", Before::kOldFile, bytes, true, After::kTheBytes},
      {"a file in use cannot be replaced", Before::kOldFileInUse, bytes, false, After::kOldFile},
      {"a directory is in the way", Before::kDirectory, bytes, false, After::kDirectory},
      {"no such folder", Before::kNoFolder, bytes, false, After::kNoFile},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string folder = NewSandboxFolder("write");
    const std::string path = folder + (row.before == Before::kNoFolder ? "\\missing" : "") +
                             "\\weiboSkin.dll";
    if (row.before == Before::kOldFile || row.before == Before::kOldFileInUse) {
      ASSERT_TRUE(WriteWholeFile(path, "old"));
    } else if (row.before == Before::kDirectory) {
      ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    }
    {
      HeldOpen user(row.before == Before::kOldFileInUse ? path : std::string());
      EXPECT_EQ(WriteBytesToFile(path, Bytes(row.bytes)), row.expected);
    }
    std::string content;
    switch (row.after) {
      case After::kTheBytes:
        ASSERT_TRUE(ReadWholeFile(path, content));
        EXPECT_EQ(content, row.bytes);
        break;
      case After::kOldFile:
        EXPECT_EQ(ReadWholeFile(path), "old");
        break;
      case After::kDirectory:
        EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
        break;
      case After::kNoFile:
        EXPECT_FALSE(PathExists(path));
        break;
    }
    // No temporary file is left behind, whatever happened.
    EXPECT_EQ(FolderEntries(folder), row.before == Before::kNoFolder ? Lines{} : Lines{"weiboSkin.dll"});
  }
  EXPECT_FALSE(WriteBytesToFile("", Bytes("x")));
}

// A write that fails after its first piece is on disk, as when the disk fills up or
// the source cannot be read: the file written so far must not appear at the path.
TEST_F(SkinModuleTest, AWriteThatFailsPartWayLeavesNoPartialFile) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::size_t readable = 64 * 1024 + info.dwPageSize;  // more than one piece
  char* source = static_cast<char*>(
      VirtualAlloc(nullptr, readable + info.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(source, nullptr);
  std::fill(source, source + readable, 'A');
  DWORD old;
  ASSERT_TRUE(VirtualProtect(source + readable, info.dwPageSize, PAGE_NOACCESS, &old));
  const std::string_view runsIntoNoAccess(source, readable + info.dwPageSize);

  for (bool oldFile : {false, true}) {
    SCOPED_TRACE(oldFile ? "over an older file" : "no file before");
    const std::string folder = NewSandboxFolder("partial");
    const std::string path = folder + "\\weiboSkin.dll";
    if (oldFile) {
      ASSERT_TRUE(WriteWholeFile(path, "old"));
    }
    EXPECT_FALSE(WriteBytesToFile(path, runsIntoNoAccess));
    if (oldFile) {
      EXPECT_EQ(ReadWholeFile(path), "old");
    } else {
      EXPECT_FALSE(PathExists(path));
    }
    EXPECT_EQ(FolderEntries(folder), oldFile ? Lines{"weiboSkin.dll"} : Lines{});
  }
  VirtualFree(source, 0, MEM_RELEASE);
}

TEST_F(SkinModuleTest, RunDirectoryIsTheProgramsFolderWithoutTrailingBackslash) {
  const std::string directory = RunDirectory().str();
  EXPECT_EQ(directory, SandboxFolder() + "\\program");
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), '\\');
}

// ---- The choice of the copy ----

// Stand-ins for GetSystemDirectoryA: one reports g_reported, one writes nothing.
std::string g_reported;
UINT WINAPI ReportDirectory(LPSTR buffer, UINT size) {
  // The buffer must come as 255 spaces with room for 255 characters; else nothing.
  if (size != 255 || std::string(buffer, 255) != std::string(255, ' ')) return 0;
  if (g_reported.size() < size) {
    std::copy(g_reported.c_str(), g_reported.c_str() + g_reported.size() + 1, buffer);
  }
  return static_cast<UINT>(g_reported.size());
}
UINT WINAPI ReportNothing(LPSTR, UINT) { return 0; }

TEST_F(SkinModuleTest, SystemDirectoryPathEndsInExactlyOneBackslash) {
  struct Row {
    const char* reported;  // nullptr: the query writes nothing
    std::string expected;
  } rows[] = {
      {"C:\\windows\\system32", "C:\\windows\\system32\\"},
      {"C:\\", "C:\\"},
      {"D:\\\xCF\xB5\xCD\xB3\\", "D:\\\xCF\xB5\xCD\xB3\\"},
      {nullptr, std::string(255, ' ') + "\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reported == nullptr ? "nothing" : row.reported);
    if (row.reported != nullptr) g_reported = row.reported;
    EXPECT_EQ(SystemDirectoryPath(row.reported == nullptr ? ReportNothing : ReportDirectory).str(),
              row.expected);
  }
  EXPECT_EQ(SystemDirectoryPath().str(), SystemDirectory() + "\\");
}

TEST_F(SkinModuleTest, ResolveSkinLibraryPathPrefersGivenThenSystemThenProgram) {
  enum Chosen { kGiven, kProgram, kSystem };
  struct Row {
    const char* what;
    bool givenExists;
    bool programCopy;
    bool systemCopy;
    Chosen expected;
  } rows[] = {
      {"given path exists: it wins over both copies", true, true, true, kGiven},
      {"system copy wins over the program's", false, true, true, kSystem},
      {"program copy only", false, true, false, kProgram},
      {"system copy only", false, false, true, kSystem},
      {"nothing anywhere: the given path, naming nothing", false, false, false, kGiven},
  };
  const std::string folder = NewSandboxFolder("resolve");
  const std::string given = folder + "\\given.dll";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::unique_ptr<PlantedFile>> planted;
    if (row.givenExists) planted.push_back(std::make_unique<PlantedFile>(given, "g"));
    if (row.programCopy) planted.push_back(std::make_unique<PlantedFile>(ProgramCopy(), "p"));
    if (row.systemCopy) planted.push_back(std::make_unique<PlantedFile>(SystemCopy(), "s"));
    // Spaces around the given path, full-width ones too, are trimmed first.
    ResolveSkinLibraryPath(" \xA1\xA1" + given + "  ");
    const std::string expected = row.expected == kGiven     ? given
                                 : row.expected == kProgram ? ProgramCopy()
                                                            : SystemCopy();
    EXPECT_EQ(SkinLibraryPath().str(), expected);
  }
  ResolveSkinLibraryPath(" ");
  EXPECT_EQ(SkinLibraryPath().str(), "");
}

TEST_F(SkinModuleTest, InitSkinModuleLooksOnlyForTheTwoCopies) {
  EXPECT_EQ(SkinLibraryPath().str(), "");
  InitSkinModule();
  EXPECT_EQ(SkinLibraryPath().str(), "") << "neither copy present";
  {
    PlantedFile program(ProgramCopy(), "p");
    InitSkinModule();
    EXPECT_EQ(SkinLibraryPath().str(), ProgramCopy());
    EXPECT_EQ(SkinLibraryPath().str().find("\\\\"), std::string::npos);
    PlantedFile system(SystemCopy(), "s");
    InitSkinModule();
    EXPECT_EQ(SkinLibraryPath().str(), SystemCopy());
  }
  ReleaseSkinModule();
  EXPECT_EQ(SkinLibraryPath().str(), "");
}

// ---- Loading and calling ----

TEST_F(SkinModuleTest, AttachSkinFromMemoryCountsOnlyZeroAsSuccess) {
  struct Row {
    const char* probe;
    bool expected;
  } rows[] = {{"skin_probe_ok", true}, {"skin_probe_fails", false}, {"skin_probe_minus_one", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.probe);
    const std::string path = NewSandboxFolder("result") + "\\SkinH_EL.dll";
    ASSERT_TRUE(PlaceProbe(row.probe, path));
    ResolveSkinLibraryPath(path);
    EXPECT_EQ(AttachSkinFromMemory(SkinBytes(), Text(), 0, 0, 0), row.expected);
    EXPECT_TRUE(CurrentSkinCallTarget().IsClear());
    EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr) << "stays loaded whatever it returned";
    EXPECT_EQ(ProbeLog(path), (Lines{std::string("attach ") + row.probe,
                                     CallLine(row.probe, SkinHead(), SkinLength())}));
  }
}

TEST_F(SkinModuleTest, AttachSkinFromMemoryPassesItsArgumentsUnchanged) {
  const std::string path = NewSandboxFolder("arguments") + "\\SkinH_EL.dll";
  ASSERT_TRUE(PlaceProbe("skin_probe_ok", path));
  ResolveSkinLibraryPath(path);
  EXPECT_TRUE(AttachSkinFromMemory(Bytes("\x01\x02"), "abc", 7, -8, 2147483647));
  EXPECT_TRUE(AttachSkinFromMemory(Bytes(), Text(), 0, 0, 0));
  EXPECT_EQ(ProbeLog(path), (Lines{"attach skin_probe_ok",
                                   CallLine("skin_probe_ok", "0102", 2, "abc", "7,-8,2147483647"),
                                   CallLine("skin_probe_ok", "null", 0)}));
}

TEST_F(SkinModuleTest, ALibraryWithoutTheExportIsUnloadedAgain) {
  const std::string path = NewSandboxFolder("no-export") + "\\SkinH_EL.dll";
  ASSERT_TRUE(PlaceProbe("skin_probe_no_export", path));
  ResolveSkinLibraryPath(path);
  EXPECT_FALSE(AttachSkinFromMemory(SkinBytes(), Text(), 0, 0, 0));
  EXPECT_TRUE(CurrentSkinCallTarget().IsClear());
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
  EXPECT_EQ(ProbeLog(path), (Lines{"attach skin_probe_no_export", "detach skin_probe_no_export freed"}));
}

TEST_F(SkinModuleTest, NothingIsCalledWithoutALoadableLibrary) {
  const std::string folder = NewSandboxFolder("unloadable");
  PlantedFile notALibrary(folder + "\\text.dll", "not a library");
  CreateDirectoryA((folder + "\\directory.dll").c_str(), nullptr);
  for (const std::string& path : {folder + "\\missing.dll", notALibrary.path(),
                                  folder + "\\directory.dll", std::string()}) {
    SCOPED_TRACE(path);
    ResolveSkinLibraryPath(path);
    EXPECT_FALSE(SkinFunctionAvailable("SkinH_AttachRes"));
    EXPECT_FALSE(AttachSkinFromMemory(SkinBytes(), Text(), 0, 0, 0));
    EXPECT_TRUE(CurrentSkinCallTarget().IsClear());
  }
}

TEST_F(SkinModuleTest, ALoadedLibraryIsReusedWhateverTheLetterCase) {
  const std::string folder = NewSandboxFolder("reuse");
  const std::string path = folder + "\\SkinH_EL.dll";
  ASSERT_TRUE(PlaceProbe("skin_probe_ok", path));
  ResolveSkinLibraryPath(path);
  ASSERT_TRUE(SkinFunctionAvailable("SkinH_AttachRes"));
  HMODULE module = CurrentSkinCallTarget().module;
  ResolveSkinLibraryPath(folder + "\\SKINH_EL.DLL");
  ASSERT_TRUE(SkinFunctionAvailable("SkinH_AttachRes"));
  EXPECT_EQ(CurrentSkinCallTarget().module, module);
  // A missing export does not unload a module found usable before.
  EXPECT_FALSE(SkinFunctionAvailable("NoSuchExport"));
  EXPECT_TRUE(CurrentSkinCallTarget().IsClear());
  EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr);
  // Loaded once: one FreeLibrary takes it away (this path is not used again).
  FreeLibrary(module);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
}

// ---- The drop file ----

class SkinDropFileTest : public SkinModuleTest {
 protected:
  void SetUp() override {
    SkinModuleTest::SetUp();
    if (IsSkipped()) return;
    GiveDriveD();
    folder_ = NewFolderOnDriveD("drop");
    drop_ = folder_ + "\\weiboSkin.dll";
  }
  std::string folder_;
  std::string drop_;
};

TEST_F(SkinDropFileTest, AMissingFileIsWrittenAndLoaded) {
  AttachSkinThroughDropFile(drop_, Bytes(ProbeBytes("skin_probe_ok")), SkinBytes());
  EXPECT_EQ(ReadWholeFile(drop_), ProbeBytes("skin_probe_ok"));
  EXPECT_EQ(SkinLibraryPath().str(), drop_);
  EXPECT_EQ(ProbeLog(drop_), (Lines{"attach skin_probe_ok", CallLine("skin_probe_ok", SkinHead(), SkinLength())}));
  EXPECT_TRUE(CurrentSkinCallTarget().IsClear());
  EXPECT_EQ(FolderEntries(folder_), (Lines{"weiboSkin.dll", "weiboSkin.dll.log"}));
}

TEST_F(SkinDropFileTest, TheSameFileIsLoadedWithoutBeingRewritten) {
  ASSERT_TRUE(PlaceProbe("skin_probe_ok", drop_));
  const std::string identity = FileIdentity(drop_);
  AttachSkinThroughDropFile(drop_, Bytes(ProbeBytes("skin_probe_ok")), SkinBytes());
  EXPECT_EQ(FileIdentity(drop_), identity);
  EXPECT_EQ(ProbeLog(drop_), (Lines{"attach skin_probe_ok", CallLine("skin_probe_ok", SkinHead(), SkinLength())}));
}

TEST_F(SkinDropFileTest, ADifferentFileIsReplacedBeforeItIsLoaded) {
  struct Row {
    const char* what;
    std::string planted;
  } rows[] = {
      {"a planted library", ProbeBytes("skin_probe_fails")},
      {"a partial copy", ProbeBytes("skin_probe_ok").substr(0, 4096)},
      {"an empty file", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = folder_ + "\\" + std::to_string(&row - rows) + "-weiboSkin.dll";
    ASSERT_TRUE(WriteWholeFile(path, row.planted));
    AttachSkinThroughDropFile(path, Bytes(ProbeBytes("skin_probe_ok")), SkinBytes());
    EXPECT_EQ(ReadWholeFile(path), ProbeBytes("skin_probe_ok"));
    EXPECT_EQ(SkinLibraryPath().str(), path);
    // Only the carried image ran: the planted library was never loaded.
    EXPECT_EQ(ProbeLog(path), (Lines{"attach skin_probe_ok", CallLine("skin_probe_ok", SkinHead(), SkinLength())}));
  }
}

TEST_F(SkinDropFileTest, ADifferentFileThatCannotBeReplacedIsNotLoaded) {
  ASSERT_TRUE(PlaceProbe("skin_probe_fails", drop_));
  {
    HeldOpen user(drop_);  // in use elsewhere: it cannot be replaced
    ASSERT_TRUE(user.held());
    AttachSkinThroughDropFile(drop_, Bytes(ProbeBytes("skin_probe_ok")), SkinBytes());
  }
  EXPECT_EQ(ReadWholeFile(drop_), ProbeBytes("skin_probe_fails"));
  EXPECT_TRUE(ProbeLog(drop_).empty()) << "the planted library must never run";
  EXPECT_EQ(SkinLibraryPath().str(), "") << "no copy in the program's or the system directory";
  EXPECT_EQ(FolderEntries(folder_), Lines{"weiboSkin.dll"});
}

TEST_F(SkinDropFileTest, ADifferentFileThatCannotBeReplacedGivesWayToTheCopies) {
  ASSERT_TRUE(PlaceProbe("skin_probe_fails", drop_));
  PlantedFile program(ProgramCopy(), "p");
  HeldOpen user(drop_);
  // Only the choice is checked here: the copies are not libraries and do not load.
  AttachSkinThroughDropFile(drop_, Bytes(ProbeBytes("skin_probe_ok")), SkinBytes());
  EXPECT_EQ(SkinLibraryPath().str(), ProgramCopy());
  EXPECT_TRUE(ProbeLog(drop_).empty());
}

TEST_F(SkinDropFileTest, WithoutTheDriveNothingIsWrittenOrLoaded) {
  const std::string drop = folder_ + "\\missing\\weiboSkin.dll";
  AttachSkinThroughDropFile(drop, Bytes(ProbeBytes("skin_probe_ok")), SkinBytes());
  EXPECT_FALSE(PathExists(drop));
  EXPECT_EQ(SkinLibraryPath().str(), "");
  EXPECT_EQ(FolderEntries(folder_), Lines{});
}

TEST_F(SkinDropFileTest, ThePlacedFileIsHeldAgainstWritingButCanBeLoaded) {
  const std::string image = ProbeBytes("skin_probe_ok");
  ScopedKernelHandle held = PlaceSkinLibrary(drop_, Bytes(image));
  ASSERT_TRUE(held);
  EXPECT_EQ(CreateFileA(drop_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileA(drop_.c_str()));
  EXPECT_FALSE(MoveFileExA(drop_.c_str(), (drop_ + ".moved").c_str(), 0));
  EXPECT_FALSE(WriteBytesToFile(drop_, Bytes("swapped")));
  HMODULE module = LoadLibraryA(drop_.c_str());
  EXPECT_NE(module, nullptr);
  if (module != nullptr) FreeLibrary(module);
  held.Close();
  EXPECT_EQ(ReadWholeFile(drop_), image);
  EXPECT_FALSE(PlaceSkinLibrary(folder_ + "\\missing\\weiboSkin.dll", Bytes(image)));
  EXPECT_FALSE(PlaceSkinLibrary("", Bytes(image)));
}

}  // namespace
}  // namespace zentravo::skin_test
