#!/usr/bin/env bash
# With a real sound server (PulseAudio with a null sink, started here with its own home,
# runtime folder and socket): the intro plays a movie to its end and exits 0, and what the
# sink received, recorded from its monitor, is sound, not silence.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
# shellcheck source=../../scripts/pulseaudio.sh
source "$source_dir/scripts/pulseaudio.sh"
start_private_pulseaudio "$work/pulse" || fail "PulseAudio did not start"
pids+=("$PULSE_PID")

parec -d vrelsink.monitor --file-format=wav "$work/heard.wav" &
recorder=$!
pids+=("$recorder")
mkdir -p "$work/play"
make_movie "$work/play/vrelfi.dat" --seconds 3
status=0
(cd "$work/play" && timeout 30 "$intro") >/dev/null 2>"$work/intro.err" || status=$?
kill "$recorder"
wait "$recorder" 2>/dev/null || true
[ "$status" = 0 ] || fail "the intro exited with $status: $(cat "$work/intro.err")"
grep -q "no sound device" "$work/intro.err" && fail "the intro found no sound device"
python3 - "$work/heard.wav" <<'PY' || fail "the sink heard silence"
import array, sys, wave
with wave.open(sys.argv[1]) as w:
    samples = array.array("h", w.readframes(w.getnframes()))
loud = sum(1 for s in samples if abs(s) > 1000)
print(f"{len(samples)} samples, {loud} above 1000")
sys.exit(0 if loud > 1000 else 1)
PY
