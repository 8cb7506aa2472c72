#include "runtime/fatal_error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/exit_hooks.h"
#include "tests/support/death_test.h"

namespace zentravo {
namespace {

void ReportWithMarker(const std::string& message) {
  std::fprintf(stderr, "[report] %s\n", message.c_str());
}
void FirstHook() { std::fprintf(stderr, "[hook 1]\n"); }
void SecondHook() { std::fprintf(stderr, "[hook 2]\n"); }
void HookThatFails() { FatalRuntimeError("again"); }

void DieAfterRegistering(bool withFailingHook) {
  SetFatalErrorReporter(ReportWithMarker);
  RegisterExitHook(FirstHook);
  if (withFailingHook) RegisterExitHook(HookThatFails);
  RegisterExitHook(SecondHook);
  FatalRuntimeError("something broke");
}

TEST(FatalErrorDeathTest, ReportsThenRunsExitHooksThenExitsWithMinusOne) {
  EXPECT_EXIT(DieAfterRegistering(false), testing::ExitedWithCode(kExitStatusMinusOne),
              "\\[report\\] something broke\n\\[hook 1\\]\n\\[hook 2\\]\n");
}

TEST(FatalErrorDeathTest, FatalErrorInsideAnExitHookEndsAtOnce) {
  EXPECT_EXIT(DieAfterRegistering(true), testing::ExitedWithCode(kExitStatusMinusOne),
              "something broke\n\\[hook 1\\]\n$");
}

TEST(FatalError, SetReporterReturnsThePreviousOneAndNullRestoresThePlatformReporter) {
  FatalErrorReporter platform = SetFatalErrorReporter(ReportWithMarker);
  EXPECT_EQ(SetFatalErrorReporter(nullptr), ReportWithMarker);
  EXPECT_EQ(SetFatalErrorReporter(platform), platform);
}

}  // namespace
}  // namespace zentravo
