# Sourced by scripts that need a real sound server: start_private_pulseaudio DIR starts a
# PulseAudio daemon whose home, runtime folder and socket all live in DIR (no other
# PulseAudio is touched), with a null sink `vrelsink` whose monitor can be recorded. It
# exports what SDL and PulseAudio's clients need to play into that sink and sets PULSE_PID;
# on failure it prints the daemon's log and returns 1.
start_private_pulseaudio() {
    local dir=$1
    mkdir -m 0700 -p "$dir"
    export HOME=$dir XDG_RUNTIME_DIR=$dir PULSE_RUNTIME_PATH=$dir PULSE_STATE_PATH=$dir
    export PULSE_SERVER=unix:$dir/native PULSE_SINK=vrelsink SDL_AUDIODRIVER=pulseaudio
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=vrelsink rate=44100" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        >"$dir/pulseaudio.log" 2>&1 &
    PULSE_PID=$!
    local _
    for _ in $(seq 200); do
        [ -S "$dir/native" ] && return 0
        kill -0 "$PULSE_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill "$PULSE_PID" 2>/dev/null || true
    cat "$dir/pulseaudio.log" >&2
    echo "PulseAudio did not start" >&2
    return 1
}
