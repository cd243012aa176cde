#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the Linux build, the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, and the 32-bit
# Windows cross-build with its tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" all

build=${BUILD_DIR:-$root/build}
jobs=$(nproc)
status=0

run_suite() {  # run_suite NAME CTEST_ARGS... (after configure and build)
  local name=$1; shift
  echo "=== $name: tests"
  (cd "$build/$name" && ctest --output-on-failure -j "$jobs" "$@") || status=1
}

echo "=== native: build"
cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/native" -j "$jobs"
run_suite native

echo "=== sanitize: build"
cmake -S "$root" -B "$build/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DENABLE_SANITIZERS=ON >/dev/null
cmake --build "$build/sanitize" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite sanitize -LE nosan

echo "=== windows: build"
cmake -S "$root" -B "$build/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/windows" -j "$jobs"
# One Wine prefix for the Windows tests, made fresh for this run; suites that
# need a prefix of their own make it themselves.
export WINEPREFIX=$(mktemp -d /tmp/wineprefix.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot -i >/dev/null 2>&1 || true
run_suite windows -j 1
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"

exit $status
