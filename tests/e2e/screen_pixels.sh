#!/usr/bin/env bash
# The screen on a real X server: the overlay text in an Xvfb screenshot is pixel for pixel
# what the framebuffer holds; a message box shows up over it, answers to the keyboard and
# leaves the covered pixels as they were; a DirectDraw blit through a clipper reaches the
# screen by itself (nothing else presents), stretched into 2 x 2 blocks, and leaves a window
# above part of it as it was.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
probe=$build/tests/programs/screen_probe

# 1. Text: the screenshot equals the framebuffer.
"$probe" "$work/fb.ppm" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
pids+=($pid)
wait_for_line "$work/out.txt" drawn
sleep 0.3
screenshot "$work/text.png"
diff=$(pixels_differing "$work/text.png" "$work/fb.ppm")
[ "$diff" = 0 ] || fail "screenshot and framebuffer differ in $diff pixels"
[ "$(pixel_at "$work/text.png" 0 0)" = 000000 ] || fail "background is not black"
/usr/bin/convert "$work/text.png" -crop 640x20+0+10 +repage -format '%[fx:maxima.b*255]' info: \
    >"$work/maxblue.txt"
[ "$(cut -d. -f1 "$work/maxblue.txt")" = 248 ] || fail "no full-blue glyph pixels: $(cat "$work/maxblue.txt")"
kill -TERM "$pid"
wait "$pid" || fail "probe exit code $?"

# 2. Message box: drawn over the window, Enter answers it, the pixels come back.
"$probe" "$work/fb2.ppm" box >"$work/out2.txt" 2>"$work/err2.txt" &
pid=$!
pids+=($pid)
wait_for_line "$work/err2.txt" "\[About\]"
sleep 0.5
screenshot "$work/box.png"
covered=$(pixels_differing "$work/box.png" "$work/fb2.ppm")
[ "$covered" -gt 20000 ] || fail "the box changed only $covered pixels"
cp "$work/box.png" "${VREL_E2E_KEEP:-$work}/message_box.png" 2>/dev/null || true
xdotool key Return
wait_for_line "$work/out2.txt" closed
grep -q "answer 1" "$work/out2.txt" || fail "Enter did not answer IDOK: $(cat "$work/out2.txt")"
sleep 0.3
screenshot "$work/after.png"
left=$(pixels_differing "$work/after.png" "$work/fb2.ppm")
[ "$left" = 0 ] || fail "$left pixels differ after the box closed"
kill -TERM "$pid"
wait "$pid" || fail "probe exit code $?"

# 3. DirectDraw: a 320 x 240 picture blitted onto the primary of a full-screen window.
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
echo "screen pixels: ok"
