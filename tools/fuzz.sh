#!/usr/bin/env bash
# Runs the decoder fuzzer of BUILD_DIR for SECONDS, seeded with pieces of the conformance
# vectors and the stream fixtures cut at frame starts. Exits non-zero when it finds a crash;
# the input that crashed is kept in BUILD_DIR/fuzz-artifacts.
#   tools/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/fuzz.sh BUILD_DIR SECONDS}
seconds=${2:-60}
fuzzer="$build/bin/kivo_fuzz_decoder"
[ -x "$fuzzer" ] || { echo "fuzz: $fuzzer not built" >&2; exit 1; }
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

# Seeds: the three header bytes after 0xFF and a frame-byte count, then up to 3 KiB of the
# stream from a frame start, taken at a few places in each file.
python3 - "$corpus" tests/data/conformance/*.bit tests/data/streams/* <<'PY'
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

echo "fuzz: $(ls "$corpus" | wc -l) seeds, $seconds s" >&2
"$fuzzer" "$corpus" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$artifacts/" -print_final_stats=1 2>"$build/fuzz.log" || {
  status=$?
  tail -n 40 "$build/fuzz.log" >&2
  echo "fuzz: failed (exit $status); inputs in $artifacts" >&2
  exit 1
}
tail -n 12 "$build/fuzz.log" | grep -E '^stat::(number_of_executed_units|peak_rss)' >&2 || true
echo "fuzz: clean" >&2
