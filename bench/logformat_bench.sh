#!/usr/bin/env bash
# Measures logs read through a server's format definition (-f) against the
# same log through the built-in combined template (-t combined), side by
# side in each round on the same file, and JSON lines (-f json), plain and
# gzip, in lines per second, with `wc -l` (`zcat | wc -l`) on each file as
# the machine's baseline.
#
# JSON lines are read on a second thread ahead of the conversion: for them
# the CPU seconds of each thread are printed too (sampled from /proc every
# 10 ms), the converting (main) thread's first. Lines per second of the
# busier thread's CPU time are what two cores of their own would give; the
# main thread's alone, converting values handed over ready-made, is the
# ceiling of any split of the work.
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
# the same round (1.00: as fast; the goal is at least 0.90). The data files
# of -t combined and of the definitions are compared at the end.
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
gzip -1 -c "$work/caddy.txt" >"$work/caddy.gz"
gzip -1 -c "$work/nginx-json.txt" >"$work/nginx-json.gz"

# run NAME FILE ARGS...: converts FILE (as $work/NAME.log) and prints its
# wall and CPU (user + system) seconds; fails the benchmark when a line is
# not written.
run() {
  local name=$1 file=$2 written
  shift 2
  local log="$work/$name.log"
  rm -f "$log" "$log".*
  ln -s "$file" "$log"
  /usr/bin/time -f "%e %U %S" -o "$work/times" \
    "$parser" -l "$log" -d "$work/datatypes.dat" -b oracle -e 0 "$@" >/dev/null 2>&1 || true
  written=$(written_rows "$log.out")
  if [ "$written" -ne "$lines" ]; then
    echo "$name: $written of $lines lines written (see $log.out)" >&2
    exit 1
  fi
  awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/times"
}

# run_sampled NAME FILE ARGS...: as run, and then prints the CPU seconds of
# each of the parser's threads, the main thread's first, as sampled last.
run_sampled() {
  local name=$1 file=$2 written tpid pid="" t ns
  shift 2
  local log="$work/$name.log"
  rm -f "$log" "$log".*
  ln -s "$file" "$log"
  /usr/bin/time -f "%e %U %S" -o "$work/times" \
    "$parser" -l "$log" -d "$work/datatypes.dat" -b oracle -e 0 "$@" >/dev/null 2>&1 &
  tpid=$!
  local -A seconds=()
  while kill -0 "$tpid" 2>/dev/null; do
    [ -n "$pid" ] || pid=$(pgrep -P "$tpid" || true)
    if [ -n "$pid" ]; then
      for t in /proc/"$pid"/task/*; do
        read -r ns _ 2>/dev/null <"$t/schedstat" && seconds[${t##*/}]=$ns
      done
    fi
    sleep 0.01
  done
  wait "$tpid" || true
  written=$(written_rows "$log.out")
  if [ "$written" -ne "$lines" ]; then
    echo "$name: $written of $lines lines written (see $log.out)" >&2
    exit 1
  fi
  awk '{ printf "%.2f %.2f", $1, $2 + $3 }' "$work/times"
  printf ' %.2f' "$(awk -v n="${seconds[$pid]:-0}" 'BEGIN { print n / 1e9 }')"
  for t in "${!seconds[@]}"; do
    [ "$t" = "$pid" ] || printf ' %.2f' "$(awk -v n="${seconds[$t]}" 'BEGIN { print n / 1e9 }')"
  done
  echo
}

rate() { awk -v n="$lines" -v s="$1" 'BEGIN { printf "%.0f", (s > 0) ? n / s : 0 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }
# line FIELDS...: one line of the table.
line() { printf '%-5s %-24s %6s %6s %10s %10s %11s %6s %6s\n' "$@"; }

machine_line
echo "lines per log: $lines; MB: combined $(($(wc -c <"$work/combined.txt") / 1000000))," \
  "caddy $(($(wc -c <"$work/caddy.txt") / 1000000)), nginx-json $(($(wc -c <"$work/nginx-json.txt") / 1000000))"
line round case wall_s cpu_s lines/s cpu_lines/s wc_lines/s ratio cpu_r
for ((round = 1; round <= rounds; round++)); do
  base=$(baseline_seconds "$work/combined.txt" plain)
  read -r t_wall t_cpu < <(run template "$work/combined.txt" -t combined)
  read -r a_wall a_cpu < <(run apache "$work/combined.txt" -f apache:combined)
  read -r n_wall n_cpu < <(run nginx "$work/combined.txt" -f nginx:combined)
  read -r t2_wall t2_cpu < <(run template "$work/combined.txt" -t combined)
  # The template runs before and after the definitions; its mean is the
  # reference, so a change of load during the round weighs on both sides.
  r_wall=$(awk -v a="$t_wall" -v b="$t2_wall" 'BEGIN { printf "%.2f", (a + b) / 2 }')
  r_cpu=$(awk -v a="$t_cpu" -v b="$t2_cpu" 'BEGIN { printf "%.2f", (a + b) / 2 }')
  line "$round" "-t combined" "$r_wall" "$r_cpu" "$(rate "$r_wall")" "$(rate "$r_cpu")" \
    "$(rate "$base")" 1.00 1.00
  line "$round" "-f apache:combined" "$a_wall" "$a_cpu" "$(rate "$a_wall")" "$(rate "$a_cpu")" \
    "" "$(ratio "$r_wall" "$a_wall")" "$(ratio "$r_cpu" "$a_cpu")"
  line "$round" "-f nginx:combined" "$n_wall" "$n_cpu" "$(rate "$n_wall")" "$(rate "$n_cpu")" \
    "" "$(ratio "$r_wall" "$n_wall")" "$(ratio "$r_cpu" "$n_cpu")"
  for json in caddy nginx-json caddy.gz nginx-json.gz; do
    kind=plain file="$work/$json.txt"
    case $json in *.gz) kind=gzip file="$work/$json" ;; esac
    base=$(baseline_seconds "$file" "$kind")
    read -r j_wall j_cpu j_main j_others < <(run_sampled "$json" "$file" -f json)
    line "$round" "-f json ($json)" "$j_wall" "$j_cpu" "$(rate "$j_wall")" "$(rate "$j_cpu")" \
      "$(rate "$base")" "$(ratio "$r_wall" "$j_wall")" "$(ratio "$r_cpu" "$j_cpu")"
    busiest=$(echo "$j_main $j_others" | tr ' ' '\n' | sort -g | tail -1)
    printf '%-5s %-24s %s; lines per second of the busier thread %s, of the main thread %s\n' \
      "" "  threads' cpu_s" "$j_main${j_others:+ / $j_others}" "$(rate "$busiest")" "$(rate "$j_main")"
  done
done
machine_line
# The same lines through the template and the definitions give the same rows.
sums="$(md5sum <"$work/template.log.csv" | cut -c1-8) $(md5sum <"$work/apache.log.csv" | cut -c1-8)"
sums+=" $(md5sum <"$work/nginx.log.csv" | cut -c1-8)"
echo "rows: -t combined, -f apache:combined, -f nginx:combined: $sums"
echo "ratio, cpu_r: the template's wall and CPU seconds over the case's in the same round"
echo "(goal for definitions: 0.90 or more); cpu_lines/s: lines per CPU second (user + system)"
echo "threads' cpu_s: the main (converting) thread's CPU seconds / the others' (reading ahead,"
echo "inflating): the busier one bounds the rate two free cores give, the main one any split"
