#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang (in build-fuzz) and runs each for a fixed
# time from its seed corpus. Any crash, sanitizer report or broken invariant fails the run
# and leaves the input that found it in build-fuzz/artifacts/.
#   scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-fuzz
seconds=${1:-${VREL_FUZZ_SECONDS:-30}}

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)"

mkdir -p "$build/artifacts"
status=0
for target in "$build"/*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target" _fuzz)
    corpus=$build/corpus/$name
    mkdir -p "$corpus"
    [ -d "$root/fuzz/corpus/$name" ] && cp -n "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
    echo "== $name: ${seconds}s"
    if "$target" -max_total_time="$seconds" -max_len=1024 -timeout=10 -rss_limit_mb=1024 \
        -dict="$root/fuzz/port.dict" -artifact_prefix="$build/artifacts/$name-" \
        -print_final_stats=1 "$corpus" >"$build/$name.log" 2>&1; then
        grep -E "^stat::number_of_executed_runs|^#[0-9]+.*DONE" "$build/$name.log" | tail -2
    else
        status=1
        echo "FAIL: $name found a problem:" >&2
        tail -40 "$build/$name.log" >&2
    fi
done
exit $status
