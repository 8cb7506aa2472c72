#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Zentravo for Linux and for 32-bit Windows, and
# runs every test: the portable ones and the lookup service natively (with ASan and
# UBSan), bounded fuzz runs of the parsers of outside bytes, then all Windows
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
# A bounded fuzz run of every parser of bytes from outside, 20 seconds each.
tests/fuzz/run-fuzzers.sh 20
tests/browser/run-page-test.sh build/native
# The service's Debian package: lintian, the unit, install, signals, upgrade, purge.
tests/package/package-test.sh
# Two service instances behind the documented HAProxy example; one stopped midway.
tests/package/load-balancer-test.sh

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
