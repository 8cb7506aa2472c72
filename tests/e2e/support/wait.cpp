#include "tests/e2e/support/wait.h"

namespace zentravo::e2e {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
}

void Pause(DWORD milliseconds) { Sleep(milliseconds); }

}  // namespace zentravo::e2e
