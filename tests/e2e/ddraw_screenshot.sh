#!/usr/bin/env bash
# DirectDraw on a real X server: a 320 x 240 picture blitted onto the primary through a
# clipper on a full-screen window reaches the screen by the blit alone (nothing else
# presents), stretched into 2 x 2 blocks, pixel for pixel the framebuffer, and the window
# above part of it keeps the black it had.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
tests=$build/tests/test_ddraw
probe_dir=$work/probe
mkdir -p "$probe_dir"

VREL_SCREEN=fullscreen VREL_DDRAW_PROBE=$probe_dir SDL_AUDIODRIVER=dummy \
    "$tests" --gtest_filter=ScreenProbe.BlitShowsOnTheRealScreen >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
pids+=($pid)
wait_for_line "$work/out.txt" '^drawn'
screenshot_ppm "$work/shot.ppm"
touch "$probe_dir/done"
wait "$pid" || fail "probe failed: $(cat "$work/out.txt" "$work/err.txt")"
grep -q '\[  SKIPPED \]' "$work/out.txt" && fail "the probe found no real screen: $(cat "$work/err.txt")"
/usr/bin/convert "$work/shot.ppm" "${VREL_E2E_KEEP:-$work}/ddraw_blit.png" 2>/dev/null || true

differ=$(python3 "$analyze" same "$work/shot.ppm" "$probe_dir/framebuffer.ppm")
[ "$differ" = 0 ] || fail "screenshot and framebuffer differ in $differ pixels"
broken=$(python3 "$analyze" blocks "$work/shot.ppm" 0 0 640 300)
[ "$broken" = 0 ] || fail "$broken places above the covering window are not 2 x 2 blocks"
[ "$(pixel_at "$work/shot.ppm" 480 350)" = 000000 ] || fail "the covering window was drawn over"
[ "$(pixel_at "$work/shot.ppm" 100 100)" != 000000 ] || fail "no picture on the screen"
echo "ddraw screenshot: ok"
