#!/usr/bin/env bash
# Under a real window manager (openbox) on a 1920 × 1080 screen: the intro's window is full
# screen and above others in the window manager's sense and carries the program's title;
# another window taking focus holds the picture, and activation through the window manager
# (wmctrl, as a taskbar does) or Alt+Tab brings it back with no input event, round after
# round; About, Exit and their answers still work.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 1920x1080x24
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
    wmctrl -m >/dev/null 2>&1 && break
    sleep 0.05
done
wmctrl -m >/dev/null 2>&1 || fail "openbox did not start: $(cat "$work/openbox.log")"
xdotool mousemove 1900 1000  # the pointer away from the picture: no input reaches it
picture_crop=1440x1080+240+0
start_intro --size 320x240 --fps 25 --seconds 120

window=$(xdotool search --pid "$intro_pid" | head -1)
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN ||
    fail "not full screen: $(xprop -id "$window" _NET_WM_STATE)"
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not above others"
xprop -id "$window" WM_NAME | grep -qF '"Vrel Roru Intro by Tarrow/Senmar"' ||
    fail "title: $(xprop -id "$window" WM_NAME)"
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left [XY]|Width|Height/ {printf "%s ", $NF}')
[ "$geometry" = "0 0 1920 1080 " ] || fail "the window does not cover the screen: $geometry"

xterm -fn fixed -title other &
pids+=($!)
other=
for _ in $(seq 200); do
    other=$(xdotool search --name '^other$' 2>/dev/null | head -1 || true)
    [ -n "$other" ] && break
    sleep 0.05
done
[ -n "$other" ] || fail "the other window (xterm) did not show"

# The picture holds while another window has focus: one frame twice, half a second apart.
wait_until_held() {
    local before after deadline=$((SECONDS + 10))
    while [ $SECONDS -lt $deadline ]; do
        before=$(frame_now)
        sleep 0.5
        after=$(frame_now)
        [ "$before" = "$after" ] && [ "$before" -ge 0 ] && return 0
    done
    fail "the picture kept moving while another window had focus ($before, $after)"
}
# Moving again: the frame marker passes the held frame (a generous timeout against hangs).
wait_until_moving() {
    local held=$1 deadline=$((SECONDS + 10))
    until [ "$(frame_now)" -gt "$held" ]; do
        [ $SECONDS -lt $deadline ] || fail "$2: the picture stayed at frame $held"
    done
}
give_focus_away() {
    wmctrl -i -a "$other"
    wait_until_held
}

# How many windows on the root are shown and bypass the window manager: its own popups.
override_redirect_windows() {
    local w info
    for w in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        info=$(xwininfo -id "$w")
        if [[ $info == *"Override Redirect State: yes"* && $info == *IsViewable* ]]; then
            echo "$w"
        fi
    done | wc -l
}
alt_tab() {
    local shown deadline=$((SECONDS + 10))
    shown=$(override_redirect_windows)
    xdotool keydown alt keydown Tab
    until [ "$(override_redirect_windows)" -gt "$shown" ]; do
        [ $SECONDS -lt $deadline ] || fail "round $1: openbox showed no switcher on Alt+Tab"
        sleep 0.05
    done
    xdotool keyup Tab keyup alt
}
# active_within SECONDS: the window manager's active window is the intro's by then.
active_within() {
    local deadline=$((SECONDS + $1))
    until xprop -root _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$window")\$"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}
for round in 1 2 3; do
    give_focus_away
    held=$(frame_now)
    wmctrl -i -a "$window"
    wait_until_moving "$held" "round $round of wmctrl -a"
    give_focus_away
    held=$(frame_now)
    # As a person does it: Alt and Tab held until openbox shows its switcher (it has the
    # keyboard then), then let go. Now and then (1 run in about 10, on the first switch)
    # openbox still shows its switcher after that: Alt pressed and let go again ends it.
    alt_tab "$round"
    active_within 3 || { xdotool key alt && active_within 10; } ||
        fail "round $round: openbox did not switch on Alt+Tab:" \
            "$(xprop -root _NET_ACTIVE_WINDOW), intro $(printf '0x%x' "$window")," \
            "$(override_redirect_windows) popups, $(wmctrl -l)"
    wait_until_moving "$held" "round $round of Alt+Tab"
done

ctl about
wait_for_box About
screenshot_ppm "$work/about.ppm"
box_on_screen "$work/about.ppm" || fail "the About box is not on screen"
ctl answer ok
exit_intro
