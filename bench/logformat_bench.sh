#!/usr/bin/env bash
# Measures logs read through a server's format definition (-f) against the
# same log through the built-in combined template (-t combined), side by
# side in each round on the same file, and JSON lines (-f json) in lines per
# second, with `wc -l` on each file as the machine's baseline.
#
# Usage: bash bench/logformat_bench.sh
# Environment:
#   LINES      lines of each generated log (default 1000000)
#   ROUNDS     rounds, each running every case once (default 3)
#   BUILD_DIR  build directory (default build-bench in the source tree)
#   KEEP       set to keep the generated logs and outputs
#
# Every case converts with the shipped column data types for Oracle. The
# ratio of a definition is the template's time over the definition's in
# the same round (1.00: as fast; the goal is at least 0.90). The outputs
# of -t combined and -f apache:combined are compared at the end.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
lines=${LINES:-1000000}
rounds=${ROUNDS:-3}

source "$root/bench/common.sh"
bench_prepare bench/logformat_bench.sh parser bench_loggen
parser=$build/parser/parser
loggen=$build/bench/bench_loggen
cp "$root/config/datatypes.dat" "$root/config/datatypes.dat.id" "$work/"

"$loggen" combined "$lines" >"$work/combined.txt"
"$loggen" caddy "$lines" >"$work/caddy.txt"
"$loggen" nginx-json "$lines" >"$work/nginx-json.txt"

# run NAME FILE ARGS...: converts FILE (as $work/NAME.log) and prints its
# seconds; fails the benchmark when a line is not written.
run() {
  local name=$1 file=$2 t0 t1 written
  shift 2
  local log="$work/$name.log"
  rm -f "$log" "$log".*
  ln -s "$file" "$log"
  t0=$(now)
  "$parser" -l "$log" -d "$work/datatypes.dat" -b oracle -e 0 "$@" >/dev/null 2>&1 || true
  t1=$(now)
  written=$(written_rows "$log.out")
  if [ "$written" -ne "$lines" ]; then
    echo "$name: $written of $lines lines written (see $log.out)" >&2
    exit 1
  fi
  elapsed "$t0" "$t1"
}

rate() { awk -v n="$lines" -v s="$1" 'BEGIN { printf "%.0f", (s > 0) ? n / s : 0 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }

machine_line
echo "lines per log: $lines; MB: combined $(($(wc -c <"$work/combined.txt") / 1000000))," \
  "caddy $(($(wc -c <"$work/caddy.txt") / 1000000)), nginx-json $(($(wc -c <"$work/nginx-json.txt") / 1000000))"
printf '%-5s %-24s %8s %11s %13s %6s\n' round case seconds lines/s wc_lines/s ratio
for ((round = 1; round <= rounds; round++)); do
  base=$(baseline_seconds "$work/combined.txt" plain)
  template=$(run template "$work/combined.txt" -t combined)
  apache=$(run apache "$work/combined.txt" -f apache:combined)
  nginx=$(run nginx "$work/combined.txt" -f nginx:combined)
  template2=$(run template "$work/combined.txt" -t combined)
  # The template runs before and after the definitions; its mean is the
  # reference, so a change of load during the round weighs on both sides.
  reference=$(awk -v a="$template" -v b="$template2" 'BEGIN { printf "%.3f", (a + b) / 2 }')
  printf '%-5s %-24s %8s %11s %13s %6s\n' "$round" "-t combined" "$reference" \
    "$(rate "$reference")" "$(rate "$base")" 1.00
  printf '%-5s %-24s %8s %11s %13s %6s\n' "$round" "-f apache:combined" "$apache" \
    "$(rate "$apache")" "" "$(ratio "$reference" "$apache")"
  printf '%-5s %-24s %8s %11s %13s %6s\n' "$round" "-f nginx:combined" "$nginx" \
    "$(rate "$nginx")" "" "$(ratio "$reference" "$nginx")"
  for json in caddy nginx-json; do
    base=$(baseline_seconds "$work/$json.txt" plain)
    seconds=$(run "$json" "$work/$json.txt" -f json)
    printf '%-5s %-24s %8s %11s %13s %6s\n' "$round" "-f json ($json)" "$seconds" \
      "$(rate "$seconds")" "$(rate "$base")" ""
  done
done
machine_line
# The same lines through the template and the definition give the same
# rows when the ident field is not loaded over the user by either.
template_sum=$(cut -d, -f1,3- "$work/template.log.csv" | md5sum | cut -c1-8)
apache_sum=$(cut -d, -f1,3- "$work/apache.log.csv" | md5sum | cut -c1-8)
echo "rows without the user column: -t combined $template_sum, -f apache:combined $apache_sum"
echo "ratio: the template's seconds over the definition's in the same round (goal: 0.90 or more)"
