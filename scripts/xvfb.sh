# Sourced by scripts that need a private X server: start_private_xvfb SIZE starts Xvfb on a
# display it picks itself (never one in use), exports DISPLAY and sets XVFB_PID.
start_private_xvfb() {
    local size=${1:-640x480x24}
    local fifo
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/vrel-xvfb.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || number=""
    rm -f "$fifo"
    if [ -z "$number" ]; then
        echo "could not start Xvfb" >&2
        return 1
    fi
    export DISPLAY=":$number"
}
