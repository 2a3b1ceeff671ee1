#!/usr/bin/env bash
# Sets up, builds and runs every test: the layers' include rules, the skin check, the normal
# build with the Windows build run under Wine beside it, then the engine under
# AddressSanitizer+UBSan and ThreadSanitizer, then every fuzz target for 10 s.
# KIVO_QUICK=1 runs only the normal build's tests.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each phase says how long it took, so that the whole command's time can be kept in check.
started=$SECONDS
phase() { echo "== test.sh: $1 done at $((SECONDS - started)) s" >&2; }
bash tools/check_includes.sh
tools/setup.sh --test
phase "set-up"
jobs=$(nproc)
# The web view's engine refuses to start as root inside its sandbox (CI runs as root).
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

# The skin: picture sizes, frames, colour key and the start-up clip's header.
bash tools/skin/check_skin.sh

# The tests' builds carry no or only line debug information: they compile about a third faster,
# sanitizer reports still name the lines, and a failing test is rerun under a debugger from a
# normal build.
tools/build.sh build -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
phase "build"
# The engine and the command-line programs for Windows; kivo_windows_tests runs them under Wine.
tools/build-windows.sh build-windows
export KIVO_WINDOWS_BUILD=$PWD/build-windows
phase "Windows build"
(cd build && ctest --output-on-failure --no-tests=error --timeout 600 --repeat until-pass:2 -j "$jobs")
phase "tests"

[ -n "${KIVO_QUICK:-}" ] && exit 0

tools/build.sh build-asan -DKIVO_ASAN=ON -DKIVO_GUI=OFF -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1
(cd build-asan && ctest --output-on-failure --timeout 600 --repeat until-pass:2 -j "$jobs" -LE no-sanitizer)
phase "AddressSanitizer+UBSan"

tools/build.sh build-tsan -DKIVO_TSAN=ON -DKIVO_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/../tools/tsan.supp" ctest --output-on-failure --timeout 600 --repeat until-pass:2 -j "$jobs" -LE no-sanitizer)
phase "ThreadSanitizer"

CC=clang CXX=clang++ tools/build.sh build-fuzz -DKIVO_FUZZ=ON -DKIVO_GUI=OFF -DKIVO_TESTS=OFF
tools/fuzz.sh build-fuzz "${KIVO_FUZZ_SECONDS:-10}"
phase "fuzzing"
