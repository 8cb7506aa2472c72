// Runs into one fatal run-time error with the real reporter (a message box), so a
// test can find the box, close it and check what the process did afterwards.
//   fatal_error_child <case> <marker-file>
// Cases: missing-library, missing-function, array-index. The exit hook appends
// "hook" to the marker file.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/exit_hooks.h"
#include "runtime/external_function.h"
#include "text/text.h"

namespace {

std::string g_markerFile;

void AppendHookMarker() {
  if (FILE* file = std::fopen(g_markerFile.c_str(), "ab")) {
    std::fputs("hook\n", file);
    std::fclose(file);
  }
}

using ProbeSignature = int WINAPI(int);
zentravo::ExternalFunction<ProbeSignature> g_missingLibrary{"zentravo_no_such_library.dll", "ProbeTwice"};
zentravo::ExternalFunction<ProbeSignature> g_missingFunction{"zentravo_probe.dll", "NoSuchFunction"};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_markerFile = argv[2];
  zentravo::RegisterExitHook(AppendHookMarker);
  if (std::strcmp(argv[1], "missing-library") == 0) g_missingLibrary(1);
  if (std::strcmp(argv[1], "missing-function") == 0) g_missingFunction(1);
  if (std::strcmp(argv[1], "array-index") == 0) zentravo::ArrayMember(zentravo::TextArray{"a"}, 2);
  return 3;  // the fatal error never returns
}
