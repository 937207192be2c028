#!/usr/bin/env bash
# The Debian package, installed on this machine as a user would: cpack builds it and lintian
# finds no error in it; after `dpkg -i` the intro, started as its desktop entry says, plays the
# default movie until vrelctl's Exit and Yes end it with exit code 0; the manual pages render
# without warnings and vrelctl's shows the options `vrelctl --help` lists; bash completes
# vrelctl's commands; `dpkg -r` leaves nothing of the package behind. Needs root (or sudo),
# and refuses to touch an installed vrelintro.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/port_common.bash"

as_root=()
if [ "$(id -u)" != 0 ]; then
    sudo -n true 2>/dev/null || fail "installing the package needs root or sudo without a password"
    as_root=(sudo -n)
fi
dpkg-query -W -f='${Status}' vrelintro 2>/dev/null | grep -q "install ok installed" &&
    fail "vrelintro is installed already; this check would replace it"
we_installed=
remove_package() {
    if [ -n "$we_installed" ]; then
        "${as_root[@]}" dpkg -r vrelintro >/dev/null 2>&1 || true
    fi
    end_intros_first
}
trap remove_package EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(tail -20 "$work/cpack.log")"
deb=$(echo "$work"/deb/vrelintro_*.deb)
[ -f "$deb" ] || fail "cpack made no vrelintro_*.deb: $(ls "$work/deb")"
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian: $(cat "$work/lintian.txt")"
grep -v "^running with root" "$work/lintian.txt" || true

we_installed=1
"${as_root[@]}" dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"
dpkg -L vrelintro >"$work/files.txt"
entry=/usr/share/applications/vrelintro.desktop
movie_dir=$(sed -n 's/^Path=//p' "$entry")
command=$(sed -n 's/^Exec=//p' "$entry")
[ -f "$movie_dir/vrelfi.dat" ] || fail "no vrelfi.dat in the desktop entry's Path=$movie_dir"

# The installed intro, as the desktop starts it; the trace counts the frames it draws.
start_xvfb 640x480x24
vrelctl=/usr/bin/vrelctl
: >"$work/trace.txt"
(cd "$movie_dir" && VREL_TRACE="$work/trace.txt" exec $command) >"$work/intro.out" \
    2>"$work/intro.err" &
intro_pid=$!
pids+=("$intro_pid")
wait_for_port "$intro_pid"
deadline=$((SECONDS + 20))
until [ "$(grep -c '^blit ' "$work/trace.txt" || true)" -ge 50 ]; do
    [ $SECONDS -lt $deadline ] || fail "the intro drew no 50 frames: $(cat "$work/intro.err")"
    kill -0 "$intro_pid" 2>/dev/null || fail "the intro ended early: $(cat "$work/intro.err")"
    sleep 0.1
done
exit_intro
grep "^\[" "$work/intro.err" | grep -qv "^\[Quit\] Quit the Program?$" &&
    fail "the intro showed a message: $(cat "$work/intro.err")"

for page in vrelintro vrelctl vrelmovie; do
    MANWIDTH=80 man --warnings=w "$page" 2>"$work/man.err" >"$work/$page.txt" ||
        fail "man $page: $(cat "$work/man.err")"
    [ ! -s "$work/man.err" ] || fail "man $page warns: $(cat "$work/man.err")"
done
grep -q "$movie_dir/vrelfi.dat" "$work/vrelintro.txt" || fail "vrelintro(1) names no $movie_dir"

# One line of words: the options as --help lists them, and as the page does.
words() { tr -s ' \t\n' ' ' | sed 's/^ //; s/ $//'; }
help_options=$("$vrelctl" --help | sed -n '/^options:$/,/^$/p' | sed 1d | words)
page_options=$(LC_ALL=C MANWIDTH=200 man vrelctl | col -bx | sed -n '/^OPTIONS$/,/^[A-Z]/p' |
    sed '1d;$d' | words)
[ "$help_options" = "$page_options" ] ||
    fail "vrelctl(1) OPTIONS: '$page_options'; vrelctl --help: '$help_options'"

# Bash completes vrelctl's commands from the installed completion.
completed=$(bash -c 'source /usr/share/bash-completion/completions/vrelctl
    COMP_WORDS=(vrelctl pau) COMP_CWORD=1 && _vrelctl && echo "${COMPREPLY[*]}"')
[ "$completed" = pause ] || fail "bash completes 'vrelctl pau' as '$completed'"

"${as_root[@]}" dpkg -r vrelintro >"$work/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$work/dpkg.log")"
we_installed=
while read -r path; do
    [ -d "$path" ] || [ ! -e "$path" ] || fail "$path is left after dpkg -r"
done <"$work/files.txt"
for folder in "$movie_dir" /usr/share/doc/vrelintro; do
    [ ! -e "$folder" ] || fail "$folder is left after dpkg -r: $(ls -A "$folder")"
done
