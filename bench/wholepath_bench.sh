#!/usr/bin/env bash
# The whole path against an analyser a user would pick: zxbatch converting,
# sorting hourly and per billing interval, loading into SQLite and writing
# the HTML report (zxreport) of a batch of logs, side by side with GoAccess
# (Debian package goaccess) writing its HTML report from the same logs.
# Half the logs are squid, half combined. GoAccess reads one layout per run,
# so it makes one report per layout, run two ways: one after the other (one
# core, as a user types them) and both at once (both cores). Each round runs
# the three measurements in turn, each after `sync`; ratios are line rates
# (lines per wall second), zxbatch's over GoAccess's; CPU is user + system
# seconds of every process, memory the largest process's peak.
#
# The database is checked: row counts and per-column sums (group and load
# ids aside) of the raw and billing tables against the rows of the sort
# files; with REFERENCE_BIN (a directory with parser, zxsort and zxload of
# another build, an older one, say) that build's whole path loads the same
# logs once and its tables must give the same counts and sums. GoAccess's
# reports must count every line.
#
# Usage: bash bench/wholepath_bench.sh
# Environment:
#   LOGS           number of logs (default 16)
#   LINES          lines per log (default 250000)
#   JOBS           zxbatch jobs (default 2)
#   ROUNDS         rounds (default 3)
#   BUILD_DIR      build directory (default build-bench in the source tree)
#   REFERENCE_BIN  see above
#   KEEP           set to keep the logs and outputs
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
logs_n=${LOGS:-16}
lines=${LINES:-250000}
jobs=${JOBS:-2}
rounds=${ROUNDS:-3}

source "$root/bench/common.sh"
command -v goaccess >/dev/null || { echo "needs goaccess (Debian package goaccess)" >&2; exit 1; }
bench_prepare bench/wholepath_bench.sh parser zxsort zxload zxreport bench_loggen
types=$root/config/datatypes.dat
billing=15,bytecount:13,bytecount:11,responsetime:12
readonly squid_format='%x.%^ %~%L %h %^/%s %b %m %U %^ %^ %^'

mkdir -p "$work/logs/squid" "$work/logs/combined"
for ((i = 0; i < logs_n; i++)); do
  layout=squid
  [ $((i % 2)) -eq 1 ] && layout=combined
  "$build/bench/bench_loggen" "$layout" "$lines" $((i * lines)) >"$work/logs/$layout/day$i.log"
done
printf '*/squid/*  format=squid\n*/combined/*  format=combined\n' >"$work/map"
total_lines=$((logs_n * lines))

# timed NAME COMMAND...: runs the command after a clean start; "wall cpu
# peak-MB" in $work/NAME.time.
timed() {
  local name=$1
  shift
  rm -rf "$work/batch" "$work"/goaccess-*.html
  sync
  /usr/bin/time -f '%e %U %S %M' -o "$work/$name.raw" bash -c '"$@"' - "$@" >/dev/null 2>"$work/$name.err" ||
    { cat "$work/$name.err" >&2; exit 1; }
  awk '{ printf "%.2f %.2f %.1f\n", $1, $2 + $3, $4 / 1024 }' "$work/$name.raw" >"$work/$name.time"
}

# whole_path DIR DB [PROGRAMS_DIR]: zxbatch over every log into DIR, loading
# DB and writing DIR/report.html.
whole_path() {
  local dir=$1 db=$2 bin=${3:-$build}
  rm -f "$db"*
  PARSER=$bin/parser/parser ZXSORT=$bin/zxsort/zxsort ZXLOAD=$bin/zxload/zxload \
    ZXREPORT=$build/zxreport/zxreport \
    bash "$root/zxbatch/zxbatch" -d "$types" -b oracle -m "$work/map" -o "$dir" -j "$jobs" \
    --billing "$billing" --load "sqlite:$db" --report "$dir/report.html" "$work/logs"
}

