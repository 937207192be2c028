#!/usr/bin/env bash
# Runs every benchmark of a build under a private 640 × 480 Xvfb (the X11 driver, as a user
# would have it) and prints the results. Usage: bench/run.sh [build-folder] [filter]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
filter=${2:-}
display=:$((200 + RANDOM % 50))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
done
export DISPLAY=$display SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
for bench in "$build"/bench/*_bench; do
    [ -x "$bench" ] || continue
    [ -n "$filter" ] && [[ "$bench" != *"$filter"* ]] && continue
    echo "== $(basename "$bench")"
    "$bench" --benchmark_counters_tabular=true
done
