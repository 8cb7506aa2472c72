#!/usr/bin/env bash
# Runs the lookup service's libFuzzer target alone, through the common runner.
#
#   tests/fuzz/run-lookup-fuzzer.sh [SECONDS] [BUILD_DIR]    (default 60, build/fuzz)
set -euo pipefail
cd "$(dirname "$0")/../.."
FUZZ_BUILD_DIR=${2:-build/fuzz} exec tests/fuzz/run-fuzzers.sh "${1:-60}" lookup_answer_fuzzer
