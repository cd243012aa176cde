#!/usr/bin/env bash
# Measures the cost of full normalisation, local-time conversion included:
# a squid log (epoch time stamps, URLs, codes, content types), gzip and
# plain, and a streaming access log with separate date and time fields
# (merged and converted from UTC), each under UTC and under a zone with
# daylight saving. The gzip and the plain squid log must give the same
# outputs: compare their "sum" columns.
# Every run is compared, on the same file, with `zcat FILE | wc -l` (gzip)
# or `wc -l FILE` (plain).
#
# Usage: bash bench/normalise_perftest.sh
# Environment:
#   SQUID_LINES   lines of the gzip squid log (default 1000000)
#   DATE_LINES    lines of the date-and-time log (default 500000)
#   ZONES         time zones to run under (default "UTC Europe/Berlin")
#   BUILD_DIR     build directory (default build-bench in the source tree)
#   REFERENCE_PARSER  another parser build (an older one, say) run on the
#                 same logs: "ref" tells whether its outputs are the same
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
squid_lines=${SQUID_LINES:-1000000}
date_lines=${DATE_LINES:-500000}
zones=${ZONES:-UTC Europe/Berlin}

source "$root/bench/common.sh"
bench_prepare bench/normalise_perftest.sh parser bench_loggen
parser=$build/parser/parser
loggen=$build/bench/bench_loggen
cp "$root/config/datatypes.dat" "$root/config/datatypes.dat.id" "$work/"


machine_line
printf '%-10s %-5s %-16s %9s %9s %11s %11s %7s %8s %8s %6s %4s\n' \
  log kind zone lines parser_s lines/s base_lines/s ratio peak_MB sum ref_s ref

# measure NAME FILE FORMAT LINES KIND
measure() {
  local name=$1 file=$2 format=$3 lines=$4 kind=$5
  local t0 t1 base_s
  base_s=$(baseline_seconds "$file" "$kind")
  for zone in $zones; do
    local log="$work/$name.log"
    rm -f "$log"*
    ln -s "$file" "$log"
    t0=$(now)
    TZ=$zone /usr/bin/time -f '%M' -o "$work/rss" \
      "$parser" -l "$log" -d "$work/datatypes.dat" -b oracle -t "$format" -e 0 \
      >/dev/null 2>&1 || true
    t1=$(now)
    local parser_s written sum ref
    parser_s=$(elapsed "$t0" "$t1")
    written=$(written_rows "$log.out")
    sum=$(outputs_sum "$log")
    ref=$(TZ=$zone reference_check "$log" "$sum" -l "$log" -d "$work/datatypes.dat" \
      -b oracle -t "$format" -e 0)
    printf '%-10s %-5s %-16s %9d %9s %11.0f %11.0f %7.2f %8.1f %8s %6s %4s\n' \
      "$name" "$kind" "$zone" "$lines" \
      "$parser_s" "$(awk -v n="$lines" -v s="$parser_s" 'BEGIN{print (s>0)?n/s:0}')" \
      "$(awk -v n="$lines" -v s="$base_s" 'BEGIN{print (s>0)?n/s:0}')" \
      "$(awk -v p="$parser_s" -v b="$base_s" 'BEGIN{print (p>0)?b/p:0}')" \
      "$(awk -v k="$(tail -n 1 "$work/rss")" 'BEGIN{print k/1024}')" "$sum" $ref
    if [ "$written" -ne "$lines" ]; then
      echo "  warning: $written of $lines lines written (see $log.out)" >&2
    fi
    rm -f "$log".*csv "$log".err
  done
}

"$loggen" squid "$squid_lines" >"$work/squid.txt"
gzip -6 -c "$work/squid.txt" >"$work/squid.gz"
measure squid "$work/squid.gz" squid "$squid_lines" gzip
measure squid "$work/squid.txt" squid "$squid_lines" plain

"$loggen" straccess "$date_lines" >"$work/straccess.txt"
measure straccess "$work/straccess.txt" straccess "$date_lines" plain

echo "ratio: baseline time / parser time"
echo "sum: checksum of the outputs (run log excepted); ref_s, ref: REFERENCE_PARSER's time on"
echo "the same log right after, and whether its outputs are the same"
