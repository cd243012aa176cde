#!/usr/bin/env bash
# Measures zxsort hourly mode on one hour whose lines all share one key (a
# client polling one URL all hour) against one hour of distinct keys, same
# line count, same run. The sort must stay O(n log n): the goal is an
# equal-key time at most 3 times the distinct-key time.
#
# Usage: bash bench/zxsort_equal_keys.sh
# Environment:
#   HOUR_LINES lines of each hour (default 1000000)
#   BUILD_DIR  build directory (default build-bench in the source tree)
#   KEEP       set to keep the generated files and outputs
# Peak resident memory comes from /usr/bin/time (package "time"). The
# checksums printed are of the sort files with the group identifier masked.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
lines=${HOUR_LINES:-1000000}

source "$root/bench/common.sh"
bench_prepare bench/zxsort_equal_keys.sh zxsort
zxsort=$build/zxsort/zxsort
cp "$root/config/datatypes.dat" "$work/datatypes.dat"

# One hour (5) of LINES rows; KIND equal repeats one key, distinct draws
# the client and the page from a Park-Miller generator.
generate() {  # generate KIND FILE
  awk -v lines="$lines" -v kind="$1" 'BEGIN {
    seed = 42
    for (i = 0; i < lines; i++) {
      second = int(i * 3600 / lines)
      if (kind == "equal") { user = 1; page = 1 } else {
        seed = (seed * 16807) % 2147483647; user = seed % 65536
        seed = (seed * 16807) % 2147483647; page = seed % 100000
      }
      printf "2026-12-07 05:%02d:%02d,10.1.%d.%d,-,GET,/site%d/page%d.html,200,%d,%d,MSIE,Windows,html,0,5,2,12,4,2026,0,1\r\n",
        int(second / 60), second % 60, int(user / 256), user % 256, page % 40, page, i % 90000 + 100, i % 5000
    }
  }' >"$2"
  printf '%s\r\n' "timestampid,userip,username,method,url,status,bytecount,responsetime,browser,os,filetype,logformat,dt_hour,dt_dayofweek,dt_month,dt_quarter,dt_year,groupid,refcount" \
    >"${2%.csv}.zx3"
}

run() {  # run KIND: prints "wall cpu peak_kb bytes md5 records"
  local base=$work/$1
  generate "$1" "$base.csv"
  /usr/bin/time -f '%e %U %S %M' -o "$base.time" \
    "$zxsort" -m 0 -v "$base" -d "$work/datatypes.dat" -l "$base.log"
  read -r wall user sys peak <"$base.time"
  echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $peak" \
    "$(wc -c <"$base.csv") $(cut -d, -f1-17,19- "$base.srt" | md5sum | cut -d' ' -f1)" \
    "$(wc -l <"$base.srt")"
}

read -r dw dc dk dbytes dsum drecords <<<"$(run distinct)"
read -r ew ec ek ebytes esum erecords <<<"$(run equal)"
awk -v lines="$lines" -v cores="$(nproc)" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
    -v dw="$dw" -v dc="$dc" -v dk="$dk" -v db="$dbytes" -v ds="$dsum" -v dr="$drecords" \
    -v ew="$ew" -v ec="$ec" -v ek="$ek" -v eb="$ebytes" -v es="$esum" -v er="$erecords" 'BEGIN {
  printf "machine:        %d cores, load average %s\n", cores, load
  printf "distinct keys:  %d lines, %.1f MB, wall %.2f s, CPU %.2f s, peak %.1f MB (%.2f x the hour), %d records, md5 %s\n",
    lines, db / 1e6, dw, dc, dk / 1024, dk * 1024 / db, dr, ds
  printf "equal keys:     %d lines, %.1f MB, wall %.2f s, CPU %.2f s, peak %.1f MB (%.2f x the hour), %d records, md5 %s\n",
    lines, eb / 1e6, ew, ec, ek / 1024, ek * 1024 / eb, er, es
  printf "time ratio:     wall %.2f, CPU %.2f (equal / distinct; goal at most 3)\n", ew / dw, ec / dc
}'
