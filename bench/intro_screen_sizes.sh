#!/usr/bin/env bash
# The whole intro on screens of three sizes against reference players, side by side in one
# run: CPU seconds (user + system, every thread) and peak resident memory for one 12-second
# 320 × 240 MPEG-1 movie with its sound going to SDL's dummy driver, on a private Xvfb of
# each size. The intro runs on both of its paths (the graphics card's is Mesa's software
# OpenGL here) and, when a second build is given, as that build (say, main before a change).
# Usage: bench/intro_screen_sizes.sh [build-folder] [baseline-build-folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
baseline=${2:-}
"$root/scripts/setup.sh" --bench >/dev/null
work=$(mktemp -d)
source "$root/scripts/xvfb.sh"
trap 'kill ${XVFB_PID:-} 2>/dev/null || true; rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy

"$build/tools/moviemaker/vrelmovie" --out "$work/movie.mpg" --size 320x240 --seconds 12 \
    --picture plasma >/dev/null
mkdir -p "$work/intro"
ln -sf "$work/movie.mpg" "$work/intro/vrelfi.dat"

# measure COMMAND...: "cpu_seconds max_rss_kb" for one run.
measure() {
    /usr/bin/time -f "%U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    awk '{printf "%.2f %d\n", $1 + $2, $3}' "$work/time.txt"
}
intro_in() {  # BUILD [VAR=VALUE...]
    local intro=$1/app/vrelintro
    shift
    (cd "$work/intro" && measure env "$@" "$intro")
}

echo "machine: $(nproc) cores,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
printf '%-10s %-18s %7s %7s %9s\n' screen player cpu_s rss_MB "/ mpv"
for size in 640x480 1920x1080 3840x2160; do
    start_private_xvfb "${size}x24"
    players=(vrelintro vrelintro-gpu mpv ffplay)
    [ -n "$baseline" ] && players=(vrelintro-before "${players[@]}")
    declare -A cpu=() rss=()
    for player in "${players[@]}"; do
        case $player in
            vrelintro) result=$(intro_in "$build" VREL_RENDER=cpu) ;;
            vrelintro-gpu) result=$(intro_in "$build" VREL_RENDER=gpu) ;;
            vrelintro-before) result=$(intro_in "$baseline") ;;
            mpv) result=$(measure mpv --fs --vo=x11 --ao=null --really-quiet "$work/movie.mpg") ;;
            ffplay)
                result=$(measure ffplay -fs -autoexit -loglevel quiet "$work/movie.mpg") ;;
        esac
        read -r "cpu[$player]" "rss[$player]" <<<"$result"
    done
    for player in "${players[@]}"; do
        printf '%-10s %-18s %7s %7.0f %9.2f\n' "$size" "$player" "${cpu[$player]}" \
            "$(echo "${rss[$player]} / 1024" | bc -l)" \
            "$(echo "${cpu[$player]} / ${cpu[mpv]}" | bc -l)"
    done
    kill "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null || true
    unset cpu rss
done
