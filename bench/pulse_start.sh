#!/usr/bin/env bash
# The start of the intro with a real sound server: a private PulseAudio daemon with a null
# sink (its own runtime folder and socket, so no other PulseAudio is touched) plays a 3-second
# movie N times without a window. Per run: seconds from start to exit (goal 3.0-3.4) and the
# largest gap between pictures put on the primary in the first 2 s of the movie (goal: at
# most two frame periods, 80 ms at 25 fps); then the medians.
# Usage: bench/pulse_start.sh [build-folder]   (N=5 by default; RUNS=n to change)
set -euo pipefail
build=$(cd "${1:-$(cd "$(dirname "$0")/.." && pwd)/build}" && pwd)
runs=${RUNS:-5}
work=$(mktemp -d)
source "$(dirname "$0")/../scripts/pulseaudio.sh"
start_private_pulseaudio "$work/pulse"
trap 'kill $PULSE_PID 2>/dev/null || true; wait $PULSE_PID 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/tools/moviemaker/vrelmovie" --out "$work/vrelfi.dat" --seconds 3 >/dev/null
export VREL_SCREEN=none

printf '%-4s %14s %14s\n' run start_exit_s max_gap_ms
: >"$work/results"
for run in $(seq "$runs"); do
    trace=$work/trace$run.txt
    begin=$(date +%s%N)
    (cd "$work" && VREL_TRACE="$trace" timeout 20 "$build/app/vrelintro" >/dev/null 2>&1) || true
    end=$(date +%s%N)
    # Pictures reach the primary as blits without a screen, as presents with one; the gap
    # counts when it starts in the first 2 s after the first picture.
    gap=$(awk '$1 == "present" || $1 == "blit" {
                   if (!first) first = $2
                   else if (last - first < 2000000 && $2 - last > gap) gap = $2 - last
                   last = $2
               }
               END { printf "%.0f", gap / 1000 }' "$trace")
    seconds=$(echo "scale=2; ($end - $begin) / 1000000000" | bc -l)
    printf '%-4s %14.2f %14s\n' "$run" "$seconds" "$gap"
    echo "$seconds $gap" >>"$work/results"
done
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
printf '%-4s %14.2f %14s\n' median "$(cut -d' ' -f1 "$work/results" | median)" \
    "$(cut -d' ' -f2 "$work/results" | median)"
