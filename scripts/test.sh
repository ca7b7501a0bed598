#!/usr/bin/env bash
# The whole test suite: builds (plain and with AddressSanitizer + UndefinedBehaviorSanitizer),
# runs every test in both builds, runs each fuzz target for a bounded time, and runs the tests
# of the parts that use threads under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage says how long it took, so a slow one shows in the CI log.
stage() { echo "== $1 (at ${SECONDS} s)"; }

scripts/setup.sh --sanitize

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0

stage "tests, sanitizer build"
ctest --test-dir build-asan -j2 --output-on-failure --timeout 600

fuzz_seconds=${KESTREL_FUZZ_SECONDS:-5}
for fuzzer in build-asan/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  stage "$name for ${fuzz_seconds} s"
  corpus=$(mktemp -d)
  seeds=tests/fuzz/corpus/${name#fuzz_}
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  "$fuzzer" -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=0 "$corpus" \
    > "build-asan/$name.log" 2>&1 || { tail -40 "build-asan/$name.log"; exit 1; }
  tail -1 "build-asan/$name.log"
  rm -rf "$corpus"
done

stage "tests, plain build"
ctest --test-dir build -j2 --output-on-failure --timeout 600

# Only the programs whose code runs threads: the rest would double the time and find nothing.
stage "tests that use threads, ThreadSanitizer build"
tsan_tests="test_platform test_audio test_radio test_core"
CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTREL_TSAN=ON \
  -DKESTREL_BENCH=OFF > /dev/null
# The radio tests run the tool; the station core tests read the SYNOP store it makes.
ninja -j2 -C build-tsan $tsan_tests kestrel synop_store
export TSAN_OPTIONS=suppressions=$PWD/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1
for t in $tsan_tests; do
  echo "-- $t"
  "build-tsan/tests/$t" --gtest_brief=1
done
stage "done"
