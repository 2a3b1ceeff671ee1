#!/usr/bin/env bash
# Playback figures: CPU and peak memory of kivo-play playing a 128 kbps song in real time into
# a private PulseAudio null sink, natively and through ALSA's pulse plugin, with mpg123 -o pulse
# on the same song into the same sink at the same time, and the engine's time from NewPlay to
# its first device buffer. When the player is built and Xvfb and xdotool are there, also the
# player window's CPU on a private X display, idle and playing beside mpg123.
#   bench/playback/run.sh [BUILD_DIR] [SECONDS]      (markdown on standard output)
# Needs: bash tools/setup.sh mpg123 lame sox (and xvfb xdotool for the window)
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
window_pids=()
cleanup() {
  for pid in "${window_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
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
native=$(cat "$work/pulse.time")
alsa=$(cat "$work/alsa.time")
peer=$(cat "$work/peer.time")
start=$("$build/bin/kivo-bench-start" "$work/song.mp3" 30)

# The player window: CPU time from /proc over a stretch of idle, then while it plays the song
# (handed over by a second copy, as a file manager would) beside mpg123 started with it.
# (the window's own thread, the process's first, as /proc/PID/task/PID).
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
window_ticks() { awk '{ print $14 + $15 }' "/proc/$1/task/$1/stat"; }
percent() { awk -v t="$1" -v s="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t * 100 / hz / s }'; }
window_rows=""
if [ -x "$build/bin/kivo" ] && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  window_pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  mkdir -p "$work/home" "$work/data"
  cp "$build/bin/kivo" "$work/kivo"  # its playlists in $work/music, beside the copy
  # env runs the player in its own place, so that $! is the player itself.
  kivo=(env DISPLAY=:"$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb HOME="$work/home"
    XDG_DATA_HOME="$work/data" "$work/kivo")
  "${kivo[@]}" </dev/null >/dev/null 2>&1 &
  player=$!
  window_pids+=($player)
  for _ in $(seq 300); do
    DISPLAY=:$(head -1 "$work/display") xdotool search --name Kivo-mp3 >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 3  # the welcome balloon fades in and out
  idle=$(( seconds < 20 ? seconds : 20 ))
  before=$(ticks "$player"); sleep "$idle"; after=$(ticks "$player")
  window_idle=$(percent $((after - before)) "$idle")
  "${kivo[@]}" "$work/song.mp3" </dev/null >/dev/null 2>&1
  mpg123 -q -o pulse "$work/song.mp3" </dev/null >/dev/null 2>&1 &
  peer_pid=$!
  window_pids+=($peer_pid)
  sleep 1
  playing=$(( seconds > 4 ? seconds - 3 : 1 ))
  before=$(ticks "$player"); peer_before=$(ticks "$peer_pid"); thread_before=$(window_ticks "$player")
  sleep "$playing"
  after=$(ticks "$player"); peer_after=$(ticks "$peer_pid"); thread_after=$(window_ticks "$player")
  window_rows="
The player (\`kivo\`) on a private X display (Xvfb, no compositor), CPU from /proc over the
stretch, the whole process with its engine and, of it, the window's own thread (painting, the
turning disc, the status animation), in % of one core; mpg123 -o pulse over the same stretch,
started with the song:

| player | kivo | of it the window thread | mpg123 -o pulse | goal |
|---|---|---|---|---|
| idle, ${idle} s | $window_idle % | | | about 0 |
| playing, ${playing} s | $(percent $((after - before)) "$playing") % | $(percent $((thread_after - thread_before)) "$playing") % | $(percent $((peer_after - peer_before)) "$playing") % | under 0.5 % |"
fi
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
| CPU while playing | $(cpu "$native") % | $(cpu "$alsa") % | $(cpu "$peer") % | no more than mpg123 |
| peak resident memory | $(mib "$native") MiB | $(mib "$alsa") MiB | $(mib "$peer") MiB | under 8 MiB |
| wall time for the song | $(awk '{print $4}' <<<"$native") s | $(awk '{print $4}' <<<"$alsa") s | $(awk '{print $4}' <<<"$peer") s | |
$window_rows

Start-up, NewPlay to the first buffer handed to the device (virtual device paced in real time,
goal under 30 ms each):

\`\`\`
$start
\`\`\`
MD
