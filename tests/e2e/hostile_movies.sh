#!/usr/bin/env bash
# Missing, hostile and unplayable movies through the real intro, each in a folder of its own:
# every case either plays to its end and exits 0, or shows one failure box (a real key press
# answers it) and exits 0; a missing file's cause is on standard error. Cases of each kind
# (blocked reads, a box, playing, leaps, parts) run again with SIGTERM at fixed moments: as
# soon as main has started, and then mid-play (half a second in) or while the box is open,
# each of which must end it with exit code 0. Every case is made here, nothing binary is kept in the
# repository. A table of case, result and times is printed.
source "$(dirname "$0")/lib.sh"
export SDL_AUDIODRIVER=dummy
unsupported="File format not supported."
no_render="Initialization failure in InitRenderToSurface"
ffmpeg=(ffmpeg -hide_banner -loglevel error -y)

# A one-second source in several containers, and copies broken in several ways.
make_movie "$work/base.mpg" --size 160x120 --seconds 1
"${ffmpeg[@]}" -i "$work/base.mpg" -c:v mpeg4 -c:a pcm_s16le -ar 8000 -ac 1 "$work/base.avi"
"${ffmpeg[@]}" -i "$work/base.mpg" -c:v libx264 -c:a aac "$work/base.mp4"
"${ffmpeg[@]}" -i "$work/base.mpg" -c:v libx264 -c:a aac "$work/base.mkv"

