#!/usr/bin/env bash
# Builds Kivo's Debian package: package.sh [DIR]   (default build-package)
# The package lands in DIR; install it with `sudo apt install ./DIR/kivo_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
# dpkg-shlibdeps and file find the libraries the package depends on.
tools/setup.sh dpkg-dev file
tools/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DKIVO_TESTS=OFF
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/kivo_*.deb
