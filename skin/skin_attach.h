#pragma once

// Loading the skin library chosen in SkinLibraryPath and calling its entry point.

#include <windows.h>

#include "text/text.h"

namespace zentravo {

// The entry point of the skin library: skin data and its length, a text (null when
// empty) and three integers; 0 means the skin was applied.
using SkinAttachFunction = int(WINAPI*)(const unsigned char* skin, int length, const char* text,
                                        int first, int second, int third);

// The pending target of the next skin call: a loaded skin library and one of its
// exports. Set by a successful SkinFunctionAvailable, used by the one call that
// follows it and cleared again straight after.
struct SkinCallTarget {
  HMODULE module = nullptr;
  FARPROC function = nullptr;

  bool IsClear() const { return module == nullptr && function == nullptr; }
};

const SkinCallTarget& CurrentSkinCallTarget();

// True when the file at SkinLibraryPath exists, loads (by its full path) and
// exports `functionName`; SkinCallTarget is then that module and export, and the
// module stays loaded for the rest of the run. A path whose module was loaded
// before (full paths compared ignoring letter case) reuses that module. When the
// file does not exist nothing is loaded and SkinCallTarget is left alone; otherwise
// it is cleared, and a module loaded just now that lacks the export is unloaded.
bool SkinFunctionAvailable(const Text& functionName);

// Calls "SkinH_AttachRes" of the library at SkinLibraryPath with the skin's address
// (null when empty) and length, the text (null when empty) and the three integers
// unchanged, then clears SkinCallTarget. True only when the call was made and
// returned 0; false without a call when the library is not available.
bool AttachSkinFromMemory(const Bytes& skin, const Text& text, int first, int second, int third);

}  // namespace zentravo
