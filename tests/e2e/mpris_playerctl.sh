#!/usr/bin/env bash
# The intro as a media player on a private session bus, driven by playerctl and gdbus:
# - it is listed; status, metadata (title, length) and position read back; both media-player
#   interfaces are introspected.
# - pause holds the picture and the position; play goes on from the paused frame; play-pause
#   works both ways; stop shows frame 0; open with the movie's file URI restarts it and any
#   other URI is refused.
# - a status follower hears of changes made through vrelctl, and of the movie's end.
# - Quit ends the run with exit code 0.
if [ -z "${VREL_E2E_PRIVATE_BUS:-}" ]; then
    VREL_E2E_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2>&1
fi
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 640x480x24

pc() {
    playerctl -p vrelintro "$@"
}
# wait_for_status WANTED: until playerctl reads it (commands are posted, not waited for).
wait_for_status() {
    local deadline=$((SECONDS + 10)) status=
    until status=$(pc status 2>&1) && [ "$status" = "$1" ]; do
        [ $SECONDS -lt $deadline ] || fail "status $status, not $1"
        sleep 0.05
    done
}
# followed_at_least COUNT STATUS: the follower has printed STATUS COUNT times.
followed_at_least() {
    local deadline=$((SECONDS + 10))
    until [ "$(grep -c "^$2\$" "$follow")" -ge "$1" ]; do
        [ $SECONDS -lt $deadline ] || fail "the follower saw $2 fewer than $1 times: $(tr '\n' ' ' <"$follow")"
        sleep 0.05
    done
}
start_player() {
    start_intro "$@"
    local deadline=$((SECONDS + 10))
    until playerctl -l 2>/dev/null | grep -qx "vrelintro.instance$intro_pid"; do
        [ $SECONDS -lt $deadline ] || fail "playerctl -l: $(playerctl -l 2>&1); $(cat "$work/intro.err")"
        sleep 0.05
    done
    follow=$work/follow.$intro_pid.txt
    pc --follow status >"$follow" 2>/dev/null &
    pids+=($!)
    followed_at_least 1 Playing
}
# still_for WHAT: two screenshots a second apart are the same, and so is the position.
still_for() {
    local before after
    screenshot_ppm "$work/still1.ppm"
    before=$(pc position)
    sleep 1
    screenshot_ppm "$work/still2.ppm"
    after=$(pc position)
    [ "$(pixels_differing "$work/still1.ppm" "$work/still2.ppm")" = 0 ] || fail "$1: the picture moved"
    [ "$before" = "$after" ] || fail "$1: the position moved from $before to $after"
}

start_player --size 320x240 --fps 25 --seconds 30
bus=org.mpris.MediaPlayer2.vrelintro.instance$intro_pid
[ "$(pc status)" = Playing ] || fail "status at the start: $(pc status)"
[ "$(pc metadata xesam:title)" = vrelfi.dat ] || fail "title: $(pc metadata 2>&1)"
length=$(pc metadata mpris:length)
[ "$length" -ge 29900000 ] && [ "$length" -le 30100000 ] || fail "length $length µs, not 30 s"
gdbus introspect --session --dest "$bus" --object-path /org/mpris/MediaPlayer2 >"$work/introspect.txt"
grep -q "interface org.mpris.MediaPlayer2 {" "$work/introspect.txt" &&
    grep -q "interface org.mpris.MediaPlayer2.Player {" "$work/introspect.txt" ||
    fail "introspection: $(grep interface "$work/introspect.txt")"
first=$(pc position)
wait_for_frame_at_least 40
awk -v a="$first" -v b="$(pc position)" 'BEGIN { exit !(b > a) }' || fail "the position stood still while playing"

pc pause
wait_for_status Paused
followed_at_least 1 Paused
still_for "paused"
paused_frame=$(marker_of "$work/still2.ppm")
started=$EPOCHREALTIME
pc play
wait_for_status Playing
resumed=$(frame_now)
[ "$resumed" -ge "$paused_frame" ] && [ "$resumed" -le $((paused_frame + $(frames_since "$started"))) ] ||
    fail "paused at frame $paused_frame, after play the screen shows frame $resumed"
pc play-pause
wait_for_status Paused
pc play-pause
wait_for_status Playing

"$vrelctl" pause
followed_at_least 2 Paused
"$vrelctl" start
followed_at_least 3 Playing

pc stop
wait_for_status Stopped
followed_at_least 1 Stopped
deadline=$((SECONDS + 10))
until [ "$(frame_now)" = 0 ]; do
    [ $SECONDS -lt $deadline ] || fail "stop shows frame $(frame_now), not 0"
    sleep 0.05
done
[ "$(pc position)" = 0.000000 ] || fail "position after stop: $(pc position)"

pc open "file:///etc/passwd" 2>"$work/refused.txt" && fail "another file was opened"
grep -q InvalidArgs "$work/refused.txt" || fail "open of another file: $(cat "$work/refused.txt")"
pc play
wait_for_frame_at_least 30
started=$EPOCHREALTIME
pc open "file://$work/play/vrelfi.dat"
reopened=$(frame_now)
deadline=$((SECONDS + 10))
until [ "$reopened" -ge 0 ] && [ "$reopened" -le "$(frames_since "$started")" ]; do
    [ $SECONDS -lt $deadline ] || fail "open did not restart the movie: frame $reopened"
    reopened=$(frame_now)
done

gdbus call --session --dest "$bus" --object-path /org/mpris/MediaPlayer2 \
    --method org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit was refused"
status=0
wait "$intro_pid" || status=$?
[ "$status" = 0 ] || fail "after Quit the intro exited with $status: $(cat "$work/intro.err")"

# A short movie played to its end: the follower hears it stop.
start_player --size 160x120 --fps 25 --seconds 4
status=0
wait "$intro_pid" || status=$?
[ "$status" = 0 ] || fail "at the end the intro exited with $status: $(cat "$work/intro.err")"
followed_at_least 1 Stopped
echo "mpris with playerctl: ok (paused at $paused_frame, resumed at $resumed, reopened at $reopened)"
