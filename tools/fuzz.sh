#!/usr/bin/env bash
# Runs each fuzz target of BUILD_DIR for SECONDS, seeded with its committed corpus in
# tests/fuzz/seeds (the decoder also with pieces of the conformance vectors and the stream
# fixtures cut at frame starts). Exits non-zero when a target finds a crash, a leak or undefined
# behaviour; the input is kept in BUILD_DIR/fuzz-artifacts.
#   tools/fuzz.sh BUILD_DIR SECONDS [TARGET...]     (targets: decoder stream_header playlist ...)
# KIVO_FUZZ_CORPUS=DIR keeps each target's corpus in DIR/TARGET between runs (the campaign).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/fuzz.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:-15}
shift 2 || shift $#
if [ $# -eq 0 ]; then
  set -- $(ls "$build/bin" | sed -n 's/^kivo_fuzz_//p' | sort)
fi
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Decoder seeds: the three header bytes after 0xFF and a frame-byte count, then up to 3 KiB of
# the stream from a frame start, taken at a few places in each file.
decoder_seeds() {
  python3 - "$1" tests/data/conformance/*.bit tests/data/streams/* <<'PY'
import sys, os
out = sys.argv[1]
for path in sys.argv[2:]:
    data = open(path, 'rb').read()
    starts = [i for i in range(len(data) - 4)
              if data[i] == 0xFF and data[i + 1] & 0xE0 == 0xE0 and data[i + 2] >> 4 != 15]
    picked = starts[:2] + starts[len(starts) // 2:len(starts) // 2 + 1] + starts[-1:]
    for k, s in enumerate(picked):
        seed = data[s + 1:s + 4] + (1044).to_bytes(2, 'big') + data[s:s + 3072]
        name = os.path.basename(path).replace('.', '_')
        open(os.path.join(out, f'{name}_{k}'), 'wb').write(seed)
PY
}

status=0
for target in "$@"; do
  fuzzer="$build/bin/kivo_fuzz_$target"
  [ -x "$fuzzer" ] || { echo "fuzz: $fuzzer not built" >&2; exit 1; }
  corpus="${KIVO_FUZZ_CORPUS:-$scratch}/$target"
  mkdir -p "$corpus"
  seeds="$scratch/seeds-$target"
  mkdir -p "$seeds"
  [ -d "tests/fuzz/seeds/$target" ] && cp tests/fuzz/seeds/"$target"/* "$seeds"/
  [ "$target" = decoder ] && decoder_seeds "$seeds"
  log="$build/fuzz-$target.log"
  echo "fuzz: $target, $(ls "$seeds" | wc -l) seeds, $seconds s" >&2
  if "$fuzzer" "$corpus" "$seeds" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$artifacts/$target-" -print_final_stats=1 \
      2>"$log"; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/fuzz: $target /" >&2 || true
  else
    tail -n 40 "$log" >&2
    echo "fuzz: $target failed; inputs in $artifacts" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "fuzz: clean" >&2
exit $status
