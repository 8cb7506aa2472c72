#pragma once

// What Zentravo.exe carries for its window skin, built in at build time.

#include "text/text.h"

namespace zentravo {

// The complete file image of the skin library "SkinH_EL.dll": written to disk
// unchanged, never looked into.
const Bytes& SkinLibraryBytes();

// The skin in the library's ".SHE" format, handed to the library unchanged.
const Bytes& SkinBytes();

}  // namespace zentravo
