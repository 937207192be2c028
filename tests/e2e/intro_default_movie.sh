#!/usr/bin/env bash
# The default movie plays to its end with its sound going through SDL's audio (the disk
# driver writes what the device would play), and the intro exits 0.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
mkdir -p "$work/default"
cp "$build/vrelfi.dat" "$work/default/vrelfi.dat"
cd "$work/default"
start=$SECONDS
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$intro" >"$work/out.txt" 2>"$work/err.txt"
elapsed=$((SECONDS - start))
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/default/vrelfi.dat" | cut -d. -f1)
[ "$elapsed" -ge $((length - 1)) ] && [ "$elapsed" -le $((length + 5)) ] ||
    fail "played ${elapsed}s of a ${length}s movie"
bytes=$(stat -c %s "$work/audio.raw")
[ "$bytes" -gt 100000 ] || fail "only $bytes bytes of sound reached the device"
nonzero=$(od -An -tx1 -v "$work/audio.raw" | tr -s ' ' '\n' | grep -vc '^00$\|^$' || true)
[ "$nonzero" -gt 10000 ] || fail "the sound is silence"
echo "default movie: ok (${elapsed}s of ${length}s, $bytes bytes of sound)"
