#pragma once

// The skin library's copy at the drop path. Whatever lies at that path is only
// trusted once its bytes have been compared with the carried image, and the file
// stays open against writing from that comparison until it has been loaded, so the
// file that was checked is the file that runs.

#include "runtime/scoped_win.h"
#include "text/text.h"

namespace zentravo {

// Makes the file at `path` hold exactly `image` and returns it held open for
// reading, shared for reading only (nobody can write, rename or delete it while
// the handle lives). A missing file is written; a file with other bytes (a partial
// or older copy, or one planted there) is replaced, both through WriteBytesToFile.
// Returns an empty handle when that cannot be done (no such drive, a folder that
// cannot be written, a file that cannot be replaced or read): the file at `path`
// is then not to be loaded.
ScopedKernelHandle PlaceSkinLibrary(const Text& path, const Bytes& image);

}  // namespace zentravo
