#!/usr/bin/env bash
# Builds the lookup service's libFuzzer target with Clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it for a bounded time; fails on any crash,
# leak, sanitizer report, broken answer or input that takes over 5 seconds.
#
#   tests/fuzz/run-lookup-fuzzer.sh [SECONDS] [BUILD_DIR]    (default 60, build/fuzz)
#
# The corpus grows in BUILD_DIR/lookup-fuzz-corpus and is reused by later runs;
# inputs that fail are kept in BUILD_DIR/lookup-fuzz-artifacts.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
build=${2:-build/fuzz}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRAVO_BUILD_TESTS=ON -DZENTRAVO_FUZZ=ON >/dev/null
fi
cmake --build "$build" --target lookup_answer_fuzzer

corpus="$build/lookup-fuzz-corpus"
artifacts="$build/lookup-fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
# Targets reach 8 KiB and a little more, so that the length limit is crossed.
timeout $((seconds + 120)) "$build/bin/lookup_answer_fuzzer" \
  -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=8400 -print_final_stats=1 \
  -dict=tests/fuzz/lookup.dict -artifact_prefix="$artifacts/" "$corpus" tests/fuzz/lookup-seeds
