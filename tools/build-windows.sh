#!/usr/bin/env bash
# Cross-builds the engine, its devices and the command-line programs for 64-bit Windows:
#   tools/build-windows.sh BUILD_DIR [cmake options...]
# gives BUILD_DIR/bin/kivo-decode.exe and kivo-play.exe, the engine, decoder and device test
# programs in BUILD_DIR/tests, and the release zip BUILD_DIR/kivo-windows.zip. GoogleTest is
# built first from Debian's sources with the same compiler (Debian ships it for Linux only).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: tools/build-windows.sh BUILD_DIR [cmake options...]" >&2; exit 2; }
dir=$(realpath -m "$1")
shift
toolchain=$PWD/tools/windows/mingw-w64-x86_64.cmake
gtest_src=/usr/src/googletest

if [ ! -f "$dir/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S "$gtest_src" -B "$dir/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
    -DCMAKE_INSTALL_PREFIX="$dir/gtest" >/dev/null
  cmake --build "$dir/gtest-build" -j "$(nproc)" >/dev/null
  cmake --install "$dir/gtest-build" >/dev/null
fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKIVO_GUI=OFF \
  -DCMAKE_PREFIX_PATH="$dir/gtest" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"

# The release: the two programs and a short read-me, in one zip.
python3 - "$dir" tools/windows/README.txt <<'PY'
import sys, zipfile
build, readme = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(f"{build}/kivo-windows.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for name in ("kivo-play.exe", "kivo-decode.exe"):
        z.write(f"{build}/bin/{name}", f"kivo/{name}")
    z.write(readme, "kivo/README.txt")
PY
