# The ".SHE" skin parser on its own. It makes no Windows call, so the host build
# tests and fuzzes it under the sanitizers as well. Included where it is needed;
# the target is made once.
include_guard(GLOBAL)
add_library(zentravo_skin_format STATIC "${CMAKE_CURRENT_LIST_DIR}/skin_format.cpp")
target_include_directories(zentravo_skin_format PUBLIC "${PROJECT_SOURCE_DIR}")
zentravo_target_defaults(zentravo_skin_format)
