#!/usr/bin/env bash
# Measures codec.dll against the ffmpeg command line on the same files, side by side:
#   1. a 60-minute stereo MP3 converted to WAV, on every core and on one;
#   2. a 30-second cut at the end of a 60-minute WAV to MP3 192 kbit/s, against ffmpeg with the
#      window's option order (-ss after -i) and with -ss before -i;
#   3. a 20-minute stretch of the same WAV to MP3 at 48000 Hz (resampled), the same line for both;
#   4. a 60-minute 24-bit 48 kHz FLAC converted to WAV (the window's temp.wav is 44100 Hz, so
#      codec.dll resamples; ffmpeg is measured with the plain line and with -ar 44100);
#   5. a 20-minute stretch of the 60-minute 192 kbit/s MP3 cut at its own settings: copied from
#      its frames (the conversion's record beside the WAV), against the same cut encoded again
#      (the record moved away) and against ffmpeg's frame copy (-ss ... -t ... -c copy);
#   6. where each copy starts and how long it is, in samples of FFmpeg's decode against the
#      source's own, on a 3-minute MP3 of noise (a tone would match at many offsets);
#   7. the 30-second cut of 1. with the tags and a 1.3 MB cover beside temp.wav (the companion a
#      conversion leaves), against the same cut with none;
#   8. peak memory of each run.
# Each run is repeated RUNS times (default 5) and the median is reported.
# Usage: bash bench/transcoder.sh [BUILD_DIR]   (default: build/)
#        PART=copy bash bench/transcoder.sh      (5. and 6. alone)
#        PART=tags bash bench/transcoder.sh      (7. alone)
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
[ "$part" = tags ] || ffmpeg -v error -y -i "$work/temp.wav" -c:a libmp3lame -b:a 192k "$work/long.mp3"
[ "$part" != all ] || sox -n -r 48000 -c 2 -b 24 "$work/deep.flac" synth 3600 sine 440 sine 660 vol 0.4

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

report() { # label ours theirs [peer's name]
  local ot=${2% *} om=${2#* } tt=${3% *} tm=${3#* }
  printf '%-44s codec %6.2f s %7d KiB | %s %6.2f s %7d KiB | time %.2fx  memory %.2fx\n' \
    "$1" "$ot" "$om" "${4:-ffmpeg}" "$tt" "$tm" "$(awk "BEGIN{print $ot / $tt}")" "$(awk "BEGIN{print $om / $tm}")"
}

if [ "$part" = all ]; then
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

if [ "$part" != copy ]; then
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
fi

if [ "$part" != tags ]; then
"$codec" -i "$work/long.mp3" -f wav "$work/copy.wav" >/dev/null # and copy.wav.source
copy_args=(-t 00:20:00 -ss 00:20:00 -ab 192 -ar 44100 -ac 2)
copy_ours=$(measure "$codec" -i "$work/copy.wav" "${copy_args[@]}" "$work/copied.mp3")
"$codec" -i "$work/copy.wav" "${copy_args[@]}" "$work/copied.mp3" | grep -qx copied
mv "$work/copy.wav.source" "$work/record"
copy_encoded=$(measure "$codec" -i "$work/copy.wav" "${copy_args[@]}" "$work/encoded.mp3")
mv "$work/record" "$work/copy.wav.source"
copy_ff=$(measure ffmpeg -y -ss 00:20:00 -t 00:20:00 -i "$work/long.mp3" -c copy "$work/ffcopy.mp3")
rm -f "$work/copy.wav" "$work/copy.wav.source"

ffmpeg -v error -y -f lavfi -i "aevalsrc=0.4*random(0)|0.4*random(1):s=44100:d=180" \
  -c:a libmp3lame -b:a 192k "$work/noise.mp3"
"$codec" -i "$work/noise.mp3" -f wav "$work/noise.wav" >/dev/null
"$codec" -i "$work/noise.wav" -t 00:00:30 -ss 00:01:00 -ab 192 -ar 44100 -ac 2 \
  "$work/noise-ours.mp3" | grep -qx copied
ffmpeg -v error -y -ss 00:01:00 -t 00:00:30 -i "$work/noise.mp3" -c copy "$work/noise-ff.mp3"
for f in noise noise-ours noise-ff; do
  ffmpeg -v error -y -i "$work/$f.mp3" -ac 1 -f f32le "$work/$f.f32"
done
# Where 64 samples from 1 s into the cut lie in the source, against where they should (60 s in).
errors=$(python3 - "$work" <<'PY'
import array, sys
def load(name):
    a = array.array("f")
    with open(f"{sys.argv[1]}/{name}.f32", "rb") as f:
        a.frombytes(f.read())
    return a
src = load("noise")
for name in ("noise-ours", "noise-ff"):
    cut, at, want = load(name), 44100, 60 * 44100 + 44100
    probe = cut[at:at + 64]
    start = next((off for off in range(-5000, 5001)
                  if src[want + off:want + off + 64] == probe), None)
    print(name, "start", "none" if start is None else start, "length", len(cut) - 30 * 44100)
PY
)
fi

echo "median of $runs runs"
if [ "$part" = all ]; then
report "60-min MP3 -> WAV" "$conv_ours" "$conv_ff"
report "60-min MP3 -> WAV, codec.dll on one core" "$conv_one" "$conv_ff"
report "60-min 24-bit 48 kHz FLAC -> WAV" "$flac_ours" "$flac_ff"
report "the same, ffmpeg also resampling (-ar 44100)" "$flac_ours" "$flac_ff_same"
report "the same, codec.dll on one core" "$flac_one" "$flac_ff"
report "30-s cut at 59:00 -> MP3 (ffmpeg -ss after -i)" "$cut_ours" "$cut_ff_after"
report "30-s cut at 59:00 -> MP3 (ffmpeg -ss before -i)" "$cut_ours" "$cut_ff_before"
report "20-min stretch -> MP3 at 48000 Hz" "$long_ours" "$long_ff"
fi
if [ "$part" != tags ]; then
report "20-min stretch of the 192k MP3, copied" "$copy_ours" "$copy_encoded" "encoded"
report "the same, against ffmpeg -c copy" "$copy_ours" "$copy_ff"
echo "start and length error in samples, FFmpeg's decode against the source's:"
echo "$errors"
fi
if [ "$part" != copy ]; then
printf '%-44s codec %6.3f s | without %6.3f s | time %.3fx (cover %d bytes; cuts %d and %d bytes)\n' \
  "30-s cut at 59:00 -> MP3, tags and cover" "$cut_tagged" "$cut_plain" \
  "$(awk "BEGIN{print $cut_tagged / $cut_plain}")" "$cover_bytes" \
  "$(stat -c %s "$work/tagged-cut.mp3")" "$(stat -c %s "$work/plain.mp3")"
fi
