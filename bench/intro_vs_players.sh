#!/usr/bin/env bash
# The whole intro against reference players, measured side by side in one run on the same
# 640 × 480 Xvfb with silent audio:
#   - CPU seconds (user + system) and peak resident memory for the same 20-second movies
#     (320 × 240 MPEG-1 and 640 × 480 H.264): vrelintro, `ffplay -fs -autoexit`,
#     `mpv --fs --vo=x11`
#   - start of the process to the first presented movie frame (VREL_TRACE)
#   - CPU while paused for 10 seconds (needs vrelctl)
# Usage: bench/intro_vs_players.sh [build-folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
"$root/scripts/setup.sh" --bench >/dev/null
work=$(mktemp -d)
source "$(dirname "$0")/../scripts/xvfb.sh"
start_private_xvfb 640x480x24
xvfb=$XVFB_PID
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy

vrelmovie=$build/tools/moviemaker/vrelmovie
intro=$build/app/vrelintro
"$vrelmovie" --out "$work/mpeg1.mpg" --size 320x240 --seconds 20 --picture plasma >/dev/null
"$vrelmovie" --out "$work/h264.mp4" --size 640x480 --seconds 20 --codec h264 --picture plasma >/dev/null

# measure LABEL COMMAND...: prints "cpu_seconds max_rss_kb wall_seconds" for one run.
measure() {
    local out=$work/time.txt
    shift
    /usr/bin/time -f "%U %S %M %e" -o "$out" "$@" >/dev/null 2>&1 || true
    awk '{printf "%.2f %d %.1f\n", $1 + $2, $3, $4}' "$out"
}

play_intro() {
    local movie=$1
    mkdir -p "$work/intro"
    ln -sf "$movie" "$work/intro/vrelfi.dat"
    (cd "$work/intro" && measure intro "$intro")
}

echo "machine: $(nproc) cores,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
printf '%-8s %-10s %8s %10s %8s\n' movie player cpu_s rss_MB wall_s
for movie in mpeg1.mpg h264.mp4; do
    declare -A cpu=()
    for player in vrelintro ffplay mpv; do
        case $player in
            vrelintro) result=$(play_intro "$work/$movie") ;;
            ffplay) result=$(measure ffplay ffplay -fs -autoexit -loglevel quiet "$work/$movie") ;;
            mpv) result=$(measure mpv mpv --fs --vo=x11 --ao=null --really-quiet "$work/$movie") ;;
        esac
        read -r c rss wall <<<"$result"
        cpu[$player]=$c
        printf '%-8s %-10s %8s %10.1f %8s\n' "${movie%%.*}" "$player" "$c" "$(echo "$rss / 1024" | bc -l)" "$wall"
    done
    best=$(printf '%s\n' "${cpu[ffplay]}" "${cpu[mpv]}" | sort -g | head -1)
    echo "  vrelintro / best reference = $(echo "scale=2; ${cpu[vrelintro]} / $best" | bc -l)"
done

# Start to first frame with the default movie: the first presentation after the first blit.
mkdir -p "$work/first"
cp "$build/vrelfi.dat" "$work/first/vrelfi.dat"
for run in 1 2 3 4 5; do
    (cd "$work/first" && VREL_TRACE="$work/trace$run.txt" timeout 5 "$intro" >/dev/null 2>&1 || true)
    awk '/^start/ {s=$2} /^blit/ && !b {b=1} /^present/ && b && !p {p=$2} END {printf "start to first frame: %.1f ms\n", (p - s) / 1000}' "$work/trace$run.txt"
done

# CPU while paused, X11 driver, over 10 seconds.
vrelctl=$build/tools/vrelctl/vrelctl
if [ -x "$vrelctl" ]; then
    mkdir -p "$work/paused"
    ln -sf "$work/mpeg1.mpg" "$work/paused/vrelfi.dat"
    (cd "$work/paused" && exec "$intro" >/dev/null 2>&1) &
    pid=$!
    sleep 2
    "$vrelctl" --pid "$pid" pause >/dev/null
    sleep 0.5
    ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
    before=$(ticks "$pid")
    sleep 10
    after=$(ticks "$pid")
    hz=$(getconf CLK_TCK)
    echo "CPU while paused: $(echo "scale=3; ($after - $before) * 100 / $hz / 10" | bc -l) % of a core"
    kill -TERM "$pid"
fi
