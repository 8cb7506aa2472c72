# Tests of the skin library (SkinH_EL.dll) and of the skin module that places,
# chooses and attaches it.

# Probe libraries stand in for the skin library and log what reaches them; see
# skin_probe_library.cpp. Each is built as "<name>.dll" in the runtime output folder.
function(zentravo_add_skin_probe name result)
  cmake_parse_arguments(ARG "WITHOUT_EXPORT" "" "" ${ARGN})
  add_library(${name} SHARED skin_probe_library.cpp)
  zentravo_target_defaults(${name})
  target_compile_definitions(${name} PRIVATE PROBE_NAME="${name}" PROBE_RESULT=${result})
  if(ARG_WITHOUT_EXPORT)
    target_compile_definitions(${name} PRIVATE PROBE_WITHOUT_EXPORT)
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  # Exported undecorated, as the real library does.
  target_link_options(${name} PRIVATE -Wl,--kill-at)
endfunction()

zentravo_add_skin_probe(skin_probe_ok 0)
zentravo_add_skin_probe(skin_probe_fails 1)
zentravo_add_skin_probe(skin_probe_minus_one -1)
zentravo_add_skin_probe(skin_probe_no_export 0 WITHOUT_EXPORT)
add_custom_target(zentravo_skin_probes DEPENDS skin_probe_ok skin_probe_fails skin_probe_minus_one
                                               skin_probe_no_export)

# zentravo_run_in_skin_sandbox(target [IN_PLACE])
# The test program runs through skin_sandbox.sh: a drive D: for the prefix, a folder
# of its own, and everything undone afterwards. Unless IN_PLACE, it runs from a copy
# in an empty folder, so that its program directory holds only what it puts there.
function(zentravo_run_in_skin_sandbox target)
  cmake_parse_arguments(ARG "IN_PLACE" "" "" ${ARGN})
  set(runner "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/skin_sandbox.sh")
  if(ARG_IN_PLACE)
    list(APPEND runner --in-place)
  endif()
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${runner}")
  add_dependencies(${target} zentravo_skin_probes zentravo_skin_library)
  # One sandbox at a time: they share the prefix's drive D: and system directory.
  set_property(TEST ${target} APPEND PROPERTY RESOURCE_LOCK zentravo_skin_sandbox)
endfunction()

add_library(zentravo_skin_test_support STATIC skin_test_support.cpp)
target_include_directories(zentravo_skin_test_support PUBLIC "${PROJECT_SOURCE_DIR}")
zentravo_target_defaults(zentravo_skin_test_support)

zentravo_add_test_program(skin_library_tests SOURCES skin_library_test.cpp
                          LIBRARIES zentravo::skin zentravo_skin_test_support user32 gdi32)
zentravo_run_in_skin_sandbox(skin_library_tests)

zentravo_add_test_program(skin_module_tests SOURCES skin_module_test.cpp
                          LIBRARIES zentravo::skin zentravo_skin_test_support)
zentravo_run_in_skin_sandbox(skin_module_tests)
