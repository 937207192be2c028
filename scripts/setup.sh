#!/usr/bin/env bash
# Installs every Debian 12 package needed to build, run, test and benchmark the intro.
# Packages already present are skipped; sudo is used when not running as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libsdl2-dev libx11-dev libasound2-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth x11-utils xdotool imagemagick
  ffmpeg procps mingw-w64-common python3
  pulseaudio pulseaudio-utils
  openbox wmctrl xterm weston xwayland libgl1-mesa-dri
  lintian man-db bsdextrautils
  libsystemd-dev dbus dbus-daemon playerctl libglib2.0-bin
)

# Reference players and tools only the benchmarks use: `setup.sh --bench`.
if [ "${1:-}" = --bench ]; then
  packages+=(mpv time linux-perf)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages already installed"
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
