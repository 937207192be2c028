#!/usr/bin/env bash
# On a Wayland compositor (weston nested in Xvfb): the intro's picture reaches weston's
# output through SDL's Wayland driver and, through XWayland, from a window that covers the
# whole output; the graphics card's path (forced, on Mesa's software OpenGL) shows it too;
# every run plays to the end and exits 0.
source "$(dirname "$0")/lib.sh"
start_xvfb 1280x800x24
export SDL_AUDIODRIVER=dummy
weston --backend=x11-backend.so --use-pixman --idle-time=0 --width=1024 --height=768 \
    --socket=vrel-wayland --xwayland --log="$work/weston.log" >/dev/null 2>&1 &
pids+=($!)
# weston makes its socket before it starts XWayland: wait for both.
xwayland=
for _ in $(seq 200); do
    xwayland=$(grep -o 'listening on display :[0-9]*' "$work/weston.log" 2>/dev/null |
        grep -o ':[0-9]*' || true)
    [ -S "$XDG_RUNTIME_DIR/vrel-wayland" ] && [ -n "$xwayland" ] && break
    sleep 0.05
done
[ -S "$XDG_RUNTIME_DIR/vrel-wayland" ] || fail "weston did not start: $(cat "$work/weston.log")"
[ -n "$xwayland" ] || fail "weston started no XWayland: $(cat "$work/weston.log")"
output=$(xwininfo -root -tree | awk '/"Weston Compositor/ {print $1; exit}')
[ -n "$output" ] || fail "no window of weston's on Xvfb"
mkdir -p "$work/play"
make_movie "$work/play/vrelfi.dat" --seconds 6

# play_on NAME ENV...: plays the movie with these settings; the frame marker must be read
# from weston's output (1024 × 768, 4:3: the picture fills it) while it plays.
play_on() {
    local name=$1 frame=-1 status=0
    shift
    (cd "$work/play" && exec env "$@" "$intro") >/dev/null 2>"$work/$name.err" &
    local pid=$!
    pids+=("$pid")
    while kill -0 "$pid" 2>/dev/null; do
        /usr/bin/import -window "$output" -depth 8 "ppm:$work/$name.ppm" 2>/dev/null || continue
        frame=$("$build/tests/programs/read_marker" "$work/$name.ppm")
        [ "$frame" -ge 25 ] && break
        sleep 0.2
    done
    [ "$frame" -ge 25 ] || fail "$name: no moving picture on weston's output: $(cat "$work/$name.err")"
    [ "$name" = xwayland ] && covers_output "$pid"
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "$name: the intro exited with $status: $(cat "$work/$name.err")"
}

covers_output() {
    local window geometry
    window=$(DISPLAY=$xwayland xdotool search --pid "$1" | head -1)
    geometry=$(DISPLAY=$xwayland xwininfo -id "$window" |
        awk '/Absolute upper-left [XY]|Width|Height/ {printf "%s ", $NF}')
    [ "$geometry" = "0 0 1024 768 " ] || fail "under XWayland the window is at $geometry"
}

play_on wayland SDL_VIDEODRIVER=wayland WAYLAND_DISPLAY=vrel-wayland
play_on xwayland DISPLAY="$xwayland"
play_on wayland_gpu SDL_VIDEODRIVER=wayland WAYLAND_DISPLAY=vrel-wayland VREL_RENDER=gpu \
    VREL_TRACE="$work/trace"
grep -q "scaling on the graphics card" "$work/wayland_gpu.err" ||
    fail "Wayland: not on the graphics card: $(cat "$work/wayland_gpu.err")"
