# Shared pieces of the end-to-end checks that drive the real intro through vrelctl only:
# a private port directory, starting the intro on a movie from the movie maker, reading the
# frame marker and the overlay colour from screenshots, the intro's CPU time and how many
# soundtracks it plays. Sourced after lib.sh.

vrelctl=$build/tools/vrelctl/vrelctl
read_marker=$build/tests/programs/read_marker
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
intro_pid=

# Intros end before lib.sh's cleanup takes their X server away: an intro whose display
# vanishes under it may not come back from its exit.
end_intros_first() {
    local pid
    for pid in "${pids[@]}"; do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = vrelintro ] || continue
        kill -TERM "$pid" 2>/dev/null
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2>/dev/null || true
    done
    cleanup
}
trap end_intros_first EXIT

ctl() {
    "$vrelctl" "$@" || fail "vrelctl $* failed with exit code $?"
}

# start_intro [vrelmovie options...]: makes $work/play/vrelfi.dat, starts the intro there and
# waits until it plays (its port answers and the frame marker moves).
start_intro() {
    mkdir -p "$work/play"
    make_movie "$work/play/vrelfi.dat" "$@"
    (cd "$work/play" && exec "$intro") >"$work/intro.out" 2>"$work/intro.err" &
    intro_pid=$!
    pids+=("$intro_pid")
    wait_for_port "$intro_pid"
    wait_for_frame_at_least 5
}

# wait_for_port PID: until the intro's socket is there (it fails if the intro ends first).
wait_for_port() {
    local deadline=$((SECONDS + 20))
    until [ -S "$XDG_RUNTIME_DIR/vrelintro/$1.sock" ]; do
        [ $SECONDS -lt $deadline ] || fail "intro $1 opened no port: $(cat "$work/intro.err")"
        kill -0 "$1" 2>/dev/null || fail "intro $1 ended: $(cat "$work/intro.err")"
        sleep 0.05
    done
}

# The frame index on screen now (-1 when no marker can be read).
frame_now() {
    screenshot_ppm "$work/now.ppm"
    "$read_marker" "$work/now.ppm"
}

wait_for_frame_at_least() {
    local wanted=$1 deadline=$((SECONDS + 20)) frame=-1
    while [ $SECONDS -lt $deadline ]; do
        frame=$(frame_now)
        [ "$frame" -ge "$wanted" ] && return 0
        sleep 0.1
    done
    fail "the frame marker never reached $wanted (last $frame)"
}

marker_of() {
    "$read_marker" "$1"
}

# The colour-table entry of the overlay text in a screenshot.
colour_of() {
    local entry count
    read -r entry count < <(python3 "$analyze" table "$1" 16 16 340 64)
    [ "$count" -ge 60 ] || fail "no overlay text in a table colour in $1 ($count pixels)"
    echo "$entry"
}

# Steps through the colour cycle from the overlay colour of one screenshot to the next's.
colour_step() {
    python3 "$analyze" step "$1" "$2" 16 16 340 64
}

# Pixels of one colour (RRGGBB) in a screenshot.
count_colour() {
    /usr/bin/convert "$1" -fill black +opaque "#$2" -fill white -opaque "#$2" \
        -format '%[fx:round(mean*w*h)]' info:
}

# A message box on screen: its navy caption bar and grey face.
box_on_screen() {
    [ "$(count_colour "$1" 000080)" -gt 2000 ] && [ "$(count_colour "$1" C0C0C0)" -gt 5000 ]
}

# User plus system CPU time of the intro so far, in clock ticks.
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$intro_pid/stat"
}

# Sound devices the intro has open: SDL runs one audio thread for each.
soundtracks() {
    cat /proc/"$intro_pid"/task/*/comm 2>/dev/null | grep -c '^SDLAudio' || true
}

# Waits until `vrelctl list` shows a message box with this caption.
wait_for_box() {
    local caption=$1 deadline=$((SECONDS + 10))
    until "$vrelctl" list 2>/dev/null | grep -q "box caption=\"$caption\""; do
        [ $SECONDS -lt $deadline ] || fail "no \"$caption\" box: $("$vrelctl" list 2>&1)"
        sleep 0.05
    done
}

no_box_listed() {
    ! "$vrelctl" list | grep -q " box "
}

# Ends the intro through Exit and Yes and checks its exit code and that its socket is gone.
exit_intro() {
    ctl exit
    wait_for_box Quit
    ctl answer yes
    local status=0
    wait "$intro_pid" || status=$?
    [ "$status" = 0 ] || fail "the intro exited with $status: $(cat "$work/intro.err")"
    [ ! -e "$XDG_RUNTIME_DIR/vrelintro/$intro_pid.sock" ] || fail "the socket outlived the intro"
}
