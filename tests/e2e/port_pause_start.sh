#!/usr/bin/env bash
# Pause and Start from outside, through vrelctl only: a paused intro shows one still frame
# and uses almost no CPU; a command with a non-zero high word, and an About box answered
# with OK, leave it paused; Start goes on from the paused frame.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 640x480x24
start_intro --size 320x240 --fps 25 --seconds 40

# Pause well into the movie, so a restart could not pass for a resume.
wait_for_frame_at_least 40
# Pause: two screenshots a second apart are identical, and the process idles.
ctl pause
sleep 0.3
screenshot_ppm "$work/paused1.ppm"
before=$(cpu_ticks)
sleep 1
screenshot_ppm "$work/paused2.ppm"
sleep 1
used=$(($(cpu_ticks) - before))
moved=$(pixels_differing "$work/paused1.ppm" "$work/paused2.ppm")
[ "$moved" = 0 ] || fail "the paused picture changed in $moved pixels"
ticks_per_second=$(getconf CLK_TCK)
[ "$used" -le $((ticks_per_second / 20)) ] ||
    fail "paused for 2 s the intro used $used ticks of CPU (at most $((ticks_per_second / 20)))"
paused_frame=$(marker_of "$work/paused1.ppm")
[ "$paused_frame" -gt 0 ] || fail "no frame marker on the paused picture ($paused_frame)"

# WM_COMMAND 0x000103E9 (Open with a high word) does nothing.
ctl raw WM_COMMAND 0x000103E9
sleep 0.5
screenshot_ppm "$work/highword.ppm"
moved=$(pixels_differing "$work/paused1.ppm" "$work/highword.ppm")
[ "$moved" = 0 ] || fail "WM_COMMAND 0x000103E9 changed $moved pixels of the paused picture"

# About while paused: the box comes up over the still picture; OK puts the picture back and
# the intro stays paused.
ctl about
wait_for_box About
sleep 0.2
screenshot_ppm "$work/about.ppm"
box_on_screen "$work/about.ppm" || fail "the About box is not on screen"
ctl answer ok
sleep 0.2
no_box_listed || fail "the About box is still open"
sleep 0.8
screenshot_ppm "$work/after_about.ppm"
moved=$(pixels_differing "$work/paused1.ppm" "$work/after_about.ppm")
[ "$moved" = 0 ] || fail "after About and OK the paused picture changed in $moved pixels"

# Start: playback goes on from the paused frame (or the next), not from the beginning.
ctl start
sleep 0.4
resumed=$(frame_now)
[ "$resumed" -ge "$paused_frame" ] && [ "$resumed" -le $((paused_frame + 25)) ] ||
    fail "paused at frame $paused_frame, 0.4 s after Start the screen shows frame $resumed"

# The high-word command while playing changes nothing either: no restart, no pause.
ctl raw WM_COMMAND 0x000103E9
sleep 0.5
later=$(frame_now)
[ "$later" -gt "$resumed" ] || fail "after WM_COMMAND 0x000103E9 frame $later follows $resumed"

exit_intro
echo "port pause/start: ok (paused at $paused_frame using $used ticks in 2 s, resumed at $resumed)"
