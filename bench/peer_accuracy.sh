#!/usr/bin/env bash
# Accuracy against mpg123 on encoder output: one-second files from lame (MPEG-1, MPEG-2 and
# MPEG 2.5 at all nine sample rates; stereo, joint stereo, dual channel, single channel, VBR)
# and twolame (Layer II at six rates, four modes), each decoded by mpg123 as the reference and
# measured by kivo-conformance with the conformance bounds. Exits non-zero when one misses them.
#   bench/peer_accuracy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tool="$build/bin/kivo-conformance"
[ -x "$tool" ] || { echo "peer_accuracy: $tool not built" >&2; exit 1; }
tool=$(realpath "$tool")
command -v mpg123 >/dev/null || tools/setup.sh mpg123
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
sox -q -n -r 48000 -c 2 -b 16 src.wav synth 1 pluck A3 pluck E4 tremolo 3 40 vol 0.8
for rate in 8 11.025 12 16 22.05 24 32 44.1 48; do
  for mode in s j d m; do
    lame --quiet --noreplaygain -m $mode --resample $rate src.wav "l3_${rate}k_$mode.mp3"
  done
  lame --quiet --noreplaygain -V 4 --resample $rate src.wav "l3_${rate}k_vbr.mp3"
done
for rate in 16000 22050 24000 32000 44100 48000; do
  sox -q src.wav -r $rate "s$rate.wav"
  for mode in s j d m; do twolame --quiet -m $mode "s$rate.wav" "l2_${rate}_$mode.mp2"; done
done
pairs=()
for f in *.mp3 *.mp2; do
  mpg123 -q -s "$f" >"$f.pcm" 2>/dev/null
  pairs+=("$f" "$f.pcm")
done
"$tool" --pairs "${pairs[@]}"
