#!/usr/bin/env bash
# Measures parser throughput on generated logs of every built-in layout and
# compares it, in the same run and on the same file, with the line rate of
# `zcat FILE | wc -l` (gzip log) or `wc -l FILE` (plain logs).
#
# Usage: bash bench/run.sh
# Environment:
#   SQUID_LINES   lines of the gzip squid log (default 1000000)
#   LAYOUT_LINES  lines of each plain log (default 200000)
#   BUILD_DIR     build directory (default build-bench in the source tree)
#   KEEP          set to keep the generated logs and outputs
#   REFERENCE_PARSER  another parser build (an older one, say) run on the
#                 same logs: "ref" tells whether its outputs are the same
#
# Two column sets are measured:
#   rows  every field written as it stands: the shipped column data types
#         with the log field names in upper case, which still match the
#         log's fields (names compare without regard to case) but select no
#         normalisation (chosen by the exact name);
#   full  the shipped column data types, normalisation included.
# Peak resident memory comes from /usr/bin/time (package "time").
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
squid_lines=${SQUID_LINES:-1000000}
layout_lines=${LAYOUT_LINES:-200000}

source "$root/bench/common.sh"
bench_prepare bench/run.sh parser bench_loggen
parser=$build/parser/parser
loggen=$build/bench/bench_loggen

mkdir -p "$work/rows" "$work/full"
awk '/^#/ || NF == 0 { print; next } { $1 = toupper($1); print }' \
  "$root/config/datatypes.dat" >"$work/rows/datatypes.dat"
cp "$root/config/datatypes.dat" "$work/full/datatypes.dat"
for set in rows full; do
  cp "$root/config/datatypes.dat.id" "$work/$set/" 2>/dev/null || true
done

rate() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "inf" }'; }

machine_line
printf '%-10s %-4s %-4s %9s %8s %8s %9s %11s %11s %7s %8s %8s %6s %4s\n' \
  layout kind set lines MB parser_s MB/s lines/s base_lines/s ratio peak_MB sum ref_s ref

# measure LAYOUT FILE KIND LINES BYTES
measure() {
  local layout=$1 file=$2 kind=$3 lines=$4 bytes=$5
  local t0 t1 base_s
  base_s=$(baseline_seconds "$file" "$kind")
  for set in rows full; do
    local out="$work/$set/$layout.log"
    rm -f "$out"*
    ln -s "$file" "$out"
    t0=$(now)
    /usr/bin/time -v -o "$work/rss" \
      "$parser" -l "$out" -d "$work/$set/datatypes.dat" -b oracle -t "$layout" -e 0 \
      >/dev/null 2>&1 || true
    t1=$(now)
    local parser_s rss_kb
    parser_s=$(elapsed "$t0" "$t1")
    rss_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/rss")
    local written sum ref
    written=$(written_rows "$out.out")
    sum=$(outputs_sum "$out")
    ref=$(reference_check "$out" "$sum" -l "$out" -d "$work/$set/datatypes.dat" \
      -b oracle -t "$layout" -e 0)
    printf '%-10s %-4s %-4s %9d %8.1f %8s %9.1f %11s %11s %7.2f %8.1f %8s %6s %4s\n' \
      "$layout" "$kind" "$set" "$lines" "$(awk -v b="$bytes" 'BEGIN{print b/1e6}')" \
      "$parser_s" "$(awk -v b="$bytes" -v s="$parser_s" 'BEGIN{print (s>0)?b/1e6/s:0}')" \
      "$(rate "$lines" "$parser_s")" "$(rate "$lines" "$base_s")" \
      "$(awk -v p="$parser_s" -v b="$base_s" 'BEGIN{print (p>0)?b/p:0}')" \
      "$(awk -v k="$rss_kb" 'BEGIN{print k/1024}')" "$sum" $ref
    if [ "$written" -ne "$lines" ]; then
      echo "  warning: $written of $lines lines written (see $out.out)" >&2
    fi
    rm -f "$out".*csv "$out".err
  done
}

# The gzip squid log: the throughput target.
"$loggen" squid "$squid_lines" | gzip -6 >"$work/squid.log.gz"
squid_bytes=$(zcat "$work/squid.log.gz" | wc -c)
measure squid "$work/squid.log.gz" gzip "$squid_lines" "$squid_bytes"

# Plain logs of every built-in layout.
for layout in squid webaccess common straccess extended real; do
  "$loggen" "$layout" "$layout_lines" >"$work/$layout.txt"
  lines=$layout_lines
  # "real" takes its layout from the first line, which is not converted.
  [ "$layout" = real ] && lines=$((layout_lines - 1))
  measure "$layout" "$work/$layout.txt" plain "$lines" "$(wc -c <"$work/$layout.txt")"
done
echo "ratio: baseline time / parser time (parser lines/s over the baseline's)"
echo "sum: checksum of the outputs (run log excepted); ref_s, ref: REFERENCE_PARSER's time on"
echo "the same log right after, and whether its outputs are the same"
