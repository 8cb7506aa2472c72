// A tiny DLL that the binding tests load by name from beside the test program.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI ProbeTwice(int value) { return value * 2; }
