# Set-up shared by the benchmark scripts; sourced, not run. The caller sets
# `root` (the source tree) and `build` (the build directory) first.

# bench_prepare SCRIPT TARGET...: checks for /usr/bin/time, builds the
# targets (Release, no tests) and makes the scratch directory `work`, removed
# at exit unless KEEP is set.
bench_prepare() {
  local script=$1
  shift
  if [ ! -x /usr/bin/time ]; then
    echo "$script needs /usr/bin/time (Debian package \"time\")" >&2
    exit 1
  fi
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" --target "$@" -j 2 >/dev/null
  work=$(mktemp -d)
  trap bench_cleanup EXIT
}

# bench_cleanup: removes the scratch directory, or names it when KEEP is set.
bench_cleanup() {
  if [ -z "${KEEP:-}" ]; then rm -rf "$work"; else echo "kept $work"; fi
}
