#!/usr/bin/env bash
# Builds everything and runs the whole test suite, one stage after another:
#
#   native     the Linux build and every test
#   sanitize   the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows64  the 64-bit Windows cross-build, every test under 64-bit Wine
#   windows32  the 32-bit Windows cross-build and its static checks (export
#              names, machine types); its tests under Wine only where this
#              machine runs 32-bit programs, otherwise one line says so
#   fuzz       the libFuzzer targets (clang) built and each run briefly
#              over its seeds (scripts/fuzz.sh --smoke)
#
# Usage: test.sh [STAGE...]      (no stage: all of them, in the order above)
#        STAGES="native windows64" test.sh
# Environment: BUILD_DIR (default build/), WINE_DIR (directory of the Wine
# loaders wine and wine64 and of wineserver, default /usr/lib/wine).
#
# A stage is a function stage_NAME listed in all_stages; it records a
# failure with run_ctest or by returning non-zero (it runs without -e, so
# each step that must stop it needs its own "|| return"), and the script
# goes on with the next stage. The exit status is 0 only when every stage passed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

all_stages=(native sanitize windows64 windows32 fuzz)

build=${BUILD_DIR:-$root/build}
jobs=$(nproc)
wine_dir=${WINE_DIR:-/usr/lib/wine}
failures=()

# configure NAME CMAKE_ARGS...: configures and builds $build/NAME.
configure() {
  local name=$1; shift
  echo "=== $name: build"
  cmake -S "$root" -B "$build/$name" -G Ninja "$@" >/dev/null &&
    cmake --build "$build/$name" -j "$jobs"
}

# run_ctest NAME CTEST_ARGS...: runs tests of $build/NAME; a failure is
# recorded, not fatal. A selection without tests counts as a failure.
run_ctest() {
  local name=$1; shift
  echo "=== $name: tests $*"
  (cd "$build/$name" && ctest --output-on-failure --no-tests=error "$@") ||
    failures+=("$name")
}

# with_wine_prefix LOADER COMMAND...: runs COMMAND with a fresh Wine prefix
# made by LOADER, and removes the prefix (and its server) afterwards.
# Suites that need a prefix of their own make it themselves.
with_wine_prefix() {
  local loader=$1; shift
  local status=0
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/wineprefix.XXXXXX)
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  "$loader" wineboot -i >/dev/null 2>&1 || true
  "$@" || status=$?
  "$wine_dir/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  unset WINEPREFIX
  return $status
}

# Empty when 32-bit Wine runs here (its loader is installed and starts),
# else the reason why not.
why_no_32bit() {
  local loader=$wine_dir/wine out
  [ -x "$loader" ] || { echo "$loader is not installed"; return; }
  # The shell's own message ends in the reason, e.g. "Exec format error".
  out=$("$loader" --version 2>&1) ||
    echo "$loader does not start: ${out##*: }"
}

stage_native() {
  configure native -DCMAKE_BUILD_TYPE=RelWithDebInfo || return
  run_ctest native -j "$jobs"
}

stage_sanitize() {
  configure sanitize -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON || return
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest sanitize -j "$jobs" -LE nosan
}

# The Wine stages run their tests one at a time: the suites start Wine
# servers and services of their own.
stage_windows64() {
  configure windows64 -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DWINE_LOADER="$wine_dir/wine64" || return
  with_wine_prefix "$wine_dir/wine64" run_ctest windows64 -j 1
}

stage_windows32() {
  configure windows32 -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DWINE_LOADER="$wine_dir/wine" || return
  run_ctest windows32 -L static
  local reason
  reason=$(why_no_32bit)
  if [ -n "$reason" ]; then
    echo "=== windows32: SKIPPED the tests under Wine: 32-bit Wine cannot run on this machine ($reason)"
    return
  fi
  with_wine_prefix "$wine_dir/wine" run_ctest windows32 -j 1 -LE static
}

stage_fuzz() {
  BUILD_DIR=$build bash "$root/scripts/fuzz.sh" --smoke
}

if [ $# -gt 0 ]; then
  stages=("$@")
else
  read -r -a stages <<<"${STAGES:-${all_stages[*]}}"
fi
for stage in "${stages[@]}"; do
  if [[ " ${all_stages[*]} " != *" $stage "* ]]; then
    echo "unknown stage '$stage'; stages: ${all_stages[*]}" >&2
    exit 2
  fi
done

"$root/scripts/install-deps.sh" all

summary=()
for stage in "${stages[@]}"; do
  start=$SECONDS
  before=${#failures[@]}
  "stage_$stage" || failures+=("$stage")
  result=passed
  [ ${#failures[@]} -gt "$before" ] && result=FAILED
  skipped=
  [ "$stage" = windows32 ] && skipped=$(why_no_32bit)
  summary+=("$(printf '%-10s %-7s %4d s%s' "$stage" "$result" $((SECONDS - start)) \
    "${skipped:+ (tests under Wine skipped: $skipped)}")")
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
[ ${#failures[@]} -eq 0 ]
