#!/usr/bin/env bash
# The screen on a real X server: the overlay text in an Xvfb screenshot is pixel for pixel
# what the framebuffer holds; a message box shows up over it, answers to the keyboard and
# leaves the covered pixels as they were.
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
echo "screen pixels: ok"
