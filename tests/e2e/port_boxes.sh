#!/usr/bin/env bash
# The intro's message boxes driven from outside, through vrelctl only: About is on screen
# and OK lets playback go on; Exit asks "Quit the Program?", No changes nothing, and Yes,
# given by another vrelctl while `vrelctl --send exit` waits, ends the intro with exit code
# 0 and removes its socket.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 640x480x24
start_intro --size 320x240 --fps 25 --seconds 40

# About: the box is on screen; OK closes it and playback goes on.
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
first=$(frame_now)
sleep 0.5
second=$(frame_now)
[ "$second" -gt "$first" ] || fail "after About and OK playback stands still ($first, $second)"
box_on_screen "$work/now.ppm" && fail "the About box is still drawn"

# Exit: the "Quit the Program?" box; No changes nothing.
ctl exit
wait_for_box Quit
"$vrelctl" list | grep -q 'text="Quit the Program?" buttons=yesno' ||
    fail "the Exit box: $("$vrelctl" list)"
screenshot_ppm "$work/quit.ppm"
box_on_screen "$work/quit.ppm" || fail "the Quit box is not on screen"
ctl answer no
sleep 0.3
no_box_listed || fail "the Quit box is still open after No"
first=$(frame_now)
sleep 0.5
second=$(frame_now)
[ "$second" -gt "$first" ] || fail "after Exit and No playback stands still ($first, $second)"
kill -0 "$intro_pid" || fail "the intro ended after No"

# --send exit waits for the box's answer, which another vrelctl gives: Yes ends the intro.
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
echo "port boxes: ok"
