#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Zentravo for Linux and for Windows, and runs
# every test this host can run, as an ordinary user (set-up asks for sudo only when
# packages or the locale are missing):
#   - the portable code and the lookup service natively (with ASan and UBSan), bounded
#     fuzz runs of every parser of outside bytes, the lookup page in headless
#     Chromium, the service's Debian package and the load-balancer example;
#   - the x64 build's Windows tests under the 64-bit Wine loader, on every host;
#   - the 32-bit build's Windows tests under the 32-bit Wine loader, where the host
#     starts 32-bit programs (tried, not guessed: some kernels run 64-bit code only);
#   - on every host, the 32-bit program's files read as files: what makes them
#     32-bit Windows binaries, their export, manifest, imports and the carried DLL;
#   - two releases from two fresh clones, which must be byte-identical.
# The last lines say which Windows builds were tested and, for one that was not,
# why. A run in which no Windows test ran fails.
#
# A further check is one line: stage "WHAT" path/to/its-script.sh [ARGUMENTS...]
# (scripts/lib/test-stages.sh); it is timed and a failure ends the run.
#
# Knobs: ZENTRAVO_WINE32_LOADER (scripts/lib/wine.sh) names the 32-bit loader to try.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/test-stages.sh

stage "set-up" scripts/setup.sh

build_native() { cmake --preset native && cmake --build --preset native; }
stage "native: build" build_native
stage "native: tests" ctest --preset native
# A bounded fuzz run of every parser of bytes from outside, 20 seconds each.
stage "fuzz: parsers of outside bytes" tests/fuzz/run-fuzzers.sh 20
stage "browser: the lookup page" tests/browser/run-page-test.sh build/native
# The service's Debian package: lintian, the unit, install, signals, upgrade, purge.
stage "package: the lookup service" tests/package/package-test.sh
# Two service instances behind the documented HAProxy example; one stopped midway.
stage "package: load balancer" tests/package/load-balancer-test.sh

stage "win64: build and tests" scripts/test-windows.sh win64
windows_tested+=("win64 (x64, under wine64)")

# The 32-bit Windows tests where this host starts 32-bit programs; the files of the
# 32-bit build are checked everywhere.
source scripts/lib/wine.sh
if host_runs_32bit_wine; then
  stage "win32: build and tests" scripts/test-windows.sh win32
  windows_tested+=("win32 (i386, under wine)")
else
  stage "win32: build and file checks" scripts/test-windows.sh --files-only win32
  windows_not_tested+=("win32 tests not run (its files were checked): $zentravo_wine32_unavailable")
fi

# Two clones of HEAD release the same bytes.
stage "release: reproducible" tests/release/reproducible-release.sh

finish_stages
