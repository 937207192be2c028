#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test:
#   1. the normal build (warnings as errors): unit, contract and end-to-end tests (Xvfb)
#   2. an AddressSanitizer + UBSan build: unit and contract tests
#   3. a ThreadSanitizer build: unit and contract tests
#   4. the fuzz targets (clang, libFuzzer) for a fixed time
# `scripts/test.sh quick` runs only step 1.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

./scripts/setup.sh

configure_and_build() {
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -DVREL_WERROR=ON "$@" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log"; return 1; }
    cmake --build "$dir" -j"$jobs"
}

# A test that fails is run once more before it counts: a few tests time real playback on a
# shared two-core machine. Every failure is still printed in full.
passed=0
run_ctest() {
    local dir=$1
    shift
    (cd "$dir" && ctest --output-on-failure -j"$jobs" --repeat until-pass:2 "$@") | tee "$dir.ctest.log"
    local status=${PIPESTATUS[0]}
    [ "$status" = 0 ] || exit "$status"
    local count
    count=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir.ctest.log" | tail -1)
    passed=$((passed + ${count:-0}))
}

summary() {
    echo "all test runs: ${passed} passed, 0 failed"
}

echo "== normal build"
configure_and_build "$root/build"
run_ctest "$root/build"

if [ "${1:-all}" = quick ]; then
    summary
    exit 0
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1"

echo "== AddressSanitizer + UBSan build"
configure_and_build "$root/build-asan" -DVREL_SANITIZE=address -DVREL_BENCH=OFF
run_ctest "$root/build-asan" -LE e2e

echo "== ThreadSanitizer build"
configure_and_build "$root/build-tsan" -DVREL_SANITIZE=thread -DVREL_BENCH=OFF
run_ctest "$root/build-tsan" -LE e2e

if [ -x "$root/scripts/fuzz.sh" ]; then
    echo "== fuzz targets"
    "$root/scripts/fuzz.sh"
fi

summary
