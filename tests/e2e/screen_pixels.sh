#!/usr/bin/env bash
# The screen on a real X server: a message box shows up over the window, answers to the
# keyboard and leaves the covered pixels as they were; a DirectDraw blit through a clipper reaches the
# screen by itself (nothing else presents), stretched into 2 x 2 blocks, and leaves a window
# above part of it as it was. On every screen size the graphics card's path (forced on Mesa's
# software OpenGL) and the CPU's show the framebuffer (the overlay text pixel for pixel on
# 640 × 480), and a reset renderer hands over to the CPU.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
probe=$build/tests/programs/screen_probe

# 1. Message box: drawn over the window, Enter answers it, the pixels come back.
"$probe" "$work/fb2.ppm" box >"$work/out2.txt" 2>"$work/err2.txt" &
pid=$!
pids+=($pid)
wait_for_line "$work/err2.txt" "\[About\]"
sleep 0.5
screenshot_ppm "$work/box.ppm"
covered=$(pixels_differing "$work/box.ppm" "$work/fb2.ppm")
[ "$covered" -gt 20000 ] || fail "the box changed only $covered pixels"
/usr/bin/convert "$work/box.ppm" "${VREL_E2E_KEEP:-$work}/message_box.png" 2>/dev/null || true
xdotool key Return
wait_for_line "$work/out2.txt" closed
grep -q "answer 1" "$work/out2.txt" || fail "Enter did not answer IDOK: $(cat "$work/out2.txt")"
sleep 0.3
screenshot_ppm "$work/after.ppm"
left=$(pixels_differing "$work/after.ppm" "$work/fb2.ppm")
[ "$left" = 0 ] || fail "$left pixels differ after the box closed"
kill -TERM "$pid"
wait "$pid" || fail "probe exit code $?"

# 2. DirectDraw: a 320 x 240 picture blitted onto the primary of a full-screen window.
probe_dir=$work/probe
mkdir -p "$probe_dir"
VREL_SCREEN=fullscreen VREL_DDRAW_PROBE=$probe_dir SDL_AUDIODRIVER=dummy \
    "$build/tests/test_ddraw" --gtest_filter=ScreenProbe.BlitShowsOnTheRealScreen \
    >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
pids+=($pid)
wait_for_line "$work/out.txt" '^drawn'
screenshot_ppm "$work/shot.ppm"
touch "$probe_dir/done"
wait "$pid" || fail "probe failed: $(cat "$work/out.txt" "$work/err.txt")"
grep -q '\[  SKIPPED \]' "$work/out.txt" && fail "the probe found no real screen: $(cat "$work/err.txt")"
/usr/bin/convert "$work/shot.ppm" "${VREL_E2E_KEEP:-$work}/ddraw_blit.png" 2>/dev/null || true

differ=$(pixels_differing "$work/shot.ppm" "$probe_dir/framebuffer.ppm")
[ "$differ" = 0 ] || fail "screenshot and framebuffer differ in $differ pixels"
broken=$(python3 "$analyze" blocks "$work/shot.ppm" 0 0 640 300)
[ "$broken" = 0 ] || fail "$broken places above the covering window are not 2 x 2 blocks"
[ "$(pixel_at "$work/shot.ppm" 480 350)" = 000000 ] || fail "the covering window was drawn over"
[ "$(pixel_at "$work/shot.ppm" 100 100)" != 000000 ] || fail "no picture on the screen"
# 3. Scaling on both paths. settled_shot SHOT: the screen once the pattern has reached it
# (the window system shows a drawn picture a little later, through OpenGL later still, and
# under load later again): two screenshots in a row agree and the middle is not black.
settled_shot() {
    local previous=$work/previous.ppm middle
    screenshot_ppm "$previous"
    for _ in $(seq 40); do
        sleep 0.25
        screenshot_ppm "$1"
        middle=$(/usr/bin/identify -format '%[fx:int(w/2)] %[fx:int(h/2)]' "$1")
        # shellcheck disable=SC2086 # x and y
        if [ "$(pixels_differing "$1" "$previous")" = 0 ] &&
            [ "$(pixel_at "$1" $middle)" != 000000 ]; then
            return
        fi
        mv "$1" "$previous"
    done
    fail "the screen did not settle on the pattern within 10 s"
}
# probe_shot PATH MODE SHOT LINE: the pattern, on that path.
probe_shot() {
    VREL_RENDER=$1 VREL_TRACE=$work/trace "$probe" "$work/fb.ppm" "$2" >"$work/out.txt" \
        2>"$work/err.txt" &
    local pid=$!
    pids+=($pid)
    wait_for_line "$work/out.txt" "$4"
    settled_shot "$3"
    kill -TERM "$pid"
    wait "$pid" || fail "probe exit code $?: $(cat "$work/err.txt")"
    grep -qi "scaling on the ${1/gpu/graphics card}" "$work/err.txt" || fail "$1: $(cat "$work/err.txt")"
}
for size in 640x480 1280x960 1920x1080 3840x2160; do
    start_xvfb "${size}x24"
    probe_shot cpu pattern "$work/cpu.ppm" drawn
    probe_shot gpu pattern "$work/gpu.ppm" drawn
    height=${size#*x}
    factor=$((height / 480))
    if [ $((height % 480)) = 0 ]; then  # a whole factor: the framebuffer's pixels repeated
        /usr/bin/convert "$work/fb.ppm" -sample "$((factor * 100))%" "$work/blocks.ppm"
        for path in cpu gpu; do
            differ=$(pixels_differing "$work/$path.ppm" "$work/blocks.ppm")
            [ "$differ" = 0 ] || fail "$size, $path: $differ pixels are not whole-factor blocks"
        done
    else
        beyond=$(pixels_beyond "$work/cpu.ppm" "$work/gpu.ppm" 2)
        [ "$beyond" -le $((height * height * 4 / 3 / 1000)) ] ||
            fail "$size: the paths differ by more than 2 levels in $beyond pixels"
    fi
done
probe_shot cpu reset "$work/cpu.ppm" redrawn
probe_shot gpu reset "$work/gpu.ppm" redrawn
grep -q "renderer was reset; scaling on the CPU" "$work/err.txt" ||
    fail "no hand-over on a reset: $(cat "$work/err.txt")"
differ=$(pixels_differing "$work/cpu.ppm" "$work/gpu.ppm")
[ "$differ" = 0 ] || fail "after the reset $differ pixels differ from the CPU's picture"
echo "screen pixels: ok"
