#pragma once

// Exit status of a process that ended with exit code -1, as gtest's death tests see
// it: the whole 32-bit code on Windows, its low byte elsewhere.
#ifdef _WIN32
inline constexpr int kExitStatusMinusOne = -1;
#else
inline constexpr int kExitStatusMinusOne = 255;
#endif
