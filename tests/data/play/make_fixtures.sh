#!/usr/bin/env bash
# Makes the small MP3 files that the end-to-end tests play: one second of a chord over a sweep
# and some noise, encoded by the Debian encoders in every kind of stream the player takes.
# Run again only to change them; the files are kept in the repository.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

make_wav() {  # rate channels seconds file
  sox -n -r "$1" -c "$2" -b 16 "$4" synth "$3" sine 220-1760 sine 440 whitenoise \
    remix - gain -6 2>/dev/null || sox -n -r "$1" -c "$2" -b 16 "$4" synth "$3" sine 220-1760 gain -6
}
make_wav 44100 2 1.0 "$tmp/s44.wav"
make_wav 22050 2 1.0 "$tmp/s22.wav"
make_wav 11025 1 1.0 "$tmp/m11.wav"
make_wav 11025 1 3.0 "$tmp/m11-long.wav"
make_wav 48000 2 1.0 "$tmp/s48.wav"
make_wav 24000 1 1.0 "$tmp/m24.wav"

q() { "$@" >/dev/null 2>&1; }
q lame --nohist -b 128 --id3v1-only --tt "Kivo one" "$tmp/s44.wav" l3-cbr-id3v1.mp3
q lame --nohist -V 4 --vbr-new --id3v2-only --tt "Kivo two" --ta "Kivo" "$tmp/s44.wav" l3-vbr-xing-id3v2.mp3
q lame --nohist --freeformat -b 320 -t "$tmp/s48.wav" l3-free-format.mp3
q lame --nohist -b 64 -t "$tmp/s22.wav" l3-mpeg2-22050.mp3
q lame --nohist -b 32 -m m -t "$tmp/m24.wav" l3-mpeg2-mono-24000.mp3
q lame --nohist -b 16 -m m -t "$tmp/m11-long.wav" l3-mpeg25-11025.mp3
# Shorter than the stream search looks ahead.
q lame --nohist -b 16 -m m -t "$tmp/m11.wav" l3-short-mpeg25.mp3
q twolame -b 192 "$tmp/s44.wav" l2-cbr.mp2
q twolame -b 96 "$tmp/s22.wav" l2-mpeg2-22050.mp2
# Variable bitrate: the loud second and the quiet one take frames of different lengths.
sox -n -r 44100 -c 2 -b 16 "$tmp/quiet.wav" synth 1.0 sine 440 gain -30
sox "$tmp/s44.wav" "$tmp/quiet.wav" "$tmp/loud-quiet.wav"
q twolame -V 0 "$tmp/loud-quiet.wav" l2-vbr.mp2
# A Layer II file with both tags, the ID3v2 one in front of the stream.
{ printf 'ID3\x03\x00\x00\x00\x00\x00\x20'; head -c 32 /dev/zero; cat l2-cbr.mp2; \
  printf 'TAG%-30s%-30s%-30s%-4s%-30s\xff' "Kivo three" "Kivo" "" "2026" ""; } > l2-id3v1-id3v2.mp2
ls -l
