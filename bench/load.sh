#!/usr/bin/env bash
# Loading a 60-minute stereo MP3 into the window against the transcoder's conversion alone and
# the ffmpeg command line's, then the same for 3 hours (the scaling), the waveform redraw, the CPU while playing, saving the last 30 s against the transcoder alone, and
# the peak memory.
# Usage: bash bench/load.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/bench_load" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
work=$(mktemp -d)
source scripts/services.sh
quillet_services_start
trap 'quillet_services_stop; rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=3600:sample_rate=44100" \
    -f lavfi -i "anoisesrc=duration=3600:amplitude=0.1:sample_rate=44100" \
    -filter_complex "[0][1]amerge=inputs=2" -ac 2 -b:a 192k "$work/long.mp3"
QT_QPA_PLATFORM=offscreen "$build/bench_load" "$work/long.mp3" 3
# Three hours: the same frames three times over, copied into one file with a header of its own.
printf "file '%s'\n" "$work/long.mp3" "$work/long.mp3" "$work/long.mp3" >"$work/list.txt"
ffmpeg -nostdin -v error -f concat -safe 0 -i "$work/list.txt" -c copy "$work/long3.mp3"
echo "3 hours:"
QUILLET_BENCH_LOAD_ONLY=1 QT_QPA_PLATFORM=offscreen "$build/bench_load" "$work/long3.mp3" 1
