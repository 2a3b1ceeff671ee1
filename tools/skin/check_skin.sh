#!/usr/bin/env bash
# Verifies the skin in assets/: picture sizes and frame counts, the colour key (no half
# transparency, no pale fringe beside the key, transparent index coloured as the key), the
# exact byte lengths the player relies on, the start-up clip's RIFF header and the resource list.
# Usage: tools/skin/check_skin.sh [ASSETS_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/check_skin.py" "${1:-$here/../../assets}"
