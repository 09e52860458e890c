#!/usr/bin/env bash
# The one test command: set-up, the shipped 32-bit build and the 64-bit sanitizer builds
# (AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer) with all their tests, a
# whole benchmark run with every benchmark once (the release build of vxbench alone), then every
# fuzzer for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

jobs=$(nproc)
fuzz_seconds=${VXIMA_FUZZ_SECONDS:-10}
total_passed=0
total_failed=0

run_ctest() {
  local preset=$1 log
  log=$(mktemp)
  if ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"; then :; fi
  local summary
  summary=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "test: no ctest summary for $preset" >&2
    total_failed=$((total_failed + 1))
    return
  fi
  local failed total
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
  total_passed=$((total_passed + total - failed))
  total_failed=$((total_failed + failed))
}

for preset in m32 asan tsan bench; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  run_ctest "$preset"
done

# Fuzzers: clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
# The fuzzers that fuzz/ defines, each from its build (a fuzzer left in a reused build directory by
# a source since removed is not one of them).
for source in fuzz/fuzz_*.cpp; do
  name=$(basename "$source" .cpp)
  fuzzer="build/fuzz/fuzz/$name"
  if [ ! -x "$fuzzer" ]; then
    echo "fuzz: $name FAILED (not built: no $fuzzer)"
    total_failed=$((total_failed + 1))
    continue
  fi
  corpus=$(mktemp -d)
  seeds="fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  if "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" >"build/fuzz/$name.log" 2>&1; then
    echo "fuzz: $name ran clean for ${fuzz_seconds}s"
    total_passed=$((total_passed + 1))
  else
    echo "fuzz: $name FAILED (see build/fuzz/$name.log)"
    tail -n 40 "build/fuzz/$name.log"
    total_failed=$((total_failed + 1))
  fi
  rm -rf "$corpus"
done

echo "tests: $total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
