#!/usr/bin/env bash
# CPU for decoding and conversion: the multimedia stream playing a movie against
# `ffmpeg -benchmark` decoding the same file and converting it to the same size and pixel
# format (BGR0 = the surfaces' 32-bit XRGB), measured in one run, on a 320 x 240 MPEG-1 and
# a 640 x 480 H.264 movie (pictures only, 20 s). Goal: at most 1.3 x ffmpeg's CPU.
# ffmpeg is measured twice: as fast as it can (batch, caches always warm) and paced at the
# movie's rate with -re, as a player has to run; the stream always plays in real time.
# Usage: bench/mmstream_cpu_vs_ffmpeg.sh [build-folder] [seconds]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_movie() {
    "$build/tools/moviemaker/vrelmovie" --out "$1" --seconds "$seconds" --no-audio "${@:2}"
}

# CPU seconds (user + system) ffmpeg spends decoding and converting to bgr0.
ffmpeg_cpu() {
    ffmpeg -hide_banner -nostdin -benchmark "${@:2}" -i "$1" -an -pix_fmt bgr0 -f null - 2>&1 |
        sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' | awk '{print $1 + $2}'
}

# CPU seconds the stream spends playing it through to the end.
stream_cpu() {
    VREL_BENCH_MOVIE=$1 "$build/bench/mmstream_cpu_bench" --benchmark_format=json 2>/dev/null |
        python3 -c 'import json,sys; print(json.load(sys.stdin)["benchmarks"][0]["cpu_s"])'
}

echo "machine: $(nproc) cores,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %10s %10s %10s %10s %10s\n' movie ffmpeg_s ffmpeg_re_s stream_s ratio ratio_re
for spec in "mpeg1_320x240:--size 320x240" "h264_640x480:--size 640x480 --codec h264"; do
    name=${spec%%:*}
    # shellcheck disable=SC2086
    make_movie "$work/$name" ${spec#*:}
    ffmpeg_s=$(ffmpeg_cpu "$work/$name")
    ffmpeg_re_s=$(ffmpeg_cpu "$work/$name" -re)
    stream_s=$(stream_cpu "$work/$name")
    ratio=$(python3 -c "print(f'{$stream_s / $ffmpeg_s:.2f}')")
    ratio_re=$(python3 -c "print(f'{$stream_s / $ffmpeg_re_s:.2f}')")
    printf '%-16s %10.3f %10.3f %10.3f %10s %10s\n' "$name" "$ffmpeg_s" "$ffmpeg_re_s" \
        "$stream_s" "$ratio" "$ratio_re"
done
