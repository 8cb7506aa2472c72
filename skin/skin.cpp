#include "skin/skin.h"

#include "skin/carried_bytes.h"
#include "skin/skin_attach.h"
#include "skin/skin_drop_file.h"
#include "skin/skin_library_path.h"
#include "runtime/scoped_win.h"
#include "skin/quiet_system_errors.h"

namespace zentravo {

void InitSkinModule() {
  QuietSystemErrors quiet;
  ResolveSkinLibraryPath(Text());
}

void OnMainWindowCreated() {
  AttachSkinThroughDropFile(kSkinDropPath, SkinLibraryBytes(), SkinBytes());
}

void ReleaseSkinModule() { ReleaseSkinLibraryPath(); }

void AttachSkinThroughDropFile(const Text& dropPath, const Bytes& libraryImage, const Bytes& skin) {
  QuietSystemErrors quiet;
  // Held until the end of this function, that is until the library has been loaded.
  ScopedKernelHandle dropFile = PlaceSkinLibrary(dropPath, libraryImage);
  // A file at the drop path that is not the carried library is never chosen.
  ResolveSkinLibraryPath(dropFile ? dropPath : Text());
  AttachSkinFromMemory(skin, Text(), 0, 0, 0);
}

}  // namespace zentravo
