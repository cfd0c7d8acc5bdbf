#!/usr/bin/env bash
# Configures a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/,
# builds it and runs the tests that need no X display (or the test programs named as arguments,
# e.g. scripts/sanitize.sh editors_tests dialogs_tests). Not part of scripts/test.sh: the build
# and the run take far longer than the ordinary suite. LEAKS=1 also reports leaks.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-3}"
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
link="-fsanitize=address,undefined -fuse-ld=gold"

export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_SHARED_LINKER_FLAGS="$link" >/dev/null

export ASAN_OPTIONS="detect_leaks=${LEAKS:-0}:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"

if (($#)); then
  # Named programs run directly, the way ctest runs the windows tests (offscreen, unattended).
  cmake --build build-asan --target "$@" -j"$jobs"
  status=0
  for name in "$@"; do
    program=$(find build-asan -name "$name" -type f -executable | head -n 1)
    QT_QPA_PLATFORM=offscreen OV_UNATTENDED=1 "$program" || status=1
  done
  exit "$status"
fi
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan -LE x11 -j"$jobs" --output-on-failure
