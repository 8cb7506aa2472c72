#include "runtime/exit_hooks.h"

#include <gtest/gtest.h>

#include <string>

namespace zentravo {
namespace {

std::string g_ran;

void HookA() { g_ran += "A"; }
void HookB() { g_ran += "B"; }
void HookRegisteringA() {
  g_ran += "R";
  RegisterExitHook(HookA);
}

TEST(ExitHooks, RunOnceInRegistrationOrderWithoutDuplicates) {
  g_ran.clear();
  RegisterExitHook(HookB);
  RegisterExitHook(HookA);
  RegisterExitHook(HookB);  // already listed: ignored
  RegisterExitHook(nullptr);
  RunExitHooks();
  EXPECT_EQ(g_ran, "BA");
  RunExitHooks();  // the list is spent
  EXPECT_EQ(g_ran, "BA");
}

TEST(ExitHooks, HookRegisteredWhileRunningRunsInTurn) {
  g_ran.clear();
  RegisterExitHook(HookRegisteringA);
  RegisterExitHook(HookB);
  RunExitHooks();
  EXPECT_EQ(g_ran, "RBA");
}

}  // namespace
}  // namespace zentravo
