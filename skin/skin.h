#pragma once

// The window skin: the three moments at which the application shell calls in.
// Every failure on the way is silent; the window then stays unskinned.

#include "text/text.h"

namespace zentravo {

// Where the carried skin library is put on disk.
inline constexpr char kSkinDropPath[] = "D:\\weiboSkin.dll";

// At start-up, before the main window exists: chooses the system directory's copy
// of "SkinH_EL.dll", else the program directory's, else none (SkinLibraryPath).
void InitSkinModule();

// The main window's created event (the window and its controls exist but are not
// yet visible): AttachSkinThroughDropFile with kSkinDropPath, the carried library
// image and the carried skin.
void OnMainWindowCreated();

// Registered as an exit hook: empties SkinLibraryPath. A loaded skin library stays
// loaded and the file at the drop path stays on disk.
void ReleaseSkinModule();

// Puts `libraryImage` at `dropPath` unless that file already holds exactly those
// bytes (PlaceSkinLibrary), chooses the copy to load (ResolveSkinLibraryPath with
// `dropPath` when it holds the image, else as if there were no file there), and
// calls the library's SkinH_AttachRes with `skin`, no text and three zeros
// (AttachSkinFromMemory). The drop file is held against writing until loaded.
void AttachSkinThroughDropFile(const Text& dropPath, const Bytes& libraryImage, const Bytes& skin);

}  // namespace zentravo
