#!/usr/bin/env bash
# Measures codec.dll against the ffmpeg command line on the same files, side by side:
#   1. a 60-minute stereo MP3 converted to WAV, on every core and on one;
#   2. a 30-second cut at the end of a 60-minute WAV to MP3 192 kbit/s, against ffmpeg with the
#      window's option order (-ss after -i) and with -ss before -i;
#   3. a 20-minute stretch of the same WAV to MP3 at 48000 Hz (resampled), the same line for both;
#   4. a 60-minute 24-bit 48 kHz FLAC converted to WAV (the window's temp.wav is 44100 Hz, so
#      codec.dll resamples; ffmpeg is measured with the plain line and with -ar 44100);
#   5. peak memory of each run;
#   6. the 30-second cut of 1. with the tags and a 1.3 MB cover beside temp.wav (the companion a
#      conversion leaves), against the same cut with none.
# Each run is repeated RUNS times (default 5) and the median is reported.
# Usage: bash bench/transcoder.sh [BUILD_DIR]   (default: build/)
#        PART=tags bash bench/transcoder.sh      (6. alone)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
codec="$build/codec.dll"
[ -x "$codec" ] || cmake --build "$build" --target codec.dll
runs=${RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

part=${PART:-all}
echo "generating 60 minutes of stereo audio..."
sox -n -r 44100 -c 2 -b 16 "$work/temp.wav" synth 3600 sine 440 sine 660 vol 0.4
if [ "$part" != tags ]; then
ffmpeg -v error -y -i "$work/temp.wav" -c:a libmp3lame -b:a 192k "$work/long.mp3"
sox -n -r 48000 -c 2 -b 24 "$work/deep.flac" synth 3600 sine 440 sine 660 vol 0.4
fi

# measure NAME CMD...: prints the median wall time (s) and the median peak RSS (KiB).
measure() {
  local times=() mems=() out
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1
    out=$(tail -1 "$work/time.txt")
    times+=("${out% *}"); mems+=("${out#* }")
  done
  local t m
  t=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
  m=$(printf '%s\n' "${mems[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$t $m"
}

report() { # label ours theirs
  local ot=${2% *} om=${2#* } tt=${3% *} tm=${3#* }
  printf '%-44s codec %6.2f s %7d KiB | ffmpeg %6.2f s %7d KiB | time %.2fx  memory %.2fx\n' \
    "$1" "$ot" "$om" "$tt" "$tm" "$(awk "BEGIN{print $ot / $tt}")" "$(awk "BEGIN{print $om / $tm}")"
}

if [ "$part" != tags ]; then
conv_ours=$(measure "$codec" -i "$work/long.mp3" -f wav "$work/ours.wav")
conv_ff=$(measure ffmpeg -y -i "$work/long.mp3" -f wav "$work/ff.wav")
# The same conversion held to one processor: codec.dll then decodes on one thread.
conv_one=$(measure taskset -c 0 "$codec" -i "$work/long.mp3" -f wav "$work/one.wav")
flac_ours=$(measure "$codec" -i "$work/deep.flac" -f wav "$work/ours.wav")
flac_ff=$(measure ffmpeg -y -i "$work/deep.flac" -f wav "$work/ff.wav")
flac_ff_same=$(measure ffmpeg -y -i "$work/deep.flac" -ar 44100 -f wav "$work/ff.wav")
flac_one=$(measure taskset -c 0 "$codec" -i "$work/deep.flac" -f wav "$work/one.wav")
rm -f "$work/deep.flac" "$work/ours.wav" "$work/ff.wav" "$work/one.wav"
cut_ours=$(measure "$codec" -i "$work/temp.wav" -t 00:00:30 -ss 00:59:00 -ab 192 -ar 44100 -ac 2 \
  "$work/ours.mp3")
cut_ff_after=$(measure ffmpeg -y -i "$work/temp.wav" -t 00:00:30 -ss 00:59:00 -ab 192k -ar 44100 \
  -ac 2 "$work/ff1.mp3")
cut_ff_before=$(measure ffmpeg -y -ss 00:59:00 -i "$work/temp.wav" -t 00:00:30 -ab 192k -ar 44100 \
  -ac 2 "$work/ff2.mp3")

long_ours=$(measure "$codec" -i "$work/temp.wav" -t 00:20:00 -ss 00:00:00 -ab 192 -ar 48000 -ac 2 \
  "$work/ours48.mp3")
long_ff=$(measure ffmpeg -y -i "$work/temp.wav" -t 00:20:00 -ss 00:00:00 -ab 192k -ar 48000 -ac 2 \
  "$work/ff48.mp3")
fi

# The companion of a tagged file's conversion (a 1.3 MB cover of noise, which does not compress)
# beside the long temp.wav, against none: the two cuts alternate, so load on the machine falls
# on both alike.
ffmpeg -v error -y -f lavfi -i "color=gray:s=720x720,format=rgb24,noise=alls=100:allf=u" \
  -frames:v 1 "$work/cover.png"
ffmpeg -v error -y -f lavfi -i "sine=d=2" -i "$work/cover.png" -map 0 -map 1 -c:v copy \
  -disposition:v attached_pic -metadata title=Title -metadata artist=Artist -metadata album=Album \
  -c:a libmp3lame "$work/tagged.mp3"
"$codec" -i "$work/tagged.mp3" -f wav "$work/tagged.wav" >/dev/null
cover_bytes=$(stat -c %s "$work/cover.png")
cut_line=(-i "$work/temp.wav" -t 00:00:30 -ss 00:59:00 -ab 192 -ar 44100 -ac 2)
# Wall time in seconds, to the microsecond.
elapsed() {
  local start end
  start=$(date +%s.%N); "$@" >/dev/null 2>&1; end=$(date +%s.%N)
  awk "BEGIN{printf \"%.6f\", $end - $start}"
}
plain_times=() tagged_times=()
for _ in $(seq "$runs"); do
  plain_times+=("$(elapsed "$codec" "${cut_line[@]}" "$work/plain.mp3")")
  cp "$work/tagged.wav.tags" "$work/temp.wav.tags"
  tagged_times+=("$(elapsed "$codec" "${cut_line[@]}" "$work/tagged-cut.mp3")")
  rm "$work/temp.wav.tags"
done
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
cut_plain=$(median "${plain_times[@]}")
cut_tagged=$(median "${tagged_times[@]}")

echo "median of $runs runs"
[ "$part" != tags ] && {
report "60-min MP3 -> WAV" "$conv_ours" "$conv_ff"
report "60-min MP3 -> WAV, codec.dll on one core" "$conv_one" "$conv_ff"
report "60-min 24-bit 48 kHz FLAC -> WAV" "$flac_ours" "$flac_ff"
report "the same, ffmpeg also resampling (-ar 44100)" "$flac_ours" "$flac_ff_same"
report "the same, codec.dll on one core" "$flac_one" "$flac_ff"
report "30-s cut at 59:00 -> MP3 (ffmpeg -ss after -i)" "$cut_ours" "$cut_ff_after"
report "30-s cut at 59:00 -> MP3 (ffmpeg -ss before -i)" "$cut_ours" "$cut_ff_before"
report "20-min stretch -> MP3 at 48000 Hz" "$long_ours" "$long_ff"
}
printf '%-44s codec %6.3f s | without %6.3f s | time %.3fx (cover %d bytes; cuts %d and %d bytes)\n' \
  "30-s cut at 59:00 -> MP3, tags and cover" "$cut_tagged" "$cut_plain" \
  "$(awk "BEGIN{print $cut_tagged / $cut_plain}")" "$cover_bytes" \
  "$(stat -c %s "$work/tagged-cut.mp3")" "$(stat -c %s "$work/plain.mp3")"
