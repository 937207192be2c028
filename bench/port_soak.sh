#!/usr/bin/env bash
# The message port under load: two clients post 10,000 random commands (Open, Start, Pause,
# Stop, About and the answers ok and no; never Exit or a close) over about a minute to the
# real intro playing a movie that outlasts it, under a private 640 × 480 Xvfb. Samples the
# intro's resident memory, open descriptors and sound devices ten times a second, then
# closes any box left open and checks that the intro still answers and exits with 0.
#   bench/port_soak.sh [build-folder] [commands per client] [seconds] [rounds]
set -euo pipefail
build=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
per_client=${2:-5000}
seconds=${3:-60}
rounds=${4:-2}  # a second round shows whether memory keeps growing or was only kept
here=$(cd "$(dirname "$0")" && pwd)
vrelctl=$build/tools/vrelctl/vrelctl
work=$(mktemp -d "${TMPDIR:-/tmp}/vrel-port-soak.XXXXXX")
display=:$((250 + RANDOM % 40))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
intro=
monitor=
# The intro ends before its X server: a vanished display would take it down the hard way.
cleanup() {
    [ -n "$monitor" ] && kill "$monitor" 2>/dev/null
    if [ -n "$intro" ]; then
        kill "$intro" 2>/dev/null && wait "$intro" 2>/dev/null
    fi
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    [ -n "${VREL_BENCH_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for _ in $(seq 100); do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
done
export DISPLAY=$display SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} XDG_RUNTIME_DIR=$work/run
mkdir -m 0700 "$XDG_RUNTIME_DIR"

"$build/tools/moviemaker/vrelmovie" --out "$work/vrelfi.dat" --size 320x240 --fps 25 \
    --seconds $((seconds * 2 + 60)) >/dev/null
(cd "$work" && exec "$build/app/vrelintro") >/dev/null 2>"$work/intro.err" &
intro=$!
socket=$XDG_RUNTIME_DIR/vrelintro/$intro.sock
for _ in $(seq 200); do
    [ -S "$socket" ] && break
    sleep 0.05
done
[ -S "$socket" ] || fail "the intro opened no port"
sleep 2

# One line per sample: seconds since the start, RSS in kB, open descriptors, sound devices.
sample() {
    local rss fds sound
    rss=$(awk '/^VmRSS/{print $2}' "/proc/$intro/status" 2>/dev/null) || return 1
    fds=$(ls "/proc/$intro/fd" 2>/dev/null | wc -l)
    sound=$(cat /proc/"$intro"/task/*/comm 2>/dev/null | grep -c '^SDLAudio' || true)
    echo "$SECONDS $rss $fds $sound"
}
(while sample; do sleep 0.1; done) >"$work/samples.txt" 2>/dev/null &
monitor=$!
sleep 1
read -r _ rss_before fds_before _ < <(sample)

# One round: the two clients, a send right away (the intro must answer while it still works
# off the queued commands), then the queue worked off, About boxes among them (possibly
# nested): answer OK until no box has been open for two seconds; then play and measure.
soak_round() {
    local round=$1 started=$SECONDS first second took answers=0 quiet=0 settle_start
    python3 "$here/port_soak_client.py" "$socket" "$per_client" "$seconds" $((2 * round - 1)) \
        >"$work/client1.json" &
    first=$!
    python3 "$here/port_soak_client.py" "$socket" "$per_client" "$seconds" $((2 * round)) \
        >"$work/client2.json" &
    second=$!
    wait "$first" || fail "client 1 failed"
    wait "$second" || fail "client 2 failed"
    took=$((SECONDS - started))
    kill -0 "$intro" 2>/dev/null || fail "the intro died under load: $(tail -5 "$work/intro.err")"
    local asked=$(date +%s%N)
    "$vrelctl" --send raw WM_COMMAND 0x000103E9 >/dev/null ||
        fail "the intro did not answer a send right after the load"
    local busy_ms=$((($(date +%s%N) - asked) / 1000000))
    settle_start=$SECONDS
    while [ "$quiet" -lt 20 ]; do
        if "$vrelctl" answer ok 2>/dev/null; then
            answers=$((answers + 1))
            quiet=0
        else
            quiet=$((quiet + 1))
        fi
        sleep 0.1
        [ $((SECONDS - settle_start)) -lt 900 ] || fail "boxes keep coming after 15 minutes"
    done
    "$vrelctl" start
    sleep 3
    read -r _ rss fds sound < <(sample)
    echo "round $round: $((2 * per_client)) commands in ${took}s from two clients"
    echo "  client 1: $(cat "$work/client1.json")"
    echo "  client 2: $(cat "$work/client2.json")"
    echo "  a send right after the load came back in ${busy_ms} ms"
    echo "  the queued commands were worked off in $((SECONDS - settle_start))s" \
        "($answers answers of ok)"
    echo "  afterwards, playing: RSS $rss kB, $fds descriptors, $sound sound device(s)"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
echo "before: RSS $rss_before kB, $fds_before descriptors"
for round in $(seq "$rounds"); do
    soak_round "$round"
done
kill "$monitor" 2>/dev/null
wait "$monitor" 2>/dev/null || true
monitor=
answer=$("$vrelctl" --send raw WM_COMMAND 0x000103E9) || fail "the intro no longer answers"
"$vrelctl" list | grep -q " box " && fail "a box is still open: $("$vrelctl" list)"
awk '{ n++; if ($2 > rss_max) rss_max = $2; if ($3 > fd_max) fd_max = $3
       if (fd_min == "" || $3 < fd_min) fd_min = $3; if ($4 > sound_max) sound_max = $4 }
     END { printf "whole run (%d samples): RSS at most %d kB, descriptors %d..%d, ", n, rss_max, fd_min, fd_max
           printf "sound devices at most %d\n", sound_max
           if (sound_max > 1) exit 1 }' "$work/samples.txt" || fail "more than one soundtrack at a time"
echo "the intro still answers: send returned $answer"

"$vrelctl" exit
for _ in $(seq 100); do
    "$vrelctl" answer yes 2>/dev/null && break
    sleep 0.05
done
status=0
wait "$intro" || status=$?
intro=
[ "$status" = 0 ] || fail "the intro exited with $status"
echo "the intro exited with 0"
