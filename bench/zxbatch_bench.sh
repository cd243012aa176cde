#!/usr/bin/env bash
# Measures zxbatch with N jobs against the same logs converted and sorted one
# after another by a plain loop (parser, then zxsort hourly, per log), on
# the same generated logs, and reports the throughput ratio. Half the logs
# are squid, half common layout (chosen by a map file).
#
# It also measures the best that any scheduler could reach on this machine:
# the same loop split into N loops over alternate logs, run side by side
# (no zxbatch, no GNU parallel). The ratio of that split to the single loop
# is the ceiling; zxbatch's ratio divided by it is its efficiency.
#
# Usage: bash bench/zxbatch_bench.sh
# Environment:
#   LOGS       number of logs (default 16)
#   LINES      lines per log (default 250000)
#   JOBS       zxbatch jobs (default 2)
#   ROUNDS     rounds of the three measurements (default 1)
#   BUILD_DIR  build directory (default build/bench in the source tree)
#   KEEP       set to keep the logs and outputs
#
# Each measurement starts after the outputs of the one before are removed
# and written back (sync), so that none pays for another's disk writes.
# The figures need idle cores: the load average is printed with each round,
# and CPU seconds show what each way costs.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
logs_n=${LOGS:-16}
lines=${LINES:-250000}
jobs=${JOBS:-2}
rounds=${ROUNDS:-1}

source "$root/bench/common.sh"
bench_prepare bench/zxbatch_bench.sh parser zxsort bench_loggen
export PARSER=$build/parser/parser ZXSORT=$build/zxsort/zxsort
types=$root/config/datatypes.dat

mkdir -p "$work/logs/squid" "$work/logs/common"
for ((i = 0; i < logs_n; i++)); do
  layout=squid
  [ $((i % 2)) -eq 1 ] && layout=common
  "$build/bench/bench_loggen" "$layout" "$lines" >"$work/logs/$layout/day$i.log"
done
printf '*/squid/*  format=squid\n*/common/*  format=common\n' >"$work/map"

# one_by_one DIR [STEP START]: the logs through parser and zxsort, one after
# another: every log, or every STEP-th from the START-th (0-based).
one_by_one() {
  local dir=$1 step=${2:-1} start=${3:-0} log layout i=0
  for log in "$work"/logs/*/*.log; do
    i=$((i + 1))
    [ $(((i - 1 - start) % step)) -eq 0 ] && [ $((i - 1)) -ge "$start" ] || continue
    layout=$(basename "$(dirname "$log")")
    mkdir -p "$dir/$layout"
    ln -s "$log" "$dir/$layout/"
    local base=$dir/$layout/$(basename "$log")
    "$PARSER" -l "$base" -d "$types" -b oracle -t "$layout" >/dev/null
    "$ZXSORT" -m 0 -v "$base" -d "$types" -l "$base.out" >/dev/null
  done
}

# split_loops DIR: JOBS loops over alternate logs, side by side.
split_loops() {
  local k
  for ((k = 0; k < jobs; k++)); do one_by_one "$1" "$jobs" "$k" & done
  wait
}

# timed NAME COMMAND...: runs the command after a clean start, its wall, user
# and system seconds (children included) in $work/NAME.time.
timed() {
  local name=$1
  shift
  rm -rf "$work/seq" "$work/split" "$work/batch"
  sync
  TIMEFORMAT='%R %U %S'
  { time "$@" 2>&3; } 3>&2 2>"$work/$name.time"
}

rows_of() { cat "$1"/*/*.out | grep -o '"Number of Successful Lines = [0-9]*"' | awk -F'= ' '{ n += $2 + 0 } END { print n + 0 }'; }

# check_outputs DIR: the same rows and data files as the single loop's (kept
# in $work/ref).
check_outputs() {
  local rows csv
  rows=$(rows_of "$1")
  [ "$rows" -eq "$ref_rows" ] || { echo "$1: $rows rows, not $ref_rows" >&2; exit 1; }
  for csv in "$work"/ref/*/*.csv; do
    cmp -s "$csv" "$1/${csv#"$work"/ref/}" || { echo "$1: ${csv#"$work"/ref/} differs" >&2; exit 1; }
  done
}

# figures NAME: "wall CPU" of a measurement.
figures() { awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/$1.time"; }

echo "logs: $logs_n x $lines lines, $(du -sh "$work/logs" | cut -f1); cores: $(nproc); zxbatch jobs: $jobs"
for ((r = 1; r <= rounds; r++)); do
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  timed seq one_by_one "$work/seq"
  rm -rf "$work/ref"
  mv "$work/seq" "$work/ref"
  ref_rows=$(rows_of "$work/ref")
  timed split split_loops "$work/split"
  check_outputs "$work/split"
  timed batch bash "$root/zxbatch/zxbatch" -d "$types" -b oracle -m "$work/map" -o "$work/batch" \
    -j "$jobs" "$work/logs" >/dev/null 2>"$work/batch.err" ||
    { cat "$work/batch.err" >&2; exit 1; }
  check_outputs "$work/batch"
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  read -r seq_s seq_cpu < <(figures seq)
  read -r split_s split_cpu < <(figures split)
  read -r batch_s batch_cpu < <(figures batch)
  awk -v r="$r" -v s="$seq_s" -v sc="$seq_cpu" -v p="$split_s" -v pc="$split_cpu" \
    -v b="$batch_s" -v bc="$batch_cpu" -v n="$ref_rows" -v l1="$load_before" -v l2="$load_after" 'BEGIN {
    printf "round %d: one by one %.3f s (%.0f rows/s, %.2f CPU s); split loops %.3f s (%.2f CPU s); zxbatch %.3f s (%.0f rows/s, %.2f CPU s)\n",
      r, s, n / s, sc, p, pc, b, n / b, bc
    printf "round %d: ratio %.2f, ceiling %.2f, efficiency %.0f%%; load average before %s, after %s\n",
      r, s / b, s / p, 100 * p / b, l1, l2 }'
done
