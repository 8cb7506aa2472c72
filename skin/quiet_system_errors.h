#pragma once

#include <windows.h>

namespace zentravo {

// Keeps the system from showing its own error boxes (no disk in a drive, a
// damaged library) while it lives: the skin's failures are all silent.
class QuietSystemErrors {
 public:
  QuietSystemErrors() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  QuietSystemErrors(const QuietSystemErrors&) = delete;
  QuietSystemErrors& operator=(const QuietSystemErrors&) = delete;
  ~QuietSystemErrors() { SetThreadErrorMode(previous_, nullptr); }

 private:
  DWORD previous_ = 0;
};

}  // namespace zentravo
