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
set(CMAKE_CROSSCOMPILING_EMULATOR wine64)

# One self-contained file per binary: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Hardened and reproducible: a random load base anywhere in 64 bits (so the
# relocations stay in), no executable data, and no link time stamp, so the same
# sources give the same bytes.
set(zentravo_pe_link_flags "-Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va -Wl,--no-insert-timestamp")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " ${zentravo_pe_link_flags}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " ${zentravo_pe_link_flags}")
