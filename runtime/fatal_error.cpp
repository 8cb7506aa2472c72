#include "runtime/fatal_error.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/exit_hooks.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zentravo {
namespace {

#ifdef _WIN32
void ReportFatalErrorInMessageBox(const std::string& message) {
  MessageBoxA(nullptr, message.c_str(), "运行时错误", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
constexpr FatalErrorReporter kPlatformReporter = ReportFatalErrorInMessageBox;
#else
constexpr FatalErrorReporter kPlatformReporter = ReportFatalErrorToStandardError;
#endif

FatalErrorReporter g_reporter = kPlatformReporter;

}  // namespace

void ReportFatalErrorToStandardError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
}

FatalErrorReporter SetFatalErrorReporter(FatalErrorReporter reporter) {
  FatalErrorReporter previous = g_reporter;
  g_reporter = reporter != nullptr ? reporter : kPlatformReporter;
  return previous;
}

void FatalRuntimeError(std::string_view message) {
  static bool ending = false;
  if (ending) std::_Exit(kFatalErrorExitCode);  // a second fatal error from an exit hook
  ending = true;
  g_reporter(std::string(message));
  RunExitHooks();
  std::exit(kFatalErrorExitCode);
}

}  // namespace zentravo