# goaccess_layout LAYOUT: GoAccess's HTML report of the logs of LAYOUT.
goaccess_layout() {
  local format=(--log-format=COMBINED)
  [ "$1" = squid ] && format=(--log-format="$squid_format" --date-format=%s --time-format=%s)
  goaccess "$work"/logs/"$1"/*.log "${format[@]}" --no-progress -o "$work/goaccess-$1.html"
}
goaccess_one_by_one() { goaccess_layout squid && goaccess_layout combined; }
goaccess_both() {
  goaccess_layout squid &
  local squid=$!
  goaccess_layout combined || return 1
  wait "$squid"
}
goaccess_check() {  # every line counted in the two reports
  local counted
  counted=$(cat "$work"/goaccess-*.html | grep -o '"total_requests": *[0-9]*' |
    awk '{ n += $2 } END { print n + 0 }')
  # Each report states its total twice (general and overall panels).
  [ "$counted" = $((2 * total_lines)) ] || [ "$counted" = "$total_lines" ] ||
    { echo "GoAccess counted $counted lines of $total_lines" >&2; exit 1; }
}

# table_sums DB TABLE: the row count and per-column sums (numbers, or text
# lengths in bytes), group and load ids aside.
table_sums() {
  local db=$1 table=$2 sql="count(*)" name type
  while read -r name type; do
    case $name in groupid | zxload_id) continue ;; esac
    case $type in
      INTEGER) sql+=", sum(\"$name\")" ;;
      REAL) sql+=", sum(CAST(round(\"$name\" * 1000000) AS INTEGER))" ;;  # in any order
      *) sql+=", sum(length(CAST(\"$name\" AS BLOB)))" ;;
    esac
  done < <(sqlite3 -separator ' ' "$db" "SELECT name, type FROM pragma_table_info('$table')")
  sqlite3 "$db" "SELECT $sql FROM \"$table\""
}
export work build root types billing jobs squid_format
export -f whole_path goaccess_layout goaccess_one_by_one goaccess_both

# file_rows SUFFIX: rows of every sort file of SUFFIX in the batch outputs.
file_rows() { cat "$work"/batch/*/*"$1" | wc -l; }

echo "logs: $logs_n x $lines lines ($total_lines; half squid, half combined), $(du -sh "$work/logs" | cut -f1); zxbatch -j $jobs; $(machine_line)"
if [ -n "${REFERENCE_BIN:-}" ]; then
  for program in parser/parser zxsort/zxsort zxload/zxload; do
    mkdir -p "$work/ref-bin/$(dirname "$program")"
    ln -sf "$REFERENCE_BIN/$(basename "$program")" "$work/ref-bin/$program"
  done
  whole_path "$work/reference" "$work/reference.db" "$work/ref-bin" >/dev/null 2>"$work/reference.err" ||
    { cat "$work/reference.err" >&2; exit 1; }
fi
for ((r = 1; r <= rounds; r++)); do
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  timed zxbatch whole_path "$work/batch" "$work/batch.db"
  for table in raw_ bill_; do
    suffix=.srt
    [ "$table" = bill_ ] && suffix=.bsrt
    got=$(table_sums "$work/batch.db" "$table")
    [ "${got%%|*}" = "$(file_rows "$suffix")" ] ||
      { echo "$table holds ${got%%|*} rows, the sort files $(file_rows "$suffix")" >&2; exit 1; }
    if [ -n "${REFERENCE_BIN:-}" ] && [ "$got" != "$(table_sums "$work/reference.db" "$table")" ]; then
      echo "$table: counts and sums differ from the reference build's" >&2
      exit 1
    fi
  done
  timed one goaccess_one_by_one
  goaccess_check
  timed both goaccess_both
  goaccess_check
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  read -r zw zc zm <"$work/zxbatch.time"
  read -r ow oc om <"$work/one.time"
  read -r bw bc bm <"$work/both.time"
  awk -v r="$r" -v n="$total_lines" -v zw="$zw" -v zc="$zc" -v zm="$zm" -v ow="$ow" -v oc="$oc" \
    -v om="$om" -v bw="$bw" -v bc="$bc" -v bm="$bm" -v l1="$load_before" -v l2="$load_after" 'BEGIN {
    printf "round %d: zxbatch (convert, hourly, billing, SQLite, report) %.2f s, %.0f lines/s, %.2f CPU s, %.0f MB\n", r, zw, n / zw, zc, zm
    printf "round %d: GoAccess one after the other %.2f s, %.0f lines/s, %.2f CPU s, %.0f MB; both at once %.2f s, %.0f lines/s, %.2f CPU s, %.0f MB\n", r, ow, n / ow, oc, om, bw, n / bw, bc, bm
    printf "round %d: ratio %.2f against GoAccess one after the other, %.2f against both at once; CPU ratio %.2f; load average before %s, after %s\n", r, ow / zw, bw / zw, oc / zc, l1, l2 }'
done
[ -n "${REFERENCE_BIN:-}" ] && echo "database: counts and per-column sums of raw_ and bill_ equal those of the reference build"
echo "database: the rows of raw_ and bill_ are those of the sort files"
