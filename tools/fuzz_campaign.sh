#!/usr/bin/env bash
# A long fuzzing campaign: every target of BUILD_DIR in turn, ROUND seconds at a time, on one
# core at the lowest priority, until SECONDS have passed. Corpora grow in
# BUILD_DIR/fuzz-campaign/TARGET from round to round; after every round the figures (executions,
# coverage, corpus, peak memory, findings) are written into docs/FUZZING.md, between its
# marker lines, so that a campaign stopped early still leaves its figures.
#   tools/fuzz_campaign.sh BUILD_DIR SECONDS [ROUND]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/fuzz_campaign.sh BUILD_DIR SECONDS [ROUND]}
total=${2:?seconds}
round=${3:-300}
work="$build/fuzz-campaign"
mkdir -p "$work"
targets=$(ls "$build/bin" | sed -n 's/^kivo_fuzz_//p' | sort)
started=$(date +%s)
[ -f "$work/started" ] || date -u '+%Y-%m-%d %H:%M UTC' >"$work/started"

# Adds one run's figures to the target's running totals: executions, seconds, and the last
# coverage, features, corpus and peak memory seen.
record() {
  local target=$1 log=$2 result=$3
  local execs cov ft corp rss
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  read -r cov ft corp < <(grep -E '(DONE|pulse|NEW|REDUCE) +cov:' "$log" | tail -1 |
    sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+).*/\1 \2 \3/') || true
  local file="$work/$target.totals"
  local old_execs=0 old_secs=0 old_findings=0
  [ -f "$file" ] && read -r old_execs old_secs old_findings _ <"$file"
  [ "$result" = clean ] || old_findings=$((old_findings + 1))
  echo "$((old_execs + ${execs:-0})) $((old_secs + round)) $old_findings ${cov:-?} ${ft:-?}" \
    "${corp:-?} ${rss:-?}" >"$file"
}

report() {
  local table="$work/table.md" all=0
  {
    echo "Campaign started $(cat "$work/started"), last round ended $(date -u '+%Y-%m-%d %H:%M UTC');"
    echo "one core, nice 19, ASan + UBSan (\`-fno-sanitize-recover=undefined\`), leak checking on."
    echo
    echo "| target | executions | time (s) | edges covered | features | corpus | peak RSS (MB) | findings |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    for target in $targets; do
      [ -f "$work/$target.totals" ] || continue
      read -r execs secs findings cov ft corp rss <"$work/$target.totals"
      all=$((all + execs))
      echo "| $target | $execs | $secs | $cov | $ft | $corp | $rss | $findings |"
    done
    echo
    echo "Total: $all executions."
  } >"$table"
  python3 - docs/FUZZING.md "$table" <<'PY'
import sys
doc, table = sys.argv[1], open(sys.argv[2]).read()
start, end = '<!-- campaign figures -->', '<!-- end of campaign figures -->'
text = open(doc).read()
a, b = text.index(start) + len(start), text.index(end)
open(doc, 'w').write(text[:a] + '\n' + table + text[b:])
PY
}

while [ $(($(date +%s) - started)) -lt "$total" ]; do
  # Targets built while the campaign runs join at the next round.
  targets=$(ls "$build/bin" | sed -n 's/^kivo_fuzz_//p' | sort)
  for target in $targets; do
    log="$work/$target.log"
    if KIVO_FUZZ_CORPUS="$work" nice -n 19 tools/fuzz.sh "$build" "$round" "$target" \
        2>/dev/null; then
      cp "$build/fuzz-$target.log" "$log"
      record "$target" "$log" clean
    else
      cp "$build/fuzz-$target.log" "$log"
      cp "$log" "$work/$target.finding.$(date +%s).log"
      record "$target" "$log" finding
    fi
    report
    [ $(($(date +%s) - started)) -lt "$total" ] || break
  done
done
