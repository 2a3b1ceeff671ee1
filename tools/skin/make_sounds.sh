#!/usr/bin/env bash
# Makes the two sound clips of the skin: the start-up greeting (MPEG Layer 3 data in a RIFF
# WAVE of exactly 14,650 bytes, built by wav_mp3.py) and the web window's chime (plain PCM).
# Usage: make_sounds.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_sounds.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# A bright plucked note: name, frequency, length in seconds.
pluck() { sox -R -n -r 24000 -c 1 -b 16 "$tmp/$1.wav" synth "$3" pluck "$2" fade 0 "$3" "$3" vol 0.55; }
bell() {  # a soft bell: sine plus an octave, fast decay
  sox -R -n -r "$4" -c 1 -b 16 "$tmp/$1.wav" synth "$3" sine "$2" sine "$(awk "BEGIN{print $2*2}")" \
      remix - fade 0.005 "$3" "$(awk "BEGIN{print $3*0.95}")" vol 0.45
}
voice() {  # text, output name, rate: Kivo's voice is espeak-ng's Mandarin voice, nudged up
  espeak-ng -v cmn -s 200 -p 70 -w "$tmp/$2-raw.wav" "$1"
  sox -R "$tmp/$2-raw.wav" -r "$3" -c 1 -b 16 "$tmp/$2.wav" silence 1 0.02 1% reverse silence 1 0.02 1% \
      reverse pitch 250 tempo 1.08 gain -n -3
}

# ---- start-up: jingle, greeting, sparkle; 24 kHz mono, 3.6 s
pluck c5 523.25 0.5; pluck e5 659.25 0.5; pluck g5 783.99 0.5; pluck c6 1046.5 0.7
bell ding1 1567.98 0.45 24000; bell ding2 2093.0 0.55 24000
voice "欢迎使用Kivo播放器！" greet 24000
sox -R -m -v 0.7 "$tmp/c5.wav" -v 0.7 "|sox -R $tmp/e5.wav -p pad 0.12" -v 0.7 "|sox -R $tmp/g5.wav -p pad 0.24" \
    -v 0.7 "|sox -R $tmp/c6.wav -p pad 0.36" -v 1.1 "|sox -R $tmp/greet.wav -p pad 0.62" \
    -v 0.6 "|sox -R $tmp/ding1.wav -p pad 2.82" -v 0.6 "|sox -R $tmp/ding2.wav -p pad 2.94" \
    "$tmp/startup-mix.wav"
sox -R "$tmp/startup-mix.wav" "$tmp/startup.wav" pad 0 0.5 trim 0 3.56 fade 0 -0 0.06 gain -n -1.5
lame --quiet -t --cbr -b 32 -m m --resample 24 -q 2 --noreplaygain "$tmp/startup.wav" "$tmp/startup.mp3"
python3 "$here/wav_mp3.py" "$tmp/startup.mp3" "$out/startup.wav"

# ---- web window: ding-dong and "the music is here"; 22.05 kHz 16-bit PCM
bell dong1 1318.5 0.5 22050; bell dong2 1046.5 0.7 22050
voice "音乐来啦！" web 22050
sox -R -m -v 0.7 "$tmp/dong1.wav" -v 0.7 "|sox -R $tmp/dong2.wav -p pad 0.28" \
    -v 1.1 "|sox -R $tmp/web.wav -p pad 0.55" "$tmp/web-mix.wav"
sox -R "$tmp/web-mix.wav" -r 22050 -c 1 -b 16 -e signed-integer "$out/web.wav" gain -n -1.5 fade 0 -0 0.08
echo "startup.wav: $(stat -c %s "$out/startup.wav") bytes; web.wav: $(stat -c %s "$out/web.wav") bytes"
