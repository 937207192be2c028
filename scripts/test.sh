#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test:
#   1. the normal build (warnings as errors): unit, contract and end-to-end tests (Xvfb)
#   2. an AddressSanitizer + UBSan build: unit and contract tests
#   3. a ThreadSanitizer build: the unit and contract tests of the services with threads or locks
#   4. the fuzz targets (clang, libFuzzer), 10 s each (VREL_FUZZ_SECONDS)
# `scripts/test.sh quick` runs only step 1.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

./scripts/setup.sh

# configure_and_build DIR [TARGETS...] -- [CMAKE OPTIONS...]: everything when no target is named.
configure_and_build() {
    local dir=$1 targets=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        targets+=(--target "$1")
        shift
    done
    [ $# -gt 0 ] && shift
    cmake -S "$root" -B "$dir" -DVREL_WERROR=ON "$@" >"$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log"; return 1; }
    cmake --build "$dir" -j"$jobs" "${targets[@]}"
}

# Each test runs once: a test that fails now and then is a fault to find, not to retry.
passed=0
run_ctest() {
    local dir=$1
    shift
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") | tee "$dir.ctest.log"
    local status=${PIPESTATUS[0]}
    [ "$status" = 0 ] || exit "$status"
    local count
    count=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir.ctest.log" | tail -1)
    passed=$((passed + ${count:-0}))
}

# step NAME: a heading with the time since the start (set-up included).
step() {
    printf '== %s (at %d:%02d)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60))
}

summary() {
    echo "all test runs: ${passed} passed, 0 failed, in $((SECONDS / 60)) min $((SECONDS % 60)) s"
}

step "normal build"
configure_and_build "$root/build" --
run_ctest "$root/build"

if [ "${1:-all}" = quick ]; then
    summary
    exit 0
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1"

# The sanitizer builds make only the test programs (and what they start), not the tools, a
# folder's files compiled as one (about half the time; the normal build keeps each file on
# its own, so a missing include still shows).
unity=-DCMAKE_UNITY_BUILD=ON
step "AddressSanitizer + UBSan build"
configure_and_build "$root/build-asan" unit_tests -- -DVREL_SANITIZE=address -DVREL_BENCH=OFF "$unity"
run_ctest "$root/build-asan" -LE e2e

# Only the services with threads or locks of their own (the stream's thread draws on surfaces):
# ThreadSanitizer has nothing to find elsewhere.
threaded="mmstream port user entry ddraw gdi bus"
step "ThreadSanitizer build"
# shellcheck disable=SC2046,SC2086 # one target per word
configure_and_build "$root/build-tsan" $(printf 'test_%s ' $threaded) -- \
    -DVREL_SANITIZE=thread -DVREL_BENCH=OFF "$unity"
run_ctest "$root/build-tsan" -L "^(${threaded// /|})\$"

if [ -x "$root/scripts/fuzz.sh" ]; then
    step "fuzz targets"
    "$root/scripts/fuzz.sh" "${VREL_FUZZ_SECONDS:-10}"
fi

summary
