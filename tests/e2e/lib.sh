# Shared pieces of the end-to-end checks: a private Xvfb, waiting for a program's output,
# screenshots and pixel comparisons with ImageMagick (called by full path: an earlier
# `convert` on the PATH may not be ImageMagick).
set -euo pipefail

build=${VREL_BUILD_DIR:?VREL_BUILD_DIR must name the build folder}
source_dir=${VREL_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
work=$(mktemp -d "${TMPDIR:-/tmp}/vrel-e2e.XXXXXX")
pids=()
# The port's sockets (and any server's) go to a folder of this run only: intros of other
# checks running at the same time are neither seen nor disturbed.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 0700 "$XDG_RUNTIME_DIR"

cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts a private Xvfb (640 × 480 × 24 unless told otherwise) and exports DISPLAY.
start_xvfb() {
    # shellcheck source=../../scripts/xvfb.sh
    source "$source_dir/scripts/xvfb.sh"
    start_private_xvfb "${1:-640x480x24}" || fail "could not start Xvfb"
    pids+=("$XVFB_PID")
}

# Waits until the file holds a line matching the pattern (default timeout 20 s).
wait_for_line() {
    local file=$1 pattern=$2 timeout=${3:-20}
    local deadline=$((SECONDS + timeout))
    until grep -q -- "$pattern" "$file" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || fail "no '$pattern' in $file within ${timeout}s: $(cat "$file" 2>/dev/null)"
        sleep 0.05
    done
}

# frames_since T: most frames a 25 fps movie shows since $EPOCHREALTIME was T, plus a few.
frames_since() {
    awk -v since="$1" -v now="$EPOCHREALTIME" 'BEGIN { printf "%d\n", (now - since) * 25 + 10 }'
}

# Number of pixels that differ between two images.
pixels_differing() {
    /usr/bin/compare -metric AE "$1" "$2" null: 2>&1 || true
}

# pixels_beyond A B LEVELS: how many pixels differ by more than LEVELS in some channel.
pixels_beyond() {
    local percent
    percent=$(awk -v levels="$3" 'BEGIN { print (levels + 0.5) * 100 / 255 }')
    /usr/bin/convert "$1" "$2" -compose difference -composite -separate \
        -evaluate-sequence max -threshold "$percent%" -format '%[fx:round(mean*w*h)]' info:
}

# The colour of one pixel as #RRGGBB.
pixel_at() {
    /usr/bin/convert "$1" -format "%[hex:p{$2,$3}]" info: | cut -c1-6
}

intro=$build/app/vrelintro
vrelmovie=$build/tools/moviemaker/vrelmovie
analyze=$source_dir/tests/e2e/analyze.py

# make_movie FILE [vrelmovie options...]
make_movie() {
    local out=$1
    shift
    "$vrelmovie" --out "$out" "$@" >/dev/null || fail "vrelmovie $* failed"
}

# screenshot_ppm FILE: the screen as a binary PPM, for analyze.py and read_marker; only the
# picture's part of it (WxH+X+Y) when picture_crop is set (a letterboxed screen).
picture_crop=
screenshot_ppm() {
    /usr/bin/import -window root ${picture_crop:+-crop "$picture_crop"} -depth 8 "ppm:$1"
}
