#!/usr/bin/env bash
# Runs the picture-against-sound benchmark with a private PulseAudio daemon holding a null
# sink (its own runtime folder and socket, so no other PulseAudio is touched); SDL plays into
# the sink, the benchmark records its monitor. Then OpenFile to first picture with that real
# sound device's latency. Usage: bench/mmstream_av_sync.sh [build-folder]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
runtime=$(mktemp -d)
export PULSE_RUNTIME_PATH=$runtime PULSE_STATE_PATH=$runtime PULSE_SERVER=unix:$runtime/native
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --load="module-null-sink sink_name=vrelsink rate=44100" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" \
    >"$runtime/log" 2>&1 &
daemon=$!
trap 'kill $daemon 2>/dev/null || true; wait $daemon 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
    [ -S "$runtime/native" ] && break
    sleep 0.05
done
[ -S "$runtime/native" ] || { cat "$runtime/log" >&2; echo "PulseAudio did not start" >&2; exit 1; }
export PULSE_SINK=vrelsink SDL_AUDIODRIVER=pulseaudio VREL_MONITOR=vrelsink.monitor
"$build/bench/mmstream_av_sync_bench" --benchmark_counters_tabular=true
"$build/bench/mmstream_lifecycle_bench" --benchmark_filter=OpenToFirstPicture \
    --benchmark_counters_tabular=true
