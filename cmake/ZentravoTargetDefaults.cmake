# Compile settings shared by every target of the program.

# Sources are UTF-8; narrow literals become code page 936 bytes, the program's
# ANSI code page, so "查询" in a source file is B2 E9 D1 AF in the binary.
set(ZENTRAVO_CP936_OPTIONS -finput-charset=UTF-8 -fexec-charset=CP936)

# No folder of the machine that built it inside a binary (__FILE__, debug
# information): the same commit builds to the same bytes wherever it is checked
# out. The build folder comes last: it may lie inside the source folder, and GCC
# tries the map given last first.
set(ZENTRAVO_PATH_MAP_OPTIONS
    "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
    "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")

# Hardened, reproducible Windows binaries: a random load base (so the relocations
# stay in), anywhere in the 64-bit address space on x64, no executable data, and no
# link time stamp. Set per target rather than in the toolchain files, so a build
# folder configured before keeps up.
if(WIN32)
  set(ZENTRAVO_PE_LINK_OPTIONS -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND ZENTRAVO_PE_LINK_OPTIONS -Wl,--high-entropy-va)
  endif()
endif()

# zentravo_target_defaults(target [UTF8_LITERALS])
# UTF8_LITERALS keeps narrow literals in UTF-8, for programs that speak UTF-8
# (the lookup service) rather than the ANSI code page.
function(zentravo_target_defaults target)
  cmake_parse_arguments(ARG "UTF8_LITERALS" "" "" ${ARGN})
  target_compile_features(${target} PUBLIC cxx_std_20)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
  target_compile_options(${target} PRIVATE ${ZENTRAVO_PATH_MAP_OPTIONS})
  if(ARG_UTF8_LITERALS OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Clang writes UTF-8 literals only; it builds the fuzz targets, whose code
    # spells the code page 936 bytes it depends on in hex.
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=UTF-8)
  else()
    target_compile_options(${target} PRIVATE ${ZENTRAVO_CP936_OPTIONS})
  endif()
  if(WIN32)
    # The full <windows.h> defines FindText and friends as macros.
    target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
    target_link_options(${target} PRIVATE ${ZENTRAVO_PE_LINK_OPTIONS})
  endif()
  if(ZENTRAVO_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()
