#!/usr/bin/env bash
# Builds the libFuzzer targets with Clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, one after the
# other. Fails on any crash, leak, sanitizer report, broken invariant or input that
# takes over 5 seconds; prints runs, time and coverage for every target.
#
#   tests/fuzz/run-fuzzers.sh SECONDS_EACH [TARGET...]   (default: every *_fuzzer target)
#
# FUZZ_BUILD_DIR names the build (default build/fuzz). For a target X_fuzzer,
# tests/fuzz/seeds/X_fuzzer/ holds its seeds, tests/fuzz/X_fuzzer.dict its
# dictionary and tests/fuzz/X_fuzzer.options more libFuzzer flags ('#' starts a
# comment line), each used when it exists. The corpus grows in
# BUILD/corpus/X_fuzzer and is reused by later runs; inputs that fail are kept in
# BUILD/artifacts/X_fuzzer/, the whole output in BUILD/logs/X_fuzzer.log.
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
  echo "run-fuzzers: $*" >&2
  exit 1
}

[ $# -ge 1 ] || fail "usage: tests/fuzz/run-fuzzers.sh SECONDS_EACH [TARGET...]"
seconds=$1
shift
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || fail "SECONDS_EACH must be a whole number of seconds, not '$seconds'"
build=${FUZZ_BUILD_DIR:-build/fuzz}
command -v clang++ >/dev/null || fail "clang++ is missing (scripts/setup.sh installs clang and libclang-rt-14-dev)"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRAVO_BUILD_TESTS=ON -DZENTRAVO_FUZZ=ON >/dev/null
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # Every target of the build whose name ends in _fuzzer (the listing also
  # configures the build again when a CMakeLists.txt has changed).
  listing=$(cmake --build "$build" --target help)
  mapfile -t targets < <(sed -n 's/^\([A-Za-z0-9_]*_fuzzer\): .*/\1/p' <<<"$listing" | sort -u)
  [ ${#targets[@]} -gt 0 ] || fail "the build in $build has no *_fuzzer target"
fi
cmake --build "$build" -j2 --target "${targets[@]}"

summary=()
failed=()
for target in "${targets[@]}"; do
  program="$build/bin/$target"
  [ -x "$program" ] || fail "$target was not built into $program"
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  log="$build/logs/$target.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"

  flags=(-max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1
         -artifact_prefix="$artifacts/")
  [ -f "tests/fuzz/$target.dict" ] && flags+=(-dict="tests/fuzz/$target.dict")
  if [ -f "tests/fuzz/$target.options" ]; then
    while read -r -a words; do
      [ ${#words[@]} -eq 0 ] || [[ "${words[0]}" == \#* ]] || flags+=("${words[@]}")
    done <"tests/fuzz/$target.options"
  fi
  # New inputs go into the first folder; the seeds are only read.
  folders=("$corpus")
  [ -d "tests/fuzz/seeds/$target" ] && folders+=("tests/fuzz/seeds/$target")

  echo "run-fuzzers: $target for $seconds s"
  started=$(date +%s%N)
  stamp="$artifacts/.started"
  touch "$stamp"
  status=0
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    timeout $((seconds + 120)) "$program" "${flags[@]}" "${folders[@]}" >"$log" 2>&1 || status=$?
  tenths=$((($(date +%s%N) - started) / 100000000))

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # The last status line of libFuzzer: "#RUNS  DONE  cov: C ft: F corp: ...".
  progress=$(grep -E '^#[0-9]+' "$log" | grep -E 'cov: [0-9]+' | tail -n 1 || true)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$progress")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$progress")
  line=$(printf '%-26s %10s runs  %4d.%d s  cov %5s  ft %6s' "$target" "${runs:-?}" \
         $((tenths / 10)) $((tenths % 10)) "${cov:-?}" "${ft:-?}")
  # A sanitizer that did not end the program still counts, and so does a run
  # that never got going.
  if [ "$status" -ne 0 ] || [ -z "$runs" ] ||
     grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|broken invariant' "$log"; then
    echo "run-fuzzers: $target FAILED (exit status $status); the end of $log:" >&2
    tail -n 40 "$log" >&2
    find "$artifacts" -type f -newer "$stamp" | sed 's/^/run-fuzzers: the input is kept in /' >&2
    failed+=("$target")
    line="$line  FAILED"
  fi
  summary+=("$line")
  echo "$line"
done

echo "run-fuzzers: $seconds s each:"
printf '  %s\n' "${summary[@]}"
[ ${#failed[@]} -eq 0 ] || fail "${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}"
