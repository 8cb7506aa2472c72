# Cross build for 64-bit Windows (x64) with MinGW-w64. The -posix compilers carry the
# C++11 threading that GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows test programs run under Wine; ctest prefixes every test command with this.
# The 64-bit loader itself, not the "wine" wrapper: the wrapper picks the 32-bit
# loader whenever wine32 is installed, and that one cannot start on hosts whose
# kernel runs 64-bit code only. The test preset sets WINELOADER to the same file,
# so that programs the tests start run under it too.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

# One self-contained file per binary: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
