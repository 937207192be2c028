#!/usr/bin/env bash
# The real intro's socket over its life: SIGTERM ends the intro with exit code 0 and removes
# the socket; kill -9 leaves it, and the next intro (or vrelctl) removes it; two intros at
# once are told apart by pid; a reader of its output that goes away does not end it; losing
# the X server ends it with exit code 1, one line about it and no socket left.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"
start_xvfb 640x480x24
sockets=$XDG_RUNTIME_DIR/vrelintro

# killed_intro: starts an intro, kills it with SIGKILL once its port is open and prints its
# pid; the socket stays behind (nothing can remove it).
killed_intro() {
    (cd "$work/play" && exec "$intro") >/dev/null 2>&1 &
    local pid=$!
    wait_for_port "$pid"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    [ -S "$sockets/$pid.sock" ] || fail "kill -9 removed the socket (it cannot)"
    echo "$pid"
}

# SIGTERM: WM_CLOSE, teardown, exit code 0, no socket left.
start_intro --size 320x240 --fps 25 --seconds 30
kill -TERM "$intro_pid"
status=0
wait "$intro_pid" || status=$?
[ "$status" = 0 ] || fail "after SIGTERM the intro exited with $status"
[ ! -e "$sockets/$intro_pid.sock" ] || fail "SIGTERM left the socket behind"

# kill -9: the socket stays; vrelctl does not take it for a running intro and removes it.
killed=$(killed_intro)
"$vrelctl" list >/dev/null 2>"$work/list.txt" && fail "vrelctl listed a killed intro"
grep -q "no intro is running" "$work/list.txt" || fail "vrelctl list: $(cat "$work/list.txt")"
[ ! -e "$sockets/$killed.sock" ] || fail "vrelctl left the stale socket"

# Again, and this time the next intro removes it when it starts.
killed=$(killed_intro)
start_intro --size 320x240 --fps 25 --seconds 30
[ ! -e "$sockets/$killed.sock" ] || fail "the next intro left the stale socket"
first=$intro_pid

# A second intro at the same time: vrelctl needs --pid and reaches the one it names.
(cd "$work/play" && exec "$intro") >/dev/null 2>&1 &
second=$!
pids+=("$second")
wait_for_port "$second"
[ "$("$vrelctl" list | grep -c ' window ')" = 2 ] || fail "list: $("$vrelctl" list)"
"$vrelctl" pause 2>"$work/both.txt" && fail "vrelctl chose one of two intros by itself"
grep -q "several intros are running" "$work/both.txt" || fail "$(cat "$work/both.txt")"
ctl --pid "$second" about
for _ in $(seq 100); do
    "$vrelctl" list | grep -q "^$second box" && break
    sleep 0.05
done
"$vrelctl" list | grep -q "^$second box caption=\"About\"" || fail "list: $("$vrelctl" list)"
"$vrelctl" list | grep -q "^$first box" && fail "the About box opened in the wrong intro"
ctl --pid "$second" answer ok
kill -TERM "$second"
wait "$second" || fail "the second intro exited with $?"
exit_intro

# Standard error into `head -c 1`: the second box's line goes to a closed pipe (SIGPIPE).
(cd "$work/play" && exec "$intro" 2> >(head -c 1 >/dev/null)) >/dev/null &
intro_pid=$!
pids+=("$intro_pid")
wait_for_port "$intro_pid"
for _ in 1 2; do
    ctl about
    wait_for_box About
    ctl answer ok
    until no_box_listed; do sleep 0.05; done
done
kill -0 "$intro_pid" 2>/dev/null || fail "a closed standard error ended the intro"
exit_intro

# The X server goes away mid-play.
start_intro --size 320x240 --fps 25 --seconds 30
kill -KILL "$XVFB_PID"
status=0
wait "$intro_pid" || status=$?
[ "$status" = 1 ] || fail "without its display the intro exited with $status"
[ "$(grep -ciE 'display|X server|X connection|XIO' "$work/intro.err")" = 1 ] || fail "$(cat "$work/intro.err")"
grep -q "the display went away" "$work/intro.err" || fail "$(cat "$work/intro.err")"
[ ! -e "$sockets/$intro_pid.sock" ] || fail "losing the display left the socket behind"
echo "port signals: ok"
