#!/usr/bin/env bash
# Runs the picture-against-sound benchmark with a private PulseAudio daemon holding a null
# sink (its own runtime folder and socket, so no other PulseAudio is touched); SDL plays into
# the sink, the benchmark records its monitor. Then OpenFile to first picture with that real
# sound device's latency. Usage: bench/mmstream_av_sync.sh [build-folder]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
runtime=$(mktemp -d)
source "$(dirname "$0")/../scripts/pulseaudio.sh"
start_private_pulseaudio "$runtime/pulse"
trap 'kill $PULSE_PID 2>/dev/null || true; wait $PULSE_PID 2>/dev/null || true; rm -rf "$runtime"' EXIT
export VREL_MONITOR=vrelsink.monitor
"$build/bench/mmstream_av_sync_bench" --benchmark_counters_tabular=true
"$build/bench/mmstream_lifecycle_bench" --benchmark_filter=OpenToFirstPicture \
    --benchmark_counters_tabular=true
