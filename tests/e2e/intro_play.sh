#!/usr/bin/env bash
# The intro on a 640 × 480 Xvfb screen plays a 3-second 320 × 240 movie by itself, stretched
# to the whole screen in 2 × 2 blocks with the overlay text in a colour of the hue cycle,
# and exits 0 when the movie ends.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
mkdir -p "$work/play"
make_movie "$work/play/vrelfi.dat" --size 320x240 --seconds 3

cd "$work/play"
start=$SECONDS
SDL_AUDIODRIVER=dummy "$intro" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
pids+=($pid)
sleep 1.5
screenshot_ppm "$work/mid.ppm"
/usr/bin/convert "$work/mid.ppm" "${VREL_E2E_KEEP:-$work}/intro_mid_play.png" 2>/dev/null || true
status=0
wait "$pid" || status=$?
elapsed=$((SECONDS - start))
[ "$status" = 0 ] || fail "exit code $status; stderr: $(cat "$work/err.txt")"
[ "$elapsed" -ge 2 ] && [ "$elapsed" -le 7 ] || fail "played for ${elapsed}s, expected about 3"
! grep -qE '^\[(Error|Quit|About)\] ' "$work/err.txt" || fail "a message box came up: $(cat "$work/err.txt")"

broken=$(python3 "$analyze" blocks "$work/mid.ppm" 0 0 640 480)
[ "$broken" = 0 ] || fail "$broken places where the picture is not made of 2 x 2 blocks"
read -r entry count < <(python3 "$analyze" table "$work/mid.ppm" 16 16 340 64)
[ "$entry" -ge 0 ] && [ "$count" -ge 60 ] ||
    fail "no overlay text in a table colour near the top-left (entry $entry, $count pixels)"
frame=$("$build/tests/programs/read_marker" "$work/mid.ppm")
[ "$frame" -ge 10 ] && [ "$frame" -le 70 ] || fail "mid-play frame marker reads $frame"
echo "intro play: ok (${elapsed}s, frame $frame, colour entry $entry over $count pixels)"
