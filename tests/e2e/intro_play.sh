#!/usr/bin/env bash
# The intro's own movie on a 640 × 480 Xvfb screen plays by itself to its end: stretched to
# the whole screen in 2 × 2 blocks with the overlay text in a colour of the hue cycle, its
# sound through SDL's audio (the disk driver writes what the device would play), no box,
# and exit code 0 when the movie ends.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
mkdir -p "$work/play"
cp "$build/vrelfi.dat" "$work/play/vrelfi.dat"
cd "$work/play"
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 vrelfi.dat | cut -d. -f1)
start=$SECONDS
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$intro" >"$work/out.txt" \
    2>"$work/err.txt" &
pid=$!
pids+=($pid)
# Mid-play: once the frame marker reads 10 or more (a busy machine may start slowly).
deadline=$((SECONDS + 20))
frame=-1
until [ "$frame" -ge 10 ]; do
    [ $SECONDS -lt $deadline ] || fail "the frame marker never reached 10 (last $frame)"
    sleep 0.2
    screenshot_ppm "$work/mid.ppm"
    frame=$("$build/tests/programs/read_marker" "$work/mid.ppm")
done
/usr/bin/convert "$work/mid.ppm" "${VREL_E2E_KEEP:-$work}/intro_mid_play.png" 2>/dev/null || true
status=0
wait "$pid" || status=$?
elapsed=$((SECONDS - start))
[ "$status" = 0 ] || fail "exit code $status; stderr: $(cat "$work/err.txt")"
# Ended by the movie, not before; the upper bound only catches a run that never ends.
[ "$elapsed" -ge $((length - 1)) ] && [ "$elapsed" -le $((length + 30)) ] ||
    fail "played ${elapsed}s of a ${length}s movie"
! grep -qE '^\[(Error|Quit|About)\] ' "$work/err.txt" || fail "a message box came up: $(cat "$work/err.txt")"

broken=$(python3 "$analyze" blocks "$work/mid.ppm" 0 0 640 480)
[ "$broken" = 0 ] || fail "$broken places where the picture is not made of 2 x 2 blocks"
read -r entry count < <(python3 "$analyze" table "$work/mid.ppm" 16 16 340 64)
[ "$entry" -ge 0 ] && [ "$count" -ge 60 ] ||
    fail "no overlay text in a table colour near the top-left (entry $entry, $count pixels)"
bytes=$(stat -c %s "$work/audio.raw")
[ "$bytes" -gt 100000 ] || fail "only $bytes bytes of sound reached the device"
nonzero=$(od -An -tx1 -v "$work/audio.raw" | tr -s ' ' '\n' | grep -vc '^00$\|^$' || true)
[ "$nonzero" -gt 10000 ] || fail "the sound is silence"
echo "intro play: ok (${elapsed}s of ${length}s, frame $frame, colour entry $entry over" \
    "$count pixels, $bytes bytes of sound)"
