#!/usr/bin/env bash
# The transcoder against the ffmpeg command line on the same work, side by side in one run:
# converting a 60-minute stereo MP3 to WAV, and cutting 30 seconds at the end of a 60-minute WAV
# to MP3 192 kbit/s. Medians of three runs; times and peak memory as ratios.
# Usage: bash bench/transcoder.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
codec="$build/codec.dll"
[ -x "$codec" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=3600:sample_rate=44100" \
    -f lavfi -i "anoisesrc=duration=3600:amplitude=0.1:sample_rate=44100" \
    -filter_complex "[0][1]amerge=inputs=2" -ac 2 -b:a 192k "$work/long.mp3"
"$codec" -i "$work/long.mp3" -f wav "$work/long.wav"

# median seconds and median peak kilobytes of three runs of a command
measure() {
    local times=() mems=()
    for _ in 1 2 3; do
        rm -f "$work"/out.*
        /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1
        read -r t m <"$work/time.txt"
        times+=("$t")
        mems+=("$m")
    done
    printf '%s\n' "${times[@]}" | sort -g | sed -n 2p
    printf '%s\n' "${mems[@]}" | sort -g | sed -n 2p
}

report() { # label ours-seconds ours-kb peer-seconds peer-kb
    awk -v l="$1" -v a="$2" -v am="$3" -v b="$4" -v bm="$5" 'BEGIN {
        printf "%-44s %7.2f s vs %7.2f s  time %.2f x   memory %6.1f MB vs %6.1f MB (%.2f x)\n",
            l, a, b, a / b, am / 1024, bm / 1024, am / bm }'
}

mapfile -t ours < <(measure "$codec" -i "$work/long.mp3" -f wav "$work/out.wav")
mapfile -t peer < <(measure ffmpeg -nostdin -y -i "$work/long.mp3" -f wav "$work/out.wav")
report "60-min MP3 to WAV (ffmpeg -i long.mp3 -f wav)" "${ours[0]}" "${ours[1]}" "${peer[0]}" "${peer[1]}"

mapfile -t ours < <(measure "$codec" -i "$work/long.wav" -t 00:00:30 -ss 00:59:00 -ab 192 \
    -ar 44100 -ac 2 "$work/out.mp3")
mapfile -t late < <(measure ffmpeg -nostdin -y -i "$work/long.wav" -t 00:00:30 -ss 00:59:00 \
    -ab 192k -ar 44100 -ac 2 "$work/out.mp3")
mapfile -t early < <(measure ffmpeg -nostdin -y -ss 00:59:00 -i "$work/long.wav" -t 00:00:30 \
    -ab 192k -ar 44100 -ac 2 "$work/out.mp3")
report "30 s at the end to MP3 (ffmpeg, -ss after -i)" "${ours[0]}" "${ours[1]}" "${late[0]}" "${late[1]}"
report "30 s at the end to MP3 (ffmpeg, -ss before -i)" "${ours[0]}" "${ours[1]}" "${early[0]}" "${early[1]}"
