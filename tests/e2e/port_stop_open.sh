#!/usr/bin/env bash
# Stop, Start after Stop and Open from outside, through vrelctl only: Stop shows the first
# frame with the text in the next colour; Start after Stop opens the file again (a new movie
# put in its place shows up) and plays it from the beginning; Open while playing restarts
# from frame 0 with never more than one soundtrack.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 640x480x24
start_intro --size 320x240 --fps 25 --seconds 30
wait_for_frame_at_least 30

# From Paused nothing is presented, so the colour before Stop is known exactly.
ctl pause
sleep 0.3
screenshot_ppm "$work/paused.ppm"
paused_colour=$(colour_of "$work/paused.ppm")
ctl stop
sleep 0.3
screenshot_ppm "$work/stopped.ppm"
[ "$(marker_of "$work/stopped.ppm")" = 0 ] ||
    fail "after Stop the screen shows frame $(marker_of "$work/stopped.ppm"), not 0"
[ "$(colour_step "$work/paused.ppm" "$work/stopped.ppm")" = 1 ] ||
    fail "paused in colour $paused_colour, Stop drew colour $(colour_of "$work/stopped.ppm")"
ctl stop
sleep 0.3
screenshot_ppm "$work/stopped2.ppm"
[ "$(marker_of "$work/stopped2.ppm")" = 0 ] || fail "a second Stop left frame 0"
[ "$(colour_step "$work/stopped.ppm" "$work/stopped2.ppm")" = 1 ] ||
    fail "a second Stop did not step the colour once"

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
ctl start
sleep 0.6
screenshot_ppm "$work/restarted.ppm"
restarted=$(marker_of "$work/restarted.ppm")
[ "$restarted" -ge 0 ] && [ "$restarted" -le 30 ] ||
    fail "0.6 s after Start from Stopped the screen shows frame $restarted"
broken=$(python3 "$analyze" blocks "$work/restarted.ppm" 0 0 640 480)
[ "$broken" -gt 1000 ] || fail "Start after Stop still shows the old movie ($broken)"

# Open while playing: back to frame 0, and at no time two soundtracks.
wait_for_frame_at_least 60
[ "$(soundtracks)" = 1 ] || fail "$(soundtracks) soundtracks while playing"
ctl open
most=0
for _ in $(seq 40); do
    count=$(soundtracks)
    [ "$count" -gt "$most" ] && most=$count
    sleep 0.02
done
reopened=$(frame_now)
[ "$reopened" -ge 0 ] && [ "$reopened" -le 40 ] ||
    fail "about 1 s after Open the screen shows frame $reopened"
[ "$most" -le 1 ] || fail "$most soundtracks at once after Open"
[ "$(soundtracks)" = 1 ] || fail "$(soundtracks) soundtracks after Open"

exit_intro
echo "port stop/open: ok (colour $paused_colour before Stop, restart at $restarted," \
    "open at $reopened)"
