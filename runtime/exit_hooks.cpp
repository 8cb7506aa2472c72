#include "runtime/exit_hooks.h"

#include <algorithm>
#include <vector>

namespace zentravo {
namespace {

std::vector<ExitHook>& Hooks() {
  static std::vector<ExitHook> hooks;
  return hooks;
}

}  // namespace

void RegisterExitHook(ExitHook hook) {
  std::vector<ExitHook>& hooks = Hooks();
  if (hook == nullptr || std::find(hooks.begin(), hooks.end(), hook) != hooks.end()) return;
  hooks.push_back(hook);
}

void RunExitHooks() {
  std::vector<ExitHook>& hooks = Hooks();
  // Each hook leaves the list before it runs, so a hook that ends the process
  // (or a fatal error inside one) can never make it run twice.
  while (!hooks.empty()) {
    ExitHook hook = hooks.front();
    hooks.erase(hooks.begin());
    hook();
  }
}

}  // namespace zentravo
