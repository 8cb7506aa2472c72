#pragma once

// The file and directory operations of the skin module.

#include <string_view>

#include "text/text.h"

namespace zentravo {

// True when a directory search (FindFirstFileA) finds an entry named `path`; a
// directory counts as well. An empty path gives false.
bool FileExists(const Text& path);

// Puts exactly `bytes` into the file `path` (an empty byte string gives an empty
// file), replacing a file that is there. The bytes go first to a new temporary file
// in the same folder, which is flushed and only then moved over `path`, so that an
// interrupted or failed write never leaves a partial file at `path`.
// Returns true when the file at `path` holds the bytes. On false (an empty path, a
// folder that cannot be written, a failed write, a file at `path` that cannot be
// replaced) `path` is as it was before and no temporary file is left. No message.
bool WriteBytesToFile(const Text& path, const Bytes& bytes);
bool WriteBytesToFile(const Text& path, std::string_view bytes);

// The directory of the program's own file, without a trailing backslash.
Text RunDirectory();

}  // namespace zentravo
