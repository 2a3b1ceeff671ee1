#!/usr/bin/env bash
# The application and the engine built with ThreadSanitizer (in build-tsan-gui, only the
# program, at low priority) through one session on a private desktop: play, pause, next song,
# stop, quit (tests/display/under_tsan.py). Kept outside the test command: the build of the
# whole application under ThreadSanitizer takes longer than the rest of its phase.
#   tools/tsan_app.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
[ -f build-tsan-gui/CMakeCache.txt ] ||
  cmake -S . -B build-tsan-gui -G Ninja -DKIVO_TSAN=ON -DKIVO_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
nice -n 10 cmake --build build-tsan-gui --target kivo
KIVO_PROGRAM=$PWD/build-tsan-gui/bin/kivo KIVO_TEST_DATA=$PWD/tests/data \
  python3 tests/display/under_tsan.py
