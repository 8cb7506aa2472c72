#pragma once

#include <string>
#include <string_view>

// Fatal run-time errors: the only loud failures of the program. The message is
// reported (a modal error box on Windows, standard error elsewhere), the exit
// hooks run, and the process ends with exit code -1.

namespace zentravo {

// Shows `message` to the user and returns when the user has acknowledged it.
using FatalErrorReporter = void (*)(const std::string& message);

inline constexpr int kFatalErrorExitCode = -1;

[[noreturn]] void FatalRuntimeError(std::string_view message);

// Replaces the reporter and returns the previous one; nullptr restores the
// platform's own. Tests use this to take the report without a window.
FatalErrorReporter SetFatalErrorReporter(FatalErrorReporter reporter);

// Writes the message and a line end to standard error.
void ReportFatalErrorToStandardError(const std::string& message);

}  // namespace zentravo
