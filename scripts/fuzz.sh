#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang (in build-fuzz) and runs each for a fixed
# time from its seed corpus. Any crash, sanitizer report or broken invariant fails the run
# and leaves the input that found it in build-fuzz/artifacts/. The media target's seeds are
# tiny movies made here with ffmpeg, one per container and codec family; the resource
# script's seed is the intro's own script.
#   scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-fuzz
seconds=${1:-${VREL_FUZZ_SECONDS:-30}}
# Libraries not built with sanitizers keep process-lifetime caches (each named in the file).
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0}

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_UNITY_BUILD=ON \
    >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)"

# A fifth of a second of picture and sound in several containers: small enough that the
# fuzzer's changes reach every part of a file.
media_seeds() {
    local dir=$1 spec ext
    for spec in "mpg:-c:v mpeg1video -c:a mp2 -f mpeg" "mkv:-c:v libx264 -preset ultrafast -c:a flac" \
        "avi:-c:v mjpeg -q:v 20 -c:a pcm_u8" "webm:-c:v libvpx -c:a libvorbis" \
        "mp4:-c:v mpeg4 -c:a aac" "ogv:-c:v theora -c:a libvorbis" "ts:-c:v mpeg2video -c:a mp2" \
        "wav:-vn -c:a pcm_s16le"; do
        ext=${spec%%:*}
        [ -s "$dir/seed.$ext" ] && continue
        # shellcheck disable=SC2086 # the options are words on purpose
        ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=0.2 \
            -f lavfi -i sine=f=440:r=8000:d=0.2 ${spec#*:} "$dir/seed.$ext"
    done
}

# Per target: longest input and dictionary.
options_for() {
    case $1 in
    media) echo "-max_len=65536" ;;
    resource_script) echo "-max_len=4096 -dict=$root/fuzz/resource_script.dict" ;;
    mpris_uri) echo "-max_len=8192" ;;
    *) echo "-max_len=1024 -dict=$root/fuzz/port.dict" ;;
    esac
}

mkdir -p "$build/artifacts"
status=0
for target in "$build"/*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target" _fuzz)
    corpus=$build/corpus/$name
    mkdir -p "$corpus"
    [ -d "$root/fuzz/corpus/$name" ] && cp -n "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
    [ "$name" = media ] && media_seeds "$corpus"
    [ "$name" = resource_script ] && cp "$root/res/vrelintro.rc" "$corpus/seed.rc"
    echo "== $name: ${seconds}s"
    # shellcheck disable=SC2046 # options_for gives separate words
    if "$target" -max_total_time="$seconds" $(options_for "$name") -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/artifacts/$name-" \
        -print_final_stats=1 "$corpus" >"$build/$name.log" 2>&1; then
        grep -E "^stat::number_of_executed_runs|^#[0-9]+.*DONE" "$build/$name.log" | tail -2
    else
        status=1
        echo "FAIL: $name found a problem:" >&2
        tail -40 "$build/$name.log" >&2
    fi
done
exit $status
