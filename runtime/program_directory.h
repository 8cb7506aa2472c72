#pragma once

#include <string>

namespace zentravo {

// The directory of the program's own file in the ANSI code page, without a trailing
// backslash: the full path of the .exe up to, not including, its last backslash.
// Windows only.
std::string ProgramDirectory();

}  // namespace zentravo
