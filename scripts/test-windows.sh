#!/usr/bin/env bash
# Builds one Windows preset and runs its tests under Wine, in that build's own Wine
# prefix (build/wineprefix for win32, build/wineprefix64 for win64) on a private
# virtual display, which is stopped afterwards with the prefix's Wine processes.
#
#   scripts/test-windows.sh win32|win64 [CTEST_ARGUMENTS...]
#   scripts/test-windows.sh --files-only win32
#                    builds the program and its skin library only and runs the
#                    checks that read their files (label pe_files), without Wine
#
# The ctest summary is the last thing it prints; its status is ctest's.
set -euo pipefail
cd "$(dirname "$0")/.."

files_only=
if [ "${1:-}" = "--files-only" ]; then
  files_only=1
  shift
fi
build=${1:?usage: scripts/test-windows.sh [--files-only] win32|win64 [CTEST_ARGUMENTS...]}
shift

cmake --preset "$build"
if [ -n "$files_only" ]; then
  cmake --build --preset "$build" --target Zentravo zentravo_skin_library
  exec ctest --preset "$build" -L pe_files
fi
cmake --build --preset "$build"

# The prefix the test preset names, whatever WINEPREFIX the caller has.
source scripts/lib/wine.sh
use_wine_build "$build"
ensure_wine_prefix
start_display
trap stop_display EXIT
ctest --preset "$build" "$@"
