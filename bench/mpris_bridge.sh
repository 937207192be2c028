#!/usr/bin/env bash
# The media-player bridge on the real intro, on a private session bus and a private
# 640 × 480 Xvfb:
# (a) the bridge thread's CPU while the intro sits paused for 10 s (schedstat), and the whole
#     process's;
# (b) Pause on the bus → window procedure: from just before the client's call to the
#     WM_COMMAND's dispatch (VREL_TRACE's "command" line), medians while playing and paused;
# (c) the whole intro's CPU for a 12-second movie with the bridge on and off, alternating.
#   bench/mpris_bridge.sh [build-folder]
set -euo pipefail
if [ -z "${VREL_BENCH_PRIVATE_BUS:-}" ]; then
    VREL_BENCH_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
build=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vrel-mpris-bench.XXXXXX")
source "$(dirname "$0")/../scripts/xvfb.sh"
start_private_xvfb 640x480x24
intro=
# The intro goes before its X server (a vanished display takes it down the hard way).
trap 'kill $intro 2>/dev/null; wait $intro || true; kill $XVFB_PID; wait || true; rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} XDG_RUNTIME_DIR=$work/run
mkdir -m 0700 "$XDG_RUNTIME_DIR"
"$build/tools/moviemaker/vrelmovie" --out "$work/vrelfi.dat" --size 320x240 --fps 25 \
    --seconds 90 >/dev/null
(cd "$work" && VREL_TRACE=$work/trace.txt exec "$build/app/vrelintro") >/dev/null 2>"$work/intro.err" &
intro=$!
for _ in $(seq 200); do
    playerctl -l 2>/dev/null | grep -q "vrelintro.instance$intro" && break
    sleep 0.05
done
sleep 1
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"

# Nanoseconds on the CPU of the named thread (all threads when none is named).
cpu_ns() {
    local total=0 task
    for task in /proc/"$intro"/task/*; do
        if [ -z "${1:-}" ] || [ "$(cat "$task/comm")" = "$1" ]; then
            total=$((total + $(cut -d' ' -f1 "$task/schedstat")))
        fi
    done
    echo "$total"
}
playerctl -p vrelintro pause
sleep 1
bridge_before=$(cpu_ns vrel-bus) all_before=$(cpu_ns)
sleep 10
bridge_used=$(($(cpu_ns vrel-bus) - bridge_before)) all_used=$(($(cpu_ns) - all_before))
awk -v b="$bridge_used" -v a="$all_used" 'BEGIN {
    printf "idle, paused 10 s: bridge thread %.1f µs/s, whole intro %.1f µs/s\n", b / 1e4, a / 1e4 }'
playerctl -p vrelintro play
sleep 1

python3 - "$work/trace.txt" "org.mpris.MediaPlayer2.vrelintro.instance$intro" <<'PY'
import ctypes, statistics, sys, time
trace, name = sys.argv[1], sys.argv[2].encode()
sd = ctypes.CDLL("libsystemd.so.0")
bus = ctypes.c_void_p()
assert sd.sd_bus_open_user(ctypes.byref(bus)) >= 0
path, iface = b"/org/mpris/MediaPlayer2", b"org.mpris.MediaPlayer2.Player"
def call(member):
    sent = time.clock_gettime_ns(time.CLOCK_MONOTONIC) // 1000
    r = sd.sd_bus_call_method(bus, name, path, iface, member, None, None, b"")
    assert r >= 0, r
    return sent
def dispatched_after(sent, seen):
    while True:
        for line in open(trace).read().splitlines()[seen:]:
            event, at, _ = line.split()
            if event == "command" and int(at) >= sent:
                return int(at) - sent
        time.sleep(0.01)
def measure(before_each, rounds=25):
    latencies = []
    for _ in range(rounds):
        before_each()
        seen = len(open(trace).read().splitlines())
        latencies.append(dispatched_after(call(b"Pause"), seen))
    return statistics.median(latencies), max(latencies)
def resume():
    call(b"Play")
    time.sleep(0.3)
playing = measure(resume)
call(b"Pause")
time.sleep(0.3)
paused = measure(lambda: time.sleep(0.1))
print("Pause on the bus -> window procedure: playing median %.0f µs (max %.0f), "
      "paused median %.0f µs (max %.0f)" % (playing + paused))
PY
playerctl -p vrelintro stop

# (c) Whole-process CPU seconds (user + system) of one run to the movie's end.
mkdir "$work/short"
"$build/tools/moviemaker/vrelmovie" --out "$work/short/vrelfi.dat" --size 320x240 --fps 25 \
    --seconds 12 >/dev/null
play_cpu() {
    (cd "$work/short" && VREL_MPRIS=$1 /usr/bin/time -f "%U %S" -o "$work/time.txt" \
        "$build/app/vrelintro" >/dev/null 2>&1)
    awk '{ printf "%.2f", $1 + $2 }' "$work/time.txt"
}
on=() off=()
for _ in 1 2 3; do
    on+=("$(play_cpu on)")
    off+=("$(play_cpu off)")
done
echo "12 s movie, CPU seconds: bridge on ${on[*]}, bridge off ${off[*]}"
