#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Zentravo for Linux and for 32-bit Windows, and
# runs every test: the portable ones and the lookup service natively (with ASan and
# UBSan), a bounded fuzz run of the service's link decoder, then all Windows
# programs under Wine on a private virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

# The end-to-end lookups need the lookup service's port, 443, which only root may bind.
if [ "$(id -u)" -ne 0 ]; then
  echo "test: run as root: the end-to-end tests serve HTTPS on 127.0.0.1:443" >&2
  exit 1
fi

scripts/setup.sh

cmake --preset native
cmake --build --preset native
ctest --preset native
# A bounded fuzz run of the lookup service's link decoder.
tests/fuzz/run-lookup-fuzzer.sh 60

cmake --preset win32
cmake --build --preset win32

# The prefix the win32 test preset names, whatever WINEPREFIX the caller has.
export WINEPREFIX="$PWD/build/wineprefix"
source scripts/lib/wine.sh
ensure_wine_prefix
start_display
trap stop_display EXIT
ctest --preset win32
tests/release/reproducible-release.sh  # two clones of HEAD release the same bytes
