#!/usr/bin/env bash
# Makes the small MP3/MP2 test files under tests/data/streams from a synthesized source:
# plucked tones over quiet pink noise, 2 s. Needs sox, lame and twolame (Debian packages).
#   tools/make_fixtures.sh [OUTPUT_DIR] [SECONDS]
# The benchmarks call it with a longer duration and a scratch directory.
set -euo pipefail
out="${1:-$(dirname "$0")/../tests/data/streams}"
seconds="${2:-2}"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Two voices a fifth apart, with a slow tremolo, over noise: tonal and transient content,
# different in the two channels so that joint stereo has work to do.
tones() {  # RATE CHANNELS FILE
  sox -q -n -r "$1" -c 2 -b 16 "$tmp/t.wav" synth "$seconds" pluck A3 pluck E4 tremolo 3 40
  sox -q -n -r "$1" -c 2 -b 16 "$tmp/n.wav" synth "$seconds" pinknoise pinknoise vol 0.08
  sox -q -m "$tmp/t.wav" "$tmp/n.wav" -c "$2" "$3" norm -3
}
tones 44100 2 "$tmp/s44.wav"
tones 22050 1 "$tmp/m22.wav"
tones 11025 2 "$tmp/s11.wav"

lame() { command lame --quiet --noreplaygain "$@"; }
lame -b 128 -m j "$tmp/s44.wav" "$out/l3_128_joint.mp3"
lame -b 320 -m j "$tmp/s44.wav" "$out/l3_320_joint.mp3"
lame -V 2 "$tmp/s44.wav" "$out/l3_vbr_v2.mp3"
lame -b 64 -m m "$tmp/m22.wav" "$out/l3_mpeg2_22k_mono_64.mp3"
lame -b 32 -m j "$tmp/s11.wav" "$out/l3_mpeg25_11k_32.mp3"
lame --freeformat -b 320 -m j "$tmp/s44.wav" "$out/l3_free_320.mp3"
twolame --quiet -b 192 -m s "$tmp/s44.wav" "$out/l2_192_stereo.mp2"

# Tag variants of the 128 kbps file: ID3v2.3 (with padding), ID3v1, and both.
tags=(--tt "Kivo test" --ta "Kivo" --tl "Fixtures" --ty 2026)
lame -b 128 -m j --id3v2-only --pad-id3v2 "${tags[@]}" "$tmp/s44.wav" "$out/l3_128_id3v2.mp3"
lame -b 128 -m j --id3v1-only "${tags[@]}" "$tmp/s44.wav" "$out/l3_128_id3v1.mp3"
lame -b 128 -m j --add-id3v2 "${tags[@]}" "$tmp/s44.wav" "$out/l3_128_id3v1v2.mp3"
