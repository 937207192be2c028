#!/usr/bin/env bash
# Runs every benchmark of a build under a private 640 × 480 Xvfb (the X11 driver, as a user
# would have it) and prints the results. Usage: bench/run.sh [build-folder] [filter]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
filter=${2:-}
source "$(dirname "$0")/../scripts/xvfb.sh"
start_private_xvfb 640x480x24
xvfb=$XVFB_PID
trap 'kill $xvfb 2>/dev/null || true' EXIT
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
for bench in "$build"/bench/*_bench; do
    [ -x "$bench" ] || continue
    [ -n "$filter" ] && [[ "$bench" != *"$filter"* ]] && continue
    echo "== $(basename "$bench")"
    "$bench" --benchmark_counters_tabular=true
done
