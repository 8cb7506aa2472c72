#pragma once

// Which copy of the skin library on disk is to be loaded.

#include <windows.h>

#include "text/text.h"

namespace zentravo {

// The library file name looked for in the program's and the system directory.
inline constexpr char kSkinLibraryFileName[] = "SkinH_EL.dll";

// The path of the file to load as the skin library: empty until the first
// ResolveSkinLibraryPath, afterwards a trimmed given path, the program's directory
// followed by "\SkinH_EL.dll", or the system directory followed by "SkinH_EL.dll".
const Text& SkinLibraryPath();

// Sets SkinLibraryPath: the given path with the spaces at both ends trimmed when a
// file or directory of that name exists; otherwise the system directory's copy of
// the library if there is one, else the program directory's copy if there is one,
// else the trimmed given path, which then names nothing.
void ResolveSkinLibraryPath(const Text& givenPath);

// Empties SkinLibraryPath.
void ReleaseSkinLibraryPath();

// The system directory as GetSystemDirectoryA reports it (bound from "kernel32"),
// always ending in exactly one added or reported backslash.
Text SystemDirectoryPath();

// The same with the query supplied: `query` is called once with a buffer of 255
// spaces and the size 255. What it leaves there, up to the NUL it wrote (all 255
// spaces when it wrote nothing), gets a backslash appended unless it already ends
// in one.
using SystemDirectoryQuery = UINT(WINAPI*)(LPSTR buffer, UINT size);
Text SystemDirectoryPath(SystemDirectoryQuery query);

}  // namespace zentravo
