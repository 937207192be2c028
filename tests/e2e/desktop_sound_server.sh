#!/usr/bin/env bash
# With a real sound server (PulseAudio with a null sink, started here with its own home,
# runtime folder and socket): the intro plays a movie to its end and exits 0, and what the
# sink received, recorded from its monitor, is sound, not silence.
source "$(dirname "$0")/lib.sh"
start_xvfb 640x480x24
mkdir -m 0700 -p "$work/home" "$work/run"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_RUNTIME_PATH=$work/run
socket=$work/run/pulse.sock
pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
    -L "module-null-sink sink_name=vrelsink" \
    -L "module-native-protocol-unix socket=$socket auth-anonymous=1" >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
    [ -S "$socket" ] && break
    sleep 0.05
done
[ -S "$socket" ] || fail "PulseAudio did not start: $(cat "$work/pulse.log")"
export PULSE_SERVER=unix:$socket PULSE_SINK=vrelsink SDL_AUDIODRIVER=pulseaudio

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
