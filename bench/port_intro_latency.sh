#!/usr/bin/env bash
# The message port's latency on the real intro under a private 640 × 480 Xvfb: the round
# trip of a send (arrival on the port, the window procedure, the result back) while the
# intro plays a 25 fps movie, while it is paused and while it is stopped. A send's round
# trip bounds the time from a command's arrival to the window procedure running.
#   bench/port_intro_latency.sh [build-folder]
set -euo pipefail
build=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vrel-port-latency.XXXXXX")
display=:$((250 + RANDOM % 40))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
intro=
# The intro ends before its X server: a vanished display would take it down the hard way.
cleanup() {
    if [ -n "$intro" ]; then
        kill "$intro" 2>/dev/null && wait "$intro" 2>/dev/null
    fi
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    [ -n "${VREL_BENCH_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
done
export DISPLAY=$display SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} XDG_RUNTIME_DIR=$work/run
mkdir -m 0700 "$XDG_RUNTIME_DIR"
"$build/tools/moviemaker/vrelmovie" --out "$work/vrelfi.dat" --size 320x240 --fps 25 \
    --seconds 90 >/dev/null
(cd "$work" && exec "$build/app/vrelintro") >/dev/null 2>"$work/intro.err" &
intro=$!
export VREL_PORT_BENCH_SOCKET=$XDG_RUNTIME_DIR/vrelintro/$intro.sock
for _ in $(seq 200); do
    [ -S "$VREL_PORT_BENCH_SOCKET" ] && break
    sleep 0.05
done
sleep 1
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
measure() {
    echo "== $1"
    "$build/bench/port_latency_bench" --benchmark_filter=BM_IntroSendRoundTrip \
        --benchmark_counters_tabular=true 2>&1 | grep -E "Benchmark|BM_"
}
measure "playing (25 fps: a frame is 40 ms)"
"$build/tools/vrelctl/vrelctl" pause
measure "paused"
"$build/tools/vrelctl/vrelctl" stop
measure "stopped"
"$build/tools/vrelctl/vrelctl" exit
sleep 0.3
"$build/tools/vrelctl/vrelctl" answer yes
wait "$intro" || echo "the intro exited with $?"
intro=
