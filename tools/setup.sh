#!/usr/bin/env bash
# Installs the Debian packages Kivo needs; quiet when all are present.
#   setup.sh [PACKAGE...]         what building and running need
#   setup.sh --test [PACKAGE...]  that, and the tools the tests use
# Extra package names may be given as arguments (the benchmarks add their peers this way).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n
  qt6-webengine-dev libqt6webenginecore6-bin
  libasound2-dev libasound2-plugins libpulse-dev libxcb1-dev fonts-wqy-microhei libtag1-dev
)
if [ "${1:-}" = "--test" ]; then
  shift
  packages+=(
    clang libclang-rt-14-dev python3 libgtest-dev libgmock-dev
    pulseaudio pulseaudio-utils
    xvfb xcompmgr x11-utils xdotool imagemagick
    tesseract-ocr tesseract-ocr-chi-sim python3-tesserocr openssl
    dbus-daemon libglib2.0-bin
    desktop-file-utils appstream dpkg-dev file
    g++-mingw-w64-x86-64-posix wine64
    lame
  )
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
