#!/usr/bin/env bash
# The layers' include rules: the engine stays portable C++ (Qt and ALSA only behind
# engine/device/) and knows nothing of the runtime or the application; the runtime knows
# nothing of the application. Headers are included by bare name, so a name belongs to a layer
# when only that layer has a header of that name.
set -euo pipefail
cd "$(dirname "$0")/.."

failed=0
report() {
  echo "include rule broken: $1" >&2
  failed=1
}

# Prints "file:line:name" for each quoted include of the C++ files under the folders.
quoted_includes() {
  grep -rHn --include='*.cpp' --include='*.h' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$@" |
    sed -E 's/^([^:]*:[0-9]+):.*include[[:space:]]*"([^"]*)".*/\1:\2/' || true
}

# Header names found under the first folder and under none of the others.
own_headers() {
  local own=$1
  shift
  comm -23 <(find "$own" -name '*.h' -printf '%f\n' | sort -u) \
           <(find "$@" -name '*.h' -printf '%f\n' | sort -u)
}

# forbid FOLDER UPPER-FOLDER OTHER-FOLDERS...: FOLDER includes no header of UPPER-FOLDER.
forbid() {
  local folder=$1 upper=$2
  shift 2
  local line
  while IFS= read -r line; do
    report "$line is a header of $upper/"
  done < <(quoted_includes "$folder" |
           awk -F: 'NR == FNR { own[$0] = 1; next } ($3 in own) || ($3 ~ /(^|\/)'"$upper"'\//)' \
               <(own_headers "$upper" "$@") -)
}

forbid engine runtime engine
forbid engine app engine runtime
forbid runtime app runtime engine

# Qt and ALSA: system includes in the engine, outside the device layer.
while IFS= read -r line; do
  report "$line: Qt or ALSA in the engine outside engine/device/"
done < <(find engine -path engine/device -prune -o \( -name '*.cpp' -o -name '*.h' \) -print |
         xargs grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z0-9_]*|alsa/[^>]*|asoundlib\.h)>' || true)

exit $failed
