#!/usr/bin/env bash
# Decoding speed of kivo-decode beside mpg123 and ffmpeg on the same files: whole process on one
# core (taskset -c 0), 16-bit PCM thrown away, the CPU time (user + system) of the best of RUNS
# runs on files SECONDS long (default 180 s, a song's length: process start-up weighs as it
# does for a user); then instructions per second of audio under callgrind, which a busy machine
# does not disturb, on the same kinds of file COUNT_SECONDS long (default 30 s: callgrind runs
# many times slower).
#   bench/peers.sh [BUILD_DIR] [SECONDS] [RUNS] [COUNT_SECONDS]
# Installs the peers when missing (Debian packages, for benchmarking only).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-180}
runs=${3:-7}
count_seconds=${4:-30}
if ! command -v mpg123 >/dev/null || ! command -v ffmpeg >/dev/null || ! command -v valgrind >/dev/null; then
  tools/setup.sh mpg123 ffmpeg valgrind
fi
ours="$build/bin/kivo-decode"
[ -x "$ours" ] || { echo "peers: $ours not built" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/timed" "$work/counted"
tools/make_fixtures.sh "$work/timed" "$seconds" >/dev/null
tools/make_fixtures.sh "$work/counted" "$count_seconds" >/dev/null
files=(l3_128_joint.mp3 l3_320_joint.mp3 l3_vbr_v2.mp3 l3_mpeg2_22k_mono_64.mp3
       l3_mpeg25_11k_32.mp3 l3_free_320.mp3 l2_192_stereo.mp2)

command_for() {  # DECODER FILE: sets cmd to the command line decoding FILE to stdout
  case $1 in
    kivo) cmd=("$ours" --raw "$2" -) ;;
    mpg123) cmd=(mpg123 -q -s "$2") ;;
    ffmpeg) cmd=(ffmpeg -nostdin -v quiet -threads 1 -i "$2" -f s16le -acodec pcm_s16le -) ;;
  esac
}

best_time() {  # DECODER FILE -> CPU seconds (user + system) of the best of $runs runs, or "fail"
  local cmd
  command_for "$1" "$2"
  # CPU time rather than wall time: on a shared machine it is what the decoder itself costs.
  python3 - "$runs" taskset -c 0 "${cmd[@]}" <<'PY'
import resource, subprocess, sys
runs, cmd = int(sys.argv[1]), sys.argv[2:]
best = None
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        print("fail")
        sys.exit(0)
    t = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    best = t if best is None else min(best, t)
print(f"{best:.6f}")
PY
}

instructions() {  # DECODER FILE -> instructions executed by the whole process, 0 if unmeasured
  local cmd out
  command_for "$1" "$2"
  # A decoder that dies under valgrind (ffmpeg meets an instruction valgrind cannot run on
  # processors with AVX-512) has no count, rather than the count of its start.
  if out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "${cmd[@]}" 2>&1 >/dev/null); then
    awk '/Collected :/ { n = $NF } END { print n + 0 }' <<<"$out"
  else
    echo 0
  fi
}

audio_seconds() {  # FILE -> its length in seconds
  "$ours" --info "$1" | sed -n 's/^duration: .*(\([0-9.]*\) s)$/\1/p'
}

printf '| file | audio s | kivo x RT | mpg123 x RT | ffmpeg x RT | vs mpg123 | vs ffmpeg | kivo M instr/s | mpg123 M instr/s | ffmpeg M instr/s |\n'
printf '|---|---|---|---|---|---|---|---|---|---|\n'
for f in "${files[@]}"; do
  path="$work/timed/$f"
  audio=$(audio_seconds "$path")
  counted=$(audio_seconds "$work/counted/$f")
  declare -A t=() ir=()
  for d in kivo mpg123 ffmpeg; do
    t[$d]=$(best_time $d "$path")
    ir[$d]=$(instructions $d "$work/counted/$f")
  done
  for d in kivo mpg123 ffmpeg; do
    [ "${t[$d]}" = fail ] && ir[$d]=0
  done
  # A peer that cannot decode a file (ffmpeg and free format) shows "-".
  awk -v f="$f" -v a="$audio" -v ac="$counted" -v tk="${t[kivo]}" -v tm="${t[mpg123]}" -v tf="${t[ffmpeg]}" \
      -v ik="${ir[kivo]}" -v im="${ir[mpg123]}" -v if_="${ir[ffmpeg]}" '
    function rt(t) { return t == "fail" ? "-" : sprintf("%.0f", a / t) }
    function ratio(t) { return (t == "fail" || tk == "fail") ? "-" : sprintf("%.2f", t / tk) }
    function mi(n) { return n == 0 ? "-" : sprintf("%.2f", n / ac / 1e6) }
    BEGIN {
      printf "| %s | %.1f | %s | %s | %s | %s | %s | %s | %s | %s |\n", f, a, rt(tk), rt(tm),
        rt(tf), ratio(tm), ratio(tf), mi(ik), mi(im), mi(if_)
    }'
done
