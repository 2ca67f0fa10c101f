#!/usr/bin/env bash
# Takes docs/window.png: the main window at work, on a private Xvfb display with the test
# services' PulseAudio (the window only shows when an audio output is there). It opens a
# generated tune through the tool bar's open dialog, plays it, marks a stretch while it plays
# and takes the picture with the play line still moving.
# Usage: scripts/screenshot.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
for program in quillet codec.dll; do
    [ -x "$build/$program" ] || { echo "no $build/$program: build first (scripts/build.sh)" >&2; exit 1; }
done

source scripts/services.sh
quillet_services_start

# A program folder, home and settings store of its own, so that no running instance or stored
# choice of a user changes the picture.
work=$(mktemp -d)
cp "$build/quillet" "$build/codec.dll" "$work/"
mkdir -p "$work/Music"
tune="$work/Music/Evening tune.mp3"
# Plucked notes of an arpeggio, each struck at its own strength: a waveform with shape to it.
note='exp(-3*mod(t,0.5))*sin(2*PI*220*pow(2,mod(floor(t/0.5),4)/3)*t)'
strength='(0.3+0.65*abs(sin(1.7*floor(t/0.5))))'
ffmpeg -loglevel error -y -f lavfi \
    -i "aevalsrc=exprs='0.8*$strength*$note|0.7*$strength*$note':s=44100:d=48" \
    -c:a libmp3lame -b:a 192k "$tune"

export DISPLAY=$QUILLET_X_DISPLAY
HOME="$work" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" \
    "$work/quillet" >/dev/null 2>&1 &
quillet_pid=$!
stop_quillet() {
    kill "$quillet_pid" 2>/dev/null || true
    wait "$quillet_pid" 2>/dev/null || true
    rm -rf "$work"
    quillet_services_stop
}
trap stop_quillet EXIT

# The first visible window of the program with the title, waited for up to 10 s.
find_window() {
    local found=
    for _ in $(seq 100); do
        found=$(xdotool search --all --onlyvisible --pid "$quillet_pid" --name "$1" \
            2>/dev/null | head -n 1) || true
        [ -n "$found" ] && break
        sleep 0.1
    done
    [ -n "$found" ] || { echo "Quillet showed no window \"$1\"" >&2; return 1; }
    echo "$found"
}

# A left click at a point of the main window (pixels from its top-left corner).
click() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.3
}

window=$(find_window '^Quillet$')
sleep 1 # let the first paint land

# The points below follow the window's fixed layout: the tool bar's open command, and the
# transport buttons' centres on the work page.
click 80 37
dialog=$(find_window '^Select Media File$')
sleep 0.5
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool type --delay 20 "$tune"
xdotool key Return
for _ in $(seq 100); do
    [ -s "$work/temp.wav" ] && break
    sleep 0.1
done
[ -s "$work/temp.wav" ] || { echo "the tune did not load" >&2; exit 1; }
sleep 2 # the waveform is drawn once the conversion has finished

click 34 351  # Play
sleep 9
click 179 351 # Begin Cut
sleep 12
click 227 351 # End Cut
sleep 3

mkdir -p docs
xwd -silent -id "$window" -out "$work/window.xwd"
ffmpeg -loglevel error -y -i "$work/window.xwd" -frames:v 1 -update 1 -pix_fmt rgb24 \
    -compression_level 9 docs/window.png
echo "docs/window.png: $(stat -c %s docs/window.png) bytes"
