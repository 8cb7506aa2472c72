#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Zentravo for Linux and for 32-bit Windows, and
# runs every test: the portable ones and the lookup service natively (with ASan and
# UBSan), a bounded fuzz run of the service's link decoder, then all Windows
# programs under Wine on a private virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset native
cmake --build --preset native
ctest --preset native
# A bounded fuzz run of the lookup service's link decoder.
tests/fuzz/run-lookup-fuzzer.sh 60

cmake --preset win32
cmake --build --preset win32

source scripts/lib/wine.sh
ensure_wine_prefix
start_display
trap stop_display EXIT
ctest --preset win32
