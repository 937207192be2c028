#!/usr/bin/env bash
# The six commands from outside, through vrelctl only, on one run of the intro:
# - Pause shows one still frame and idles; a command with a non-zero high word and an About
#   box answered with OK leave it paused; Start goes on from the paused frame.
# - About while playing: the box is on screen, only its own button answers it, and playback
#   goes on; Exit asks "Quit the Program?" and No changes nothing.
# - Stop shows the first frame with the text in the next colour; Start after Stop opens the
#   file again (a new movie put in its place shows up); Open while playing restarts from
#   frame 0 with never more than one soundtrack.
# - `vrelctl --send exit` waits for the box's answer, which another vrelctl gives: Yes ends
#   the intro with exit code 0 and removes its socket.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 640x480x24
start_intro --size 320x240 --fps 25 --seconds 40

# still_since FILE WHAT: the screen now is FILE's picture, pixel for pixel.
still_since() {
    screenshot_ppm "$work/still.ppm"
    local moved
    moved=$(pixels_differing "$1" "$work/still.ppm")
    [ "$moved" = 0 ] || fail "$2: the paused picture changed in $moved pixels"
}
# moving WHAT: the frame marker advances.
moving() {
    local first second
    first=$(frame_now)
    sleep 0.5
    second=$(frame_now)
    [ "$second" -gt "$first" ] || fail "$1: playback stands still ($first, $second)"
}
# about_answered_ok: About comes up on screen, Yes is refused, OK closes it.
about_answered_ok() {
    ctl about
    wait_for_box About
    sleep 0.2
    screenshot_ppm "$work/about.ppm"
    box_on_screen "$work/about.ppm" || fail "the About box is not on screen"
    "$vrelctl" answer yes 2>"$work/wrong.txt" && fail "Yes answered an OK box"
    grep -q "no-button" "$work/wrong.txt" || fail "answer yes to About: $(cat "$work/wrong.txt")"
    ctl answer ok
    sleep 0.3
    no_box_listed || fail "the About box is still open after OK"
}

# Pause well into the movie, so a restart could not pass for a resume.
wait_for_frame_at_least 40
ctl pause
sleep 0.3
screenshot_ppm "$work/paused.ppm"
before=$(cpu_ticks)
sleep 2
used=$(($(cpu_ticks) - before))
still_since "$work/paused.ppm" "2 s paused"
ticks_per_second=$(getconf CLK_TCK)
[ "$used" -le $((ticks_per_second / 20)) ] ||
    fail "paused for 2 s the intro used $used ticks of CPU (at most $((ticks_per_second / 20)))"
paused_frame=$(marker_of "$work/paused.ppm")
[ "$paused_frame" -gt 0 ] || fail "no frame marker on the paused picture ($paused_frame)"
ctl raw WM_COMMAND 0x000103E9  # Open with a high word: nothing
sleep 0.5
still_since "$work/paused.ppm" "WM_COMMAND 0x000103E9"
about_answered_ok
sleep 0.5
still_since "$work/paused.ppm" "About and OK"
started=$EPOCHREALTIME
ctl start
sleep 0.4
resumed=$(frame_now)
most=$((paused_frame + $(frames_since "$started")))
[ "$resumed" -ge "$paused_frame" ] && [ "$resumed" -le "$most" ] ||
    fail "paused at frame $paused_frame, after Start the screen shows frame $resumed"
ctl raw WM_COMMAND 0x000103E9
moving "WM_COMMAND 0x000103E9 while playing"

about_answered_ok
moving "About and OK"
box_on_screen "$work/still.ppm" && fail "the About box is still drawn"
ctl exit
wait_for_box Quit
"$vrelctl" list | grep -q 'text="Quit the Program?" buttons=yesno' ||
    fail "the Exit box: $("$vrelctl" list)"
ctl answer no
sleep 0.3
no_box_listed || fail "the Quit box is still open after No"
moving "Exit and No"

