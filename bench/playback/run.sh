#!/usr/bin/env bash
# Playback figures: CPU and peak memory of kivo-play playing a 128 kbps song in real time into
# a private PulseAudio null sink, natively and through ALSA's pulse plugin, with mpg123 -o pulse
# on the same song into the same sink at the same time, and the engine's time from NewPlay to
# its first device buffer.
#   bench/playback/run.sh [BUILD_DIR] [SECONDS]      (markdown on standard output)
# Needs: bash tools/setup.sh mpg123 lame sox
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
seconds=${2:-30}
for tool in pulseaudio lame sox mpg123 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (tools/setup.sh mpg123 lame sox)" >&2; exit 1; }
done
[ -x "$build/bin/kivo-play" ] && [ -x "$build/bin/kivo-bench-start" ] ||
  { echo "run.sh: build kivo-play and kivo-bench-start in $build first" >&2; exit 1; }

work=$(mktemp -d /tmp/kivo-bench-XXXXXX)
pulse_pid=""
cleanup() {
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The song: a sweep, a tone and noise, as busy for the decoder as music.
sox -n -r 44100 -c 2 -b 16 "$work/song.wav" synth "$seconds" sine 220-1760 sine 440 pinknoise \
  remix 1,3 2,3 gain -8 2>/dev/null
lame --quiet -b 128 "$work/song.wav" "$work/song.mp3"

# A private sound server with one null sink, as in the device tests.
mkdir -p "$work/runtime/pulse" && chmod 700 "$work/runtime"
cat > "$work/default.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/native
load-module module-null-sink sink_name=kivo_null rate=44100 channels=2 format=s16le
set-default-sink kivo_null
PA
echo "autospawn = no" > "$work/client.conf"
export XDG_RUNTIME_DIR=$work/runtime PULSE_RUNTIME_PATH=$work/runtime/pulse
export PULSE_SERVER=unix:$work/native PULSE_CLIENTCONFIG=$work/client.conf
HOME=$work pulseaudio -n -F "$work/default.pa" --daemonize=yes --exit-idle-time=-1 \
  --use-pid-file=yes --log-target=file:"$work/pulse.log" 2>>"$work/pulse.log"
for _ in $(seq 100); do [ -S "$work/native" ] && break; sleep 0.05; done
pulse_pid=$(cat "$work/runtime/pulse/pid")

# user s, system s, peak resident KiB, elapsed s of one command, into the file $1
measure() {
  local out=$1
  shift
  /usr/bin/time -f "%U %S %M %e" -o "$out" "$@" </dev/null >/dev/null 2>&1
}
cpu() { awk '{ printf "%.2f", ($1 + $2) * 100 / $4 }' <<<"$1"; }
mib() { awk '{ printf "%.1f", $3 / 1024 }' <<<"$1"; }

# The three players side by side, so that a busy machine weighs on each alike.
measure "$work/pulse.time" "$build/bin/kivo-play" --device pulse "$work/song.mp3" &
measure "$work/alsa.time" "$build/bin/kivo-play" --device alsa "$work/song.mp3" &
measure "$work/peer.time" mpg123 -q -o pulse "$work/song.mp3" &
wait
kivo=$(cat "$work/pulse.time")
alsa=$(cat "$work/alsa.time")
peer=$(cat "$work/peer.time")
start=$("$build/bin/kivo-bench-start" "$work/song.mp3" 30)
load=$(cut -d' ' -f1-3 /proc/loadavg)

cat <<MD
# Playback figures

Measured by \`bench/playback/run.sh\` on $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')),
$(date -u +%Y-%m-%d), load average $load at the end, a ${seconds}-second 128 kbps joint-stereo MP3
at 44.1 kHz played in real time into a private PulseAudio null sink by the three players at
once. CPU is user + system time of the whole process over its run, in % of one core; the sound
server's own work is not counted for any player.

| what | kivo-play (PulseAudio, the default) | kivo-play --device alsa | mpg123 -o pulse | goal |
|---|---|---|---|---|
| CPU while playing | $(cpu "$kivo") % | $(cpu "$alsa") % | $(cpu "$peer") % | no more than mpg123 |
| peak resident memory | $(mib "$kivo") MiB | $(mib "$alsa") MiB | $(mib "$peer") MiB | under 8 MiB |
| wall time for the song | $(awk '{print $4}' <<<"$kivo") s | $(awk '{print $4}' <<<"$alsa") s | $(awk '{print $4}' <<<"$peer") s | |

Start-up, NewPlay to the first buffer handed to the device (virtual device paced in real time,
goal under 30 ms each):

\`\`\`
$start
\`\`\`
MD
