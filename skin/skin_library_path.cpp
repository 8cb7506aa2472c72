#include "skin/skin_library_path.h"

#include <string>

#include "runtime/external_function.h"
#include "skin/skin_files.h"

namespace zentravo {
namespace {

ExternalFunction<decltype(GetSystemDirectoryA)> g_GetSystemDirectoryA{"kernel32",
                                                                       "GetSystemDirectoryA"};

Text& LibraryPath() {
  static Text path;
  return path;
}

}  // namespace

const Text& SkinLibraryPath() { return LibraryPath(); }

void ResolveSkinLibraryPath(const Text& givenPath) {
  Text& path = LibraryPath();
  path = TrimBothEnds(givenPath);
  if (FileExists(path)) return;  // an existing given path always wins
  Text inProgramDirectory = ConcatText(RunDirectory(), "\\", kSkinLibraryFileName);
  if (FileExists(inProgramDirectory)) path = inProgramDirectory;
  // Checked second, so the system directory's copy wins over the program's.
  Text inSystemDirectory = ConcatText(SystemDirectoryPath(), kSkinLibraryFileName);
  if (FileExists(inSystemDirectory)) path = inSystemDirectory;
}

void ReleaseSkinLibraryPath() { LibraryPath() = Text(); }

Text SystemDirectoryPath() { return SystemDirectoryPath(g_GetSystemDirectoryA.Get()); }

Text SystemDirectoryPath(SystemDirectoryQuery query) {
  constexpr int kSize = 255;
  std::string buffer = BlankText(kSize).str();  // its terminating NUL follows the spaces
  query(buffer.data(), kSize);
  Text directory(buffer.c_str());
  if (CompareText(TextRight(directory, 1), "\\") != 0) directory = ConcatText(directory, "\\");
  return directory;
}

}  // namespace zentravo
