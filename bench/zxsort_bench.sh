#!/usr/bin/env bash
# Measures zxsort in hourly mode on a generated data file and compares it, in
# the same run and on the same file, with `LC_ALL=C sort -t, ... | awk`
# doing the same grouping (hour and key columns, letters without regard to
# case) and averaging (numeric columns, "%.3f", merged-record count).
#
# Usage: bash bench/zxsort_bench.sh
# Environment:
#   ROWS       rows of the data file (default 2000000, over 24 hours)
#   BUILD_DIR  build directory (default build-bench in the source tree)
#   KEEP       set to keep the generated files and outputs
#   REFERENCE  another zxsort binary (e.g. an earlier build) whose output
#              must be identical; compared byte for byte with the group
#              identifier column masked (it is drawn at random per hour)
# Peak resident memory comes from /usr/bin/time (package "time"). The
# checksum printed is of the sort file with the group identifier masked,
# to compare builds.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
rows=${ROWS:-2000000}

source "$root/bench/common.sh"
bench_prepare bench/zxsort_bench.sh zxsort
zxsort=$build/zxsort/zxsort

awk -v rows="$rows" -f "$root/bench/zxsort_gen.awk" >"$work/bench.csv"
printf '%s\r\n' "timestampid,userip,username,method,url,status,bytecount,responsetime,browser,os,filetype,logformat,dt_hour,dt_dayofweek,dt_month,dt_quarter,dt_year,groupid,refcount" \
  >"$work/bench.zx3"
cp "$root/config/datatypes.dat" "$work/datatypes.dat"

bytes=$(wc -c <"$work/bench.csv")
largest_hour=$(awk -F, '{ size[$13] += length($0) + 1 } END { for (h in size) if (size[h] > m) m = size[h]; print m }' "$work/bench.csv")

# Each run under /usr/bin/time: wall seconds, CPU seconds (user + system,
# children included) and peak resident memory. On a busy machine the CPU
# figures are the steadier comparison.
measured() {  # measured OUTPUT_PREFIX COMMAND...
  local prefix=$1; shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/$prefix.time" "$@"
  read -r wall user sys peak <"$work/$prefix.time"
  printf '%s %s %s\n' "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" "$peak" \
    >"$work/$prefix.figures"
}

measured zxsort "$zxsort" -m 0 -v "$work/bench" -d "$work/datatypes.dat" -l "$work/zxsort.out"
read -r zxsort_s zxsort_cpu zxsort_kb <"$work/zxsort.figures"

# The same grouping with sort and awk: sort by hour, then by the key
# columns without regard to case; average bytecount and responsetime over
# each run, count it, cut the time stamp to the hour.
cat >"$work/group.awk" <<'AWK'
function flush() {
  if (n == 0) return
  if (n > 1) { f[7] = sprintf("%.3f", s7 / n); f[8] = sprintf("%.3f", s8 / n); f[19] = n "\r" }
  f[1] = substr(f[1], 1, 14) "00:00"
  line = f[1]
  for (c = 2; c <= 19; c++) line = line OFS f[c]
  print line
}
{
  key = tolower($13 FS $2 FS $3 FS $4 FS $5 FS $6 FS $9 FS $10 FS $11 FS $12)
  if (key != prev) { flush(); prev = key; n = 0; s7 = 0; s8 = 0; for (c = 1; c <= NF; c++) f[c] = $c }
  n++; s7 += $7; s8 += $8
}
END { flush() }
AWK
measured pipeline bash -c "sort -t, -f -k13,13n -k2,6 -k9,12 -S 50% '$work/bench.csv' |
  awk -F, -v OFS=, -f '$work/group.awk' >'$work/pipeline.srt'"
read -r pipeline_s pipeline_cpu sort_kb <"$work/pipeline.figures"

# The sort file without its random group identifier (column 18).
masked_sum() { cut -d, -f1-17,19- "$1" | md5sum | cut -d' ' -f1; }
zxsort_sum=$(masked_sum "$work/bench.srt")
reference_note=""
if [ -n "${REFERENCE:-}" ]; then
  cp "$work/bench.srt" "$work/zxsort.srt"
  measured reference "$REFERENCE" -m 0 -v "$work/bench" -d "$work/datatypes.dat" -l "$work/reference.out"
  read -r reference_s reference_cpu reference_kb <"$work/reference.figures"
  if [ "$(masked_sum "$work/bench.srt")" = "$zxsort_sum" ]; then
    reference_note="identical to the reference"
  else
    reference_note="DIFFERS from the reference"
  fi
  reference_note="$reference_note; reference wall $reference_s s, CPU $reference_cpu s, peak $((reference_kb / 1024)) MB"
  mv "$work/zxsort.srt" "$work/bench.srt"
fi
cores=$(nproc)
load=$(cut -d' ' -f1-3 /proc/loadavg)

zxsort_lines=$(wc -l <"$work/bench.srt")
pipeline_lines=$(wc -l <"$work/pipeline.srt")

awk -v rows="$rows" -v bytes="$bytes" -v hour="$largest_hour" \
    -v zs="$zxsort_s" -v zc="$zxsort_cpu" -v zk="$zxsort_kb" \
    -v ps="$pipeline_s" -v pc="$pipeline_cpu" -v sk="$sort_kb" \
    -v zl="$zxsort_lines" -v pl="$pipeline_lines" -v sum="$zxsort_sum" \
    -v ref="$reference_note" -v cores="$cores" -v load="$load" 'BEGIN {
  printf "machine:           %d cores, load average %s\n", cores, load
  printf "data file:         %d rows, %.1f MB, largest hour %.1f MB\n", rows, bytes / 1e6, hour / 1e6
  printf "zxsort:            wall %.2f s, CPU %.2f s, %.0f rows/CPU s, peak %.1f MB (%.2f x largest hour), %d records\n",
    zs, zc, rows / zc, zk / 1024, zk * 1024 / hour, zl
  printf "sort | awk:        wall %.2f s, CPU %.2f s, %.0f rows/CPU s, peak %.1f MB, %d records\n",
    ps, pc, rows / pc, sk / 1024, pl
  printf "speed ratio:       wall %.2f, CPU %.2f (pipeline / zxsort)\n", ps / zs, pc / zc
  printf "sort file:         md5 %s (group identifier masked)%s\n", sum, ref == "" ? "" : ", " ref
  if (zl != pl) printf "warning: the two outputs differ in their record counts\n"
}'
