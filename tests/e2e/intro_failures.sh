#!/usr/bin/env bash
# Movies the intro cannot play: the message box shows (and is echoed on standard error), a
# real key press answers it, and the intro exits 0.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24

# run_failing DIR EXPECTED-TEXT: starts the intro in DIR, waits for the box, presses Enter.
run_failing() {
    local dir=$1 text=$2
    cd "$dir"
    SDL_AUDIODRIVER=dummy "$intro" >"$dir/out.txt" 2>"$dir/err.txt" &
    local pid=$!
    pids+=($pid)
    wait_for_line "$dir/err.txt" "\[Error\] $text"
    sleep 0.3
    screenshot_ppm "$dir/box.ppm"
    local changed
    changed=$(/usr/bin/convert "$dir/box.ppm" -fill black -opaque black -format '%[fx:mean]' info:)
    [ "$changed" != 0 ] || fail "nothing on the screen for '$text'"
    xdotool key Return
    local status=0
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "exit code $status after '$text'"
    [ "$(grep -cE '^\[(Error|Quit|About)\] ' "$dir/err.txt")" = 1 ] || fail "more than one box: $(cat "$dir/err.txt")"
}

mkdir -p "$work/missing" "$work/large" "$work/soundonly" "$work/garbage"
run_failing "$work/missing" "File format not supported."
grep -q "vrelfi.dat: No such file or directory" "$work/missing/err.txt" ||
    fail "the cause of the missing file is not on standard error: $(cat "$work/missing/err.txt")"
/usr/bin/convert "$work/missing/box.ppm" "${VREL_E2E_KEEP:-$work}/intro_missing_movie.png" 2>/dev/null || true

head -c 100000 /dev/urandom >"$work/garbage/vrelfi.dat"
run_failing "$work/garbage" "File format not supported."

make_movie "$work/large/vrelfi.dat" --size 800x600 --seconds 1
run_failing "$work/large" "Initialization failure in InitRenderToSurface"

make_movie "$work/soundonly/vrelfi.dat" --no-video --seconds 1
run_failing "$work/soundonly" "Initialization failure in InitRenderToSurface"
echo "intro failures: ok"
