#!/usr/bin/env bash
# Builds the Windows benchmarks (preset win32-bench) when needed and runs the WinINet
# benchmark under Wine against the loopback web test server: a 64 MiB body through
# WebRequest and through a bare InternetReadFile loop, in the same run. Exit status
# 0 when WebRequest costs at most 1.15 times the bare loop.
#
# Usage: bench/run-wininet-bench.sh [BUILD_DIR]
#   BUILD_DIR defaults to the preset's build/win32-bench. The project's Wine prefix
#   is used unless WINEPREFIX names another.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build_dir=$(realpath -m "${1:-build/win32-bench}")
cmake --preset win32-bench -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target wininet_read_bench

source scripts/lib/wine.sh
ensure_wine_prefix
start_display
trap stop_display EXIT

tests/support/run-with-web-test-server.sh --work-dir "$build_dir/web-test-server" -- \
  wine "$build_dir/bin/wininet_read_bench.exe"
