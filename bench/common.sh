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

# now: the wall clock in seconds with microseconds.
now() { echo "$EPOCHREALTIME"; }

# elapsed T0 T1: seconds between two readings of `now`, three decimals.
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# baseline_seconds FILE KIND: time of the baseline on FILE, `zcat | wc -l`
# for KIND gzip, `wc -l` otherwise.
baseline_seconds() {
  local t0 t1
  t0=$(now)
  if [ "$2" = gzip ]; then zcat "$1" | wc -l >/dev/null; else wc -l "$1" >/dev/null; fi
  t1=$(now)
  elapsed "$t0" "$t1"
}

# written_rows RUNLOG: the parser's count of written rows, 0 when absent.
written_rows() {
  grep -o '"Number of Successful Lines = [0-9]*"' "$1" | grep -o '[0-9]*' || echo 0
}
