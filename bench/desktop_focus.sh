#!/usr/bin/env bash
# The intro on a 1920 × 1080 Xvfb, with and without a window manager (openbox):
#   - start of the process to the first blit of a movie frame (VREL_TRACE), 5 runs each
#   - focus regained through the window manager (wmctrl -a, as a taskbar does) to the next
#     blit, over 20 rounds: median and largest
# Usage: bench/desktop_focus.sh [build-folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
source "$root/scripts/xvfb.sh"
start_private_xvfb 1920x1080x24
children=("$XVFB_PID")
trap 'kill "${children[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR=$work/run
mkdir -m 0700 "$XDG_RUNTIME_DIR"
cd "$work"
mkdir short long
"$build/tools/moviemaker/vrelmovie" --out short/vrelfi.dat --seconds 1 >/dev/null
"$build/tools/moviemaker/vrelmovie" --out long/vrelfi.dat --seconds 60 >/dev/null

start_to_first_frame() {
    local label=$1 times=()
    for _ in 1 2 3 4 5; do
        (cd short && VREL_TRACE=$work/trace.txt "$build/app/vrelintro" >/dev/null 2>&1)
        times+=("$(awk '/^start/ {s = $2} /^blit/ {printf "%.0f", ($2 - s) / 1000; exit}' trace.txt)")
    done
    echo "start to first frame, $label: ${times[*]} ms"
}

start_to_first_frame "no window manager"
openbox --sm-disable >/dev/null 2>&1 &
children+=($!)
until wmctrl -m >/dev/null 2>&1; do sleep 0.05; done
start_to_first_frame "openbox"

xdotool mousemove 1900 1000
(cd long && exec env VREL_TRACE="$work/trace.txt" "$build/app/vrelintro") >/dev/null 2>&1 &
intro=$!
children+=("$intro")
xterm -fn fixed -title other &
children+=($!)
sleep 2
python3 - "$intro" "$work/trace.txt" <<'PY'
import statistics, subprocess, sys, time
pid, trace = sys.argv[1], sys.argv[2]
def window(*query):
    return subprocess.run(["xdotool", "search", *query], capture_output=True,
                          text=True).stdout.split()[0]
intro, other = window("--pid", pid), window("--name", "^other$")
def first_blit_after(t):
    for line in open(trace):
        kind, stamp = line.split()[:2]
        if kind == "blit" and int(stamp) > t:
            return int(stamp)
    return None
delays = []
for _ in range(20):
    subprocess.run(["wmctrl", "-i", "-a", other])
    time.sleep(0.6)
    t = int(time.monotonic() * 1e6)  # the same clock as the trace
    subprocess.run(["wmctrl", "-i", "-a", intro])
    time.sleep(0.6)
    blit = first_blit_after(t)
    delays.append((blit - t) / 1000 if blit else float("inf"))
print("focus regained to next frame over 20 rounds: median %.1f ms, largest %.1f ms"
      % (statistics.median(delays), max(delays)))
PY
