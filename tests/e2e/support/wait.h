#pragma once

// Waiting for something the program under test does in its own time.

#include <windows.h>

#include <functional>

namespace zentravo::e2e {

// Long enough for a slow start under Wine; a passing test never waits this long.
inline constexpr DWORD kDefaultTimeoutMs = 15000;

// Calls `condition` every few milliseconds until it returns true (result true) or
// `timeoutMs` has passed (result false). It is called at least once.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kDefaultTimeoutMs);

// Lets `milliseconds` pass. Only for settling after an action whose effect cannot
// be observed (prefer WaitUntil).
void Pause(DWORD milliseconds);

}  // namespace zentravo::e2e