# From Paused nothing is presented, so the colour before Stop is known exactly.
ctl pause
sleep 0.3
screenshot_ppm "$work/paused.ppm"
paused_colour=$(colour_of "$work/paused.ppm")
for round in 1 2; do
    ctl stop
    sleep 0.3
    screenshot_ppm "$work/stopped.ppm"
    [ "$(marker_of "$work/stopped.ppm")" = 0 ] ||
        fail "after Stop $round the screen shows frame $(marker_of "$work/stopped.ppm"), not 0"
    [ "$(colour_step "$work/paused.ppm" "$work/stopped.ppm")" = 1 ] ||
        fail "Stop $round did not step the colour once from $(colour_of "$work/paused.ppm")"
    mv "$work/stopped.ppm" "$work/paused.ppm"
done

# Start after Stop from Playing opens the file again: put another movie (640 x 480, so
# not made of 2 x 2 blocks) in its place first.
ctl start
wait_for_frame_at_least 20
ctl stop
sleep 0.3
[ "$(frame_now)" = 0 ] || fail "Stop from Playing did not show frame 0"
[ "$(python3 "$analyze" blocks "$work/now.ppm" 0 0 640 480)" = 0 ] ||
    fail "the 320 x 240 movie is not stretched in 2 x 2 blocks"
make_movie "$work/play/next.dat" --size 640x480 --fps 25 --seconds 12 --picture plasma
mv "$work/play/next.dat" "$work/play/vrelfi.dat"
started=$EPOCHREALTIME
ctl start
sleep 0.6
screenshot_ppm "$work/restarted.ppm"
restarted=$(marker_of "$work/restarted.ppm")
[ "$restarted" -ge 0 ] && [ "$restarted" -le "$(frames_since "$started")" ] ||
    fail "after Start from Stopped the screen shows frame $restarted"
broken=$(python3 "$analyze" blocks "$work/restarted.ppm" 0 0 640 480)
[ "$broken" -gt 1000 ] || fail "Start after Stop still shows the old movie ($broken)"

wait_for_frame_at_least 60
[ "$(soundtracks)" = 1 ] || fail "$(soundtracks) soundtracks while playing"
ctl open
# Sound threads counted over the next moment while the restart is looked for: a busy
# machine may stretch either, so neither waits on the other.
for _ in $(seq 40); do
    soundtracks && sleep 0.02
done >"$work/counts.txt" &
counter=$!
reopened=$(frame_now)
deadline=$((SECONDS + 10))
until [ "$reopened" -ge 0 ] && [ "$reopened" -le 40 ]; do
    [ $SECONDS -lt $deadline ] || fail "Open did not restart the movie: frame $reopened"
    reopened=$(frame_now)
done
wait "$counter"
most=$(sort -n "$work/counts.txt" | tail -1)
[ "$most" -le 1 ] || fail "$most soundtracks at once after Open"
[ "$(soundtracks)" = 1 ] || fail "$(soundtracks) soundtracks after Open"

"$vrelctl" --send exit >"$work/send.out" 2>"$work/send.err" &
sender=$!
wait_for_box Quit
kill -0 "$sender" 2>/dev/null || fail "vrelctl --send exit did not wait: $(cat "$work/send.err")"
ctl answer yes
status=0
wait "$sender" || status=$?
[ "$status" = 0 ] || fail "vrelctl --send exit ended with $status: $(cat "$work/send.err")"
[ "$(cat "$work/send.out")" = 0 ] || fail "the window procedure's result: $(cat "$work/send.out")"
status=0
wait "$intro_pid" || status=$?
[ "$status" = 0 ] || fail "the intro exited with $status"
[ ! -e "$XDG_RUNTIME_DIR/vrelintro/$intro_pid.sock" ] || fail "the socket outlived the intro"
"$vrelctl" pause 2>"$work/gone.txt" && fail "vrelctl found an intro after it ended"
grep -q "no intro is running" "$work/gone.txt" || fail "with no intro: $(cat "$work/gone.txt")"
echo "port commands: ok (paused at $paused_frame using $used ticks in 2 s, resumed at" \
    "$resumed, colour $paused_colour before Stop, restart at $restarted, open at $reopened)"
