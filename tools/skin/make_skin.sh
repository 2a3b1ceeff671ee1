#!/usr/bin/env bash
# Regenerates the whole Kivo skin into assets/: every picture, both sound clips, the desktop
# icons, the resource list and the contact sheet, then verifies it. Needs ImageMagick,
# librsvg2-bin (rsvg-convert), python3, sox, espeak-ng, lame and fonts-wqy-microhei; none of
# them is needed to build Kivo.
# Usage: tools/skin/make_skin.sh [ASSETS_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
assets=${1:-$here/../../assets}
for tool in /usr/bin/convert montage rsvg-convert python3 sox espeak-ng lame; do
  command -v "$tool" >/dev/null || { echo "make_skin: $tool is missing" >&2; exit 1; }
done
mkdir -p "$assets/pictures" "$assets/sounds" "$assets/preview"
python3 "$here/make_pictures.py" "$assets/pictures"
bash "$here/make_sounds.sh" "$assets/sounds"
python3 "$here/asset_names.py" >"$assets/assets.qrc"
python3 "$here/make_icons.py" "$assets/icons"
python3 "$here/make_sheet.py" "$assets" "$assets/preview/skin-sheet.png"
bash "$here/check_skin.sh" "$assets"
