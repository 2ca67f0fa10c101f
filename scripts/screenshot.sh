#!/usr/bin/env bash
# Takes docs/window.png: the main window as it starts, on a private Xvfb display with the test
# services' PulseAudio (the window only shows when an audio output is there).
# Usage: scripts/screenshot.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/quillet" ] || { echo "no $build/quillet: build first (scripts/build.sh)" >&2; exit 1; }

source scripts/services.sh
quillet_services_start

# A program folder and settings store of its own, so that no running instance or stored choice
# of a user changes the picture.
work=$(mktemp -d)
cp "$build/quillet" "$work/quillet"
DISPLAY=$QUILLET_X_DISPLAY QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" \
    "$work/quillet" >/dev/null 2>&1 &
quillet_pid=$!
stop_quillet() {
    kill "$quillet_pid" 2>/dev/null || true
    wait "$quillet_pid" 2>/dev/null || true
    rm -rf "$work"
    quillet_services_stop
}
trap stop_quillet EXIT

window=
for _ in $(seq 100); do
    window=$(DISPLAY=$QUILLET_X_DISPLAY xdotool search --all --onlyvisible --pid "$quillet_pid" \
        --name '^Quillet$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "Quillet showed no window" >&2; exit 1; }
sleep 1 # let the first paint land

mkdir -p docs
xwd -silent -display "$QUILLET_X_DISPLAY" -id "$window" -out "$work/window.xwd"
ffmpeg -loglevel error -y -i "$work/window.xwd" -frames:v 1 -update 1 -pix_fmt rgb24 \
    -compression_level 9 docs/window.png
echo "docs/window.png: $(stat -c %s docs/window.png) bytes"
