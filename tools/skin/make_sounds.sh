#!/usr/bin/env bash
# Makes the two sound clips of the skin: the start-up greeting (MPEG Layer 3 data in a RIFF
# WAVE of exactly 14,650 bytes, built by wav_mp3.py) and the web window's chime (plain PCM).
# sox runs with a fixed random seed (-R), so the clips come out the same every time.
# Usage: make_sounds.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_sounds.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

times() { awk "BEGIN{print $1 * $2}"; }

# A bright plucked note: name, frequency, seconds.
pluck() {
  sox -R -n -r 24000 -c 1 -b 16 "$tmp/$1.wav" synth "$3" pluck "$2" fade 0 "$3" "$3" vol 0.55
}
# A soft bell, a sine and its octave with a fast decay: name, frequency, seconds, rate.
bell() {
  sox -R -n -r "$4" -c 1 -b 16 "$tmp/$1.wav" synth "$3" sine "$2" sine "$(times "$2" 2)" \
    remix - fade 0.005 "$3" "$(times "$3" 0.95)" vol 0.45
}
# Kivo's voice, espeak-ng's Mandarin voice nudged up and trimmed: text, name, rate.
voice() {
  espeak-ng -v cmn -s 200 -p 70 -w "$tmp/$2-raw.wav" "$1"
  sox -R "$tmp/$2-raw.wav" -r "$3" -c 1 -b 16 "$tmp/$2.wav" \
    silence 1 0.02 1% reverse silence 1 0.02 1% reverse pitch 250 tempo 1.08 gain -n -3
}
# One input of a mix: a clip starting at a time, with a volume.
at() { printf "%s\n" -v "$3" "|sox -R $tmp/$1.wav -p pad $2"; }
# A silent track that gives a mix its exact length: seconds, rate.
length() { printf "%s\n" -v 1 "|sox -R -n -r $2 -c 1 -p trim 0 $1"; }

# ---- start-up: jingle, greeting, sparkle; 24 kHz mono, 3.56 s, 32 kbit/s Layer III
pluck c5 523.25 0.5
pluck e5 659.25 0.5
pluck g5 783.99 0.5
pluck c6 1046.5 0.7
bell ding1 1567.98 0.45 24000
bell ding2 2093.0 0.55 24000
voice "欢迎使用Kivo播放器！" greet 24000
IFS=$'\n'
# shellcheck disable=SC2046  # each line printed by `at` is one argument
sox -R -m $(at c5 0 0.7) $(at e5 0.12 0.7) $(at g5 0.24 0.7) $(at c6 0.36 0.7) \
  $(at greet 0.62 1.1) $(at ding1 2.82 0.6) $(at ding2 2.94 0.6) $(length 3.56 24000) \
  "$tmp/startup-mix.wav"
unset IFS
sox -R "$tmp/startup-mix.wav" "$tmp/startup.wav" fade 0 -0 0.06 gain -n -1.5
lame --quiet -t --cbr -b 32 -m m --resample 24 -q 2 --noreplaygain \
  "$tmp/startup.wav" "$tmp/startup.mp3"
python3 "$here/wav_mp3.py" "$tmp/startup.mp3" "$out/startup.wav"

# ---- web window: ding-dong and "the music is here"; 22.05 kHz 16-bit PCM
bell dong1 1318.5 0.5 22050
bell dong2 1046.5 0.7 22050
voice "音乐来啦！" web 22050
IFS=$'\n'
# shellcheck disable=SC2046
sox -R -m $(at dong1 0 0.7) $(at dong2 0.28 0.7) $(at web 0.55 1.1) "$tmp/web-mix.wav"
unset IFS
sox -R "$tmp/web-mix.wav" -b 16 -e signed-integer "$out/web.wav" gain -n -1.5 fade 0 -0 0.08
echo "startup.wav: $(stat -c %s "$out/startup.wav") bytes," \
  "web.wav: $(stat -c %s "$out/web.wav") bytes"
