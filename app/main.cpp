#include <windows.h>

#include "app/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return zentravo::RunApplication(instance, zentravo::ZentravoRoutines());
}
