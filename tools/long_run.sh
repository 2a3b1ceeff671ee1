#!/usr/bin/env bash
# The long run kept as evidence, outside the test command (it takes long): loop mode over 200
# very short songs for SECONDS (600 by default), the application and the engine built with
# AddressSanitizer + UBSan (in build-asan-gui, only what the run needs, at low priority). It
# prints the laps, the memory after the first lap and its growth to the end, how much deeper
# the window thread's stack reached, and the longest pause between window events; it fails
# when memory grows, waits nest or the window stops handling events.
#   tools/long_run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
[ -f build-asan-gui/CMakeCache.txt ] ||
  cmake -S . -B build-asan-gui -G Ninja -DKIVO_ASAN=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" >/dev/null
nice -n 10 cmake --build build-asan-gui --target kivo_long_run
# Qt's and fontconfig's caches live until the process ends: leaks are the engine suites'
# question (they run with leak checking), growth over the run is this one's. AddressSanitizer
# holds freed memory back before reusing it (256 MB by default), which would read as growth:
# a small quarantine keeps the figure about our memory.
KIVO_LONG_RUN_SECONDS=$seconds QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=detect_leaks=0:halt_on_error=1:quarantine_size_mb=8 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  build-asan-gui/tests/kivo_long_run --gtest_filter='LongRunTest.*'
