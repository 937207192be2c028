#!/usr/bin/env bash
# Sets up the machine, builds the intro and plays it in the current directory.
# Makes the default vrelfi.dat here when there is none. Without a display (neither DISPLAY
# nor WAYLAND_DISPLAY set) it plays on a virtual X server (Xvfb) instead and leaves a
# screenshot taken mid-play, vrelintro-screenshot.png, in the current directory.
set -euo pipefail
here=$PWD
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" >"$root/build.configure.log" 2>&1 ||
    { cat "$root/build.configure.log"; exit 1; }
cmake --build "$root/build" -j"$(nproc)" --target vrelintro default_movie vrelctl 2>/dev/null ||
    cmake --build "$root/build" -j"$(nproc)" --target vrelintro default_movie

if [ ! -e "$here/vrelfi.dat" ]; then
    echo "play: no vrelfi.dat here; using the default movie"
    cp "$root/build/vrelfi.dat" "$here/vrelfi.dat"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$root/build/app/vrelintro"
fi

echo "play: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); playing on Xvfb instead"
source "$root/scripts/xvfb.sh"
start_private_xvfb 640x480x24
trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
# No sound device is needed: SDL falls back to silence when there is none.
"$root/build/app/vrelintro" &
intro=$!
sleep 5
if kill -0 "$intro" 2>/dev/null; then
    import -window root "$here/vrelintro-screenshot.png" &&
        echo "play: screenshot taken mid-play: $here/vrelintro-screenshot.png"
fi
status=0
wait "$intro" || status=$?
echo "play: the intro ended with exit code $status"
exit "$status"
