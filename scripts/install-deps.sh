#!/usr/bin/env bash
# Installs the Debian packages Quillet needs to build, run and test; does nothing when all are there.
# Packages named as arguments are installed as well (gcovr for scripts/coverage.sh).
set -euo pipefail
packages=(
  build-essential cmake pkg-config clang-format
  qt6-base-dev qt6-multimedia-dev libqt6svg6 qt6-image-formats-plugins
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libavcodec-extra
  pulseaudio pulseaudio-utils xvfb xauth xdotool x11-apps openbox at-spi2-core python3-pyatspi dbus
  ffmpeg sox espeak-ng fonts-liberation time procps
  librsvg2-bin dpkg-dev desktop-file-utils appstream lintian
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
