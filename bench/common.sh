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

# machine_line: the core count and the load average, printed before the
# figures (timings on a busy machine vary; ratios from one run compare).
machine_line() {
  echo "cores: $(getconf _NPROCESSORS_ONLN)  load average: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown)"
}

# outputs_sum LOG: checksum of the files a parser run on LOG wrote, the run
# log (which carries the run's time) excepted; 8 hex digits.
outputs_sum() {
  local f files=()
  for f in "$1".*; do
    [ "$f" = "$1.out" ] || files+=("$f")
  done
  cat "${files[@]}" 2>/dev/null | md5sum | cut -c1-8
}

# reference_check LOG SUM ARGS...: with REFERENCE_PARSER set, runs it with
# ARGS (which write next to LOG) and prints its time and "same" or
# "DIFFERENT" for its outputs against SUM; prints "- -" otherwise.
reference_check() {
  local log=$1 sum=$2
  shift 2
  if [ -z "${REFERENCE_PARSER:-}" ]; then echo "- -"; return; fi
  local f t0 t1 verdict=DIFFERENT
  for f in "$log".*; do rm -f "$f"; done
  t0=$(now)
  "$REFERENCE_PARSER" "$@" >/dev/null 2>&1 || true
  t1=$(now)
  [ "$(outputs_sum "$log")" = "$sum" ] && verdict=same
  echo "$(elapsed "$t0" "$t1") $verdict"
}
