# GoogleTest: Debian's packaged build on the host; for Windows, the same sources
# built with the cross compiler.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()

# One ctest entry per test program; under Wine each start costs a second or two,
# so the program's own cases are not split into separate processes.
# UTF8_LITERALS: as for zentravo_target_defaults, for tests of UTF-8 programs.
function(zentravo_add_test_program name)
  cmake_parse_arguments(ARG "UTF8_LITERALS" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_UTF8_LITERALS)
    zentravo_target_defaults(${name} UTF8_LITERALS)
  else()
    zentravo_target_defaults(${name})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