# case NAME EXPECTED SETUP...: SETUP runs in the case's folder and makes its vrelfi.dat;
# EXPECTED is "plays" or the failure text.
names=()
declare -A expected
case_of() {
    local name=$1
    names+=("$name")
    expected[$name]=$2
    mkdir -p "$work/$name"
    shift 2
    cd "$work/$name"
    "$@" || fail "could not make case $name"
    cd "$work"
}
copy_of() { cp "$work/$1" vrelfi.dat; }
truncated() { head -c "$2" "$work/$1" >vrelfi.dat; }
flipped() { python3 -c '
import random, sys
data = bytearray(open(sys.argv[1], "rb").read())
rng = random.Random(7)
for _ in range(int(sys.argv[2])):
    data[rng.randrange(64, len(data))] ^= 1 << rng.randrange(8)
open("vrelfi.dat", "wb").write(data)' "$work/$1" "$2"; }
# The WAVEFORMATEX of the AVI's 8000 Hz mono PCM, rewritten with other numbers.
sound_format() { python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read()
old = struct.pack("<HHI", 1, 1, 8000)
assert data.count(old) == 1
new = struct.pack("<HHI", 1, int(sys.argv[3]), int(sys.argv[2]))
open("vrelfi.dat", "wb").write(data.replace(old, new))' "$work/base.avi" "$1" "$2"; }
jump() { "${ffmpeg[@]}" -i "$work/base.mkv" -c copy -bsf:v \
    "setts=pts='if(gte(N,12),PTS+$1,PTS)':dts='if(gte(N,12),DTS+$1,DTS)'" -f matroska vrelfi.dat; }
two_parts() {
    "${ffmpeg[@]}" -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v libx264 -f mpegts a.ts
    "${ffmpeg[@]}" -f lavfi -i testsrc=size=$1:rate=25:duration=1 -pix_fmt "$2" -c:v libx264 \
        -f mpegts b.ts
    cat a.ts b.ts >vrelfi.dat
}
live_playlist() {
    "${ffmpeg[@]}" -i "$work/base.mpg" -c copy -f hls -hls_time 0.5 -hls_list_size 0 list.m3u8
    grep -v ENDLIST list.m3u8 >vrelfi.dat
}
fifo_with_writer() {
    mkfifo vrelfi.dat
    # Part of a movie, then the pipe held open for a minute.
    (exec 3>vrelfi.dat; head -c 20000 "$work/base.mpg" >&3; exec sleep 60) >/dev/null 2>&1 &
    pids+=($!)
}

case_of missing "$unsupported" true
case_of fifo "$unsupported" mkfifo vrelfi.dat
case_of fifo_writer "$unsupported" fifo_with_writer
case_of directory "$unsupported" mkdir vrelfi.dat
case_of dev_zero "$unsupported" ln -s /dev/zero vrelfi.dat
case_of symlink_loop "$unsupported" ln -s vrelfi.dat vrelfi.dat
case_of empty "$unsupported" touch vrelfi.dat
case_of text "$unsupported" cp "$source_dir/README.md" vrelfi.dat
case_of random "$unsupported" sh -c 'head -c 200000 /dev/urandom >vrelfi.dat'
case_of link_to_movie plays ln -s "$work/base.mpg" vrelfi.dat
for container in mpg avi mp4 mkv; do
    case_of "header_$container" "$unsupported|$no_render|plays" truncated "base.$container" 400
    case_of "half_$container" "plays|$unsupported" truncated "base.$container" \
        "$(($(stat -c %s "$work/base.$container") / 2))"
    case_of "flipped_$container" "plays|$unsupported|$no_render" flipped "base.$container" 40
done
case_of jump_forward plays jump 3600000
case_of jump_back plays jump -1500
case_of rate_1 plays sound_format 1 1
case_of rate_huge plays sound_format 2147483647 1
case_of channels_0 plays sound_format 8000 0
case_of channels_200 plays sound_format 8000 200
case_of size_change plays two_parts 320x240 yuv420p
case_of format_change plays two_parts 160x120 yuv444p
case_of live_playlist "$unsupported|plays" live_playlist
case_of sound_only "$no_render" make_movie vrelfi.dat --no-video --seconds 1
case_of too_large "$no_render" make_movie vrelfi.dat --size 800x600 --seconds 1

# run NAME [WHEN]: one run of the intro in the case's folder; WHEN is empty (to its end),
# "start" (SIGTERM as soon as its main has begun, which its trace file says), a number of
# seconds after the start to send SIGTERM, or "box" (SIGTERM once the box is open, instead
# of the key). Sets result (the box's text, or "plays") and took (milliseconds
# from the start, or from the signal, to the exit).
run() {
    local dir=$work/$1 when=${2:-} started status=0 box=
    started=$(date +%s%N)
    rm -f "$dir/trace.txt"
    (cd "$dir" && VREL_TRACE=$dir/trace.txt exec "$intro") >/dev/null 2>"$dir/err.txt" &
    local pid=$!
    pids+=("$pid")
    local deadline=$((SECONDS + 20))
    if [ "$when" = start ]; then
        until grep -qs start "$dir/trace.txt"; do
            [ $SECONDS -lt $deadline ] || fail "$1: never started"
            sleep 0.002
        done
    elif [[ "$when" =~ ^[0-9.]+$ ]]; then
        sleep "$when"
    fi
    if [ -n "$when" ] && [ "$when" != box ]; then
        started=$(date +%s%N)
        kill -TERM "$pid" 2>/dev/null || true
    fi
    while kill -0 "$pid" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || { kill -KILL "$pid"; fail "$1: still running after 20 s"; }
        if [ -z "$box" ] && box=$(grep -m1 -o '^\[Error\] .*' "$dir/err.txt"); then
            sleep 0.2
            if [ "$when" = box ]; then
                started=$(date +%s%N)
                kill -TERM "$pid"
            else
                xdotool key Return
            fi
        fi
        sleep 0.02
    done
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "$1: exit code $status: $(cat "$dir/err.txt")"
    [ "$(grep -cE '^\[(Error|Quit|About)\] ' "$dir/err.txt")" -le 1 ] ||
        fail "$1: more than one box: $(cat "$dir/err.txt")"
    result=${box#\[Error\] }
    result=${result:-plays}
    took=$((($(date +%s%N) - started) / 1000000))
}

signalled=" fifo_writer dev_zero random link_to_movie half_mkv jump_forward size_change sound_only "
printf '%-16s %-46s %s\n' case result "ms to the end / to the exit after SIGTERM at start, at 0.5 s or with the box open"
# check NAME: its runs, and its line of the table.
check() {
    local name=$1 line outcome
    run "$name"
    [[ "|${expected[$name]}|" == *"|$result|"* ]] ||
        fail "$name: '$result', expected '${expected[$name]}': $(cat "$work/$name/err.txt")"
    case $name in
    missing)
        grep -q "vrelfi.dat: No such file or directory" "$work/$name/err.txt" ||
            fail "the cause of the missing file is not on standard error" ;;
    size_change | format_change)
        [ "$took" -ge 1800 ] || fail "$name: ended after $took ms, before its second part" ;;
    esac
    line=$(printf '%-16s %-46s %5d' "$name" "$result" "$took")
    [[ "$signalled" == *" $name "* ]] || { echo "$line"; return; }
    outcome=$result
    run "$name" start
    line+=" / $took"
    if [ "$outcome" = plays ]; then run "$name" 0.5; else run "$name" box; fi
    echo "$line / $took"
}

# Two lanes, each on an X server of its own (a box's key goes to that server's intro), take
# every other case: a run mostly waits, so the check takes about half as long.
lane() {
    pids=()
    trap 'kill "${pids[@]}" 2>/dev/null || true; wait' EXIT
    start_xvfb 640x480x24
    for i in "${!names[@]}"; do
        [ $((i % 2)) = "$1" ] && check "${names[$i]}"
    done
    return 0
}
lane 0 >"$work/lane0.txt" &
first=$!
lane 1 >"$work/lane1.txt" &
second=$!
status=0
wait "$first" || status=1
wait "$second" || status=1
cat "$work/lane0.txt" "$work/lane1.txt"
[ "$status" = 0 ] || fail "a case failed (above)"
