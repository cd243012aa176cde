#!/usr/bin/env bash
# Measures zxbatch with N jobs against the same logs converted and sorted one
# after another by a plain loop (parser, then zxsort hourly, per log), on
# the same generated logs, and reports the throughput ratio. Half the logs
# are squid, half common layout (chosen by a map file).
#
# Usage: bash bench/zxbatch_bench.sh
# Environment:
#   LOGS       number of logs (default 16)
#   LINES      lines per log (default 250000)
#   JOBS       zxbatch jobs (default 2)
#   ROUNDS     loop-then-zxbatch rounds (default 1)
#   BUILD_DIR  build directory (default build/bench in the source tree)
#   KEEP       set to keep the logs and outputs
#
# The ratio needs two idle cores: with other work on the machine, the
# kernel's per-session scheduling groups (autogroup) give one session one
# share, however many jobs it runs. The load average is printed with each
# round, and CPU seconds show what zxbatch itself costs.
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

# one_by_one DIR: every log through parser and zxsort, one after another.
one_by_one() {
  local dir=$1 log layout
  for log in "$work"/logs/*/*.log; do
    layout=$(basename "$(dirname "$log")")
    mkdir -p "$dir/$layout"
    ln -s "$log" "$dir/$layout/"
    local base=$dir/$layout/$(basename "$log")
    "$PARSER" -l "$base" -d "$types" -b oracle -t "$layout" >/dev/null
    "$ZXSORT" -m 0 -v "$base" -d "$types" -l "$base.out" >/dev/null
  done
}

rows_of() { cat "$1"/*/*.out | grep -o '"Number of Successful Lines = [0-9]*"' | awk -F'= ' '{ n += $2 + 0 } END { print n + 0 }'; }

echo "logs: $logs_n x $lines lines, $(du -sh "$work/logs" | cut -f1); cores: $(nproc); zxbatch jobs: $jobs"
for ((r = 1; r <= rounds; r++)); do
  rm -rf "$work/seq" "$work/batch"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  # Wall, user and system seconds of each, children included.
  TIMEFORMAT='%R %U %S'
  { time one_by_one "$work/seq"; } 2>"$work/seq.time"
  { time bash "$root/zxbatch/zxbatch" -d "$types" -b oracle -m "$work/map" -o "$work/batch" \
    -j "$jobs" "$work/logs" >/dev/null 2>"$work/batch.err"; } 2>"$work/batch.time" ||
    { cat "$work/batch.err" >&2; exit 1; }
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  read -r seq_s seq_user seq_sys <"$work/seq.time"
  read -r batch_s batch_user batch_sys <"$work/batch.time"
  seq_rows=$(rows_of "$work/seq")
  batch_rows=$(rows_of "$work/batch")
  [ "$seq_rows" -eq "$batch_rows" ] || { echo "rows differ: $seq_rows and $batch_rows" >&2; exit 1; }
  for csv in "$work"/seq/*/*.csv; do
    cmp -s "$csv" "$work/batch/${csv#"$work"/seq/}" || { echo "$csv differs" >&2; exit 1; }
  done
  awk -v r="$r" -v s="$seq_s" -v b="$batch_s" -v n="$seq_rows" -v l1="$load_before" -v l2="$load_after" \
    -v sc="$(awk -v u="$seq_user" -v y="$seq_sys" 'BEGIN { print u + y }')" \
    -v bc="$(awk -v u="$batch_user" -v y="$batch_sys" 'BEGIN { print u + y }')" 'BEGIN {
    printf "round %d: one by one %.3f s (%.0f rows/s, %.2f CPU s), zxbatch %.3f s (%.0f rows/s, %.2f CPU s), ratio %.2f; load average before %s, after %s\n",
      r, s, n / s, sc, b, n / b, bc, s / b, l1, l2 }'
done
