#!/usr/bin/env bash
# Measures zxreport on a month of data against two plain full scans of the
# same raw table by the database's own shell (sqlite3, psql:
# SELECT dt_hour, count(*), sum(bytecount) FROM raw_month GROUP BY dt_hour),
# timed side by side in the same rounds, on SQLite and on PostgreSQL (a
# throwaway server, as in the tests), through the summaries zxload keeps
# (zxload_summary) and through the rows (the summary table renamed away for
# those rounds). The month: bench_monthgen writes DAYS daily proxy (squid
# layout, 60 % of LINES) and web server logs (combined layout, 40 %);
# zxbatch converts, sorts (hourly and per 15 minutes) and loads them into
# SQLite; zxload loads the same sort files into PostgreSQL. Also prints what
# the summaries cost the load: the summary pass a row (bench_summary_cost,
# over the month's sort files) and the summary table's size; with
# REFERENCE_ZXLOAD (a zxload without summaries) the loads of a few days by
# both, in turns. A ratio below 1 means the report took less time than the
# two scans.
#
# Usage: bash bench/zxreport_bench.sh
# Environment:
#   LINES      log lines of the month (default 10000000)
#   DAYS       days (default 30)
#   ROUNDS     rounds of the timings (default 3)
#   BUILD_DIR  build directory (default build-bench in the source tree)
#   KEEP       set to keep the generated files
#   REUSE      a directory kept by an earlier run: its logs and SQLite
#              database are used again (PostgreSQL is loaded anew)
#   REFERENCE_ZXLOAD  an earlier zxload, to time loads against
set -euo pipefail
export LC_ALL=C TZ=UTC
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
lines=${LINES:-10000000}
days=${DAYS:-30}
rounds=${ROUNDS:-3}

source "$root/bench/common.sh"
source "$root/tests/zxload/pg_server.sh"
bench_prepare bench/zxreport_bench.sh parser zxsort zxload zxreport bench_monthgen bench_summary_cost
trap 'pg_stop; bench_cleanup' EXIT
types=$root/config/datatypes.dat
zxreport=$build/zxreport/zxreport
measures=bytecount:13,bytecount:12,refcount:13

if [ -n "${REUSE:-}" ]; then
  rm -rf "$work"
  work=$REUSE KEEP=1
  rm -rf "$work/pg"
fi
db=$work/month.db
mkdir -p "$work/logs" "$work/out"
if [ ! -s "$db" ]; then
squid_lines=$((lines * 6 / 10))
t0=$(now)
"$build/bench/bench_monthgen" squid "$squid_lines" "$days" "$work/logs"
"$build/bench/bench_monthgen" combined "$((lines - squid_lines))" "$days" "$work/logs"
t1=$(now)
echo "generated $lines lines over $days days in $(elapsed "$t0" "$t1") s"
printf '*/squid-*  format=squid\n*/combined-*  format=combined\n' >"$work/map"
t0=$(now)
PARSER=$build/parser/parser ZXSORT=$build/zxsort/zxsort ZXLOAD=$build/zxload/zxload \
  bash "$root/zxbatch/zxbatch" -d "$types" -b oracle -a month -e 0 -m "$work/map" -o "$work/out" -j 2 \
  --billing "15,$measures" --load "sqlite:$work/month.db" "$work/logs" | tail -3
t1=$(now)
echo "converted, sorted and loaded into SQLite in $(elapsed "$t0" "$t1") s"
fi
rows=$(sqlite3 "$db" 'SELECT count(*) FROM raw_month')
merged=$(sqlite3 "$db" 'SELECT sum(refcount) FROM raw_month')
bill_rows=$(sqlite3 "$db" 'SELECT count(*) FROM bill_month')
echo "raw_month: $rows rows standing for $merged log lines; bill_month: $bill_rows rows"
echo "SQLite file: $(du -m "$db" | cut -f1) MB"

mkdir -p "$work/pg"
chmod 0755 "$work"  # the server runs as nobody when started as root
pg_start "$work/pg" >/dev/null || { echo "PostgreSQL not available: SQLite only"; PG_DIR=; }
if [ -n "${PG_DIR:-}" ]; then
  t0=$(now)
  "$build/zxload/zxload" -k oracle -d "$types" -a month -p dbname=postgres \
    "$work"/out/*.srt "$work"/out/*.bsrt >/dev/null
  psql -X -q -c 'VACUUM ANALYZE raw_month' -c 'VACUUM ANALYZE bill_month'
  t1=$(now)
  echo "loaded into PostgreSQL in $(elapsed "$t0" "$t1") s ($(psql -X -A -t -c "SELECT pg_size_pretty(pg_total_relation_size('raw_month'))") raw_month)"
fi

baseline_sql='SELECT dt_hour, count(*), sum(bytecount) FROM raw_month GROUP BY dt_hour'
timed() {  # timed COMMAND...: wall seconds of the command (output discarded)
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>&1 || echo "FAILED: $*" >&2
  t1=$(now)
  elapsed "$t0" "$t1"
}
sqlite_scan() { sqlite3 "$db" "$baseline_sql"; }
pg_scan() { psql -X -q -c "$baseline_sql"; }

# compare NAME SCAN REPORT-ARGS...: rounds of two scans and the report,
# the order alternating; prints each round and the ratio.
compare() {
  local name=$1 scan=$2 r s1 s2 rep
  shift 2
  for ((r = 1; r <= rounds; r++)); do
    if ((r % 2)); then
      s1=$(timed "$scan"); s2=$(timed "$scan"); rep=$(timed "$zxreport" "$@")
    else
      rep=$(timed "$zxreport" "$@"); s1=$(timed "$scan"); s2=$(timed "$scan")
    fi
    awk -v n="$name" -v a="$s1" -v b="$s2" -v c="$rep" -v l="$(cut -d' ' -f1 /proc/loadavg)" \
      'BEGIN { printf "%-34s scans %6.2f + %6.2f s  report %6.2f s  ratio %.2f  (load %s)\n", n, a, b, c, c / (a + b), l }'
  done
}

summary_mb() {  # summary_mb sqlite|postgres: megabytes of the cells kept
  if [ "$1" = sqlite ]; then sqlite3 "$db" 'SELECT sum(length(data)) / 1048576 FROM zxload_summary'
  else psql -X -A -t -c 'SELECT sum(length(data)) / 1048576 FROM zxload_summary'; fi
}
echo "summary cells: $(summary_mb sqlite) MB in SQLite$([ -n "${PG_DIR:-}" ] && echo ", $(summary_mb postgres) MB in PostgreSQL")"
# summaries on|off DB: the summary table under its name, or renamed away
# (zxreport then reads every load's rows).
summaries() {
  local from=zxload_summary to=zxload_summary_off
  [ "$1" = on ] && { from=zxload_summary_off; to=zxload_summary; }
  if [ "$2" = sqlite ]; then sqlite3 "$db" "ALTER TABLE $from RENAME TO $to"
  else psql -X -q -c "ALTER TABLE $from RENAME TO $to"; fi
}

machine_line
report=(-o "$work/r.html" --json "$work/r.json" --ids "$types.id" --measures "$measures")
week=(--from 2026-12-08 --to 2026-12-14)
# figures NAME: the report's figures (the JSON but for its time of writing).
figures() { grep -v '"generated"' "$work/r.json" >"$work/$1.json"; }
compare "SQLite, raw and billing tables" sqlite_scan -s "$db" "${report[@]}"
figures summaries
compare "SQLite, raw table" sqlite_scan -s "$db" --raw raw_month "${report[@]}"
compare "SQLite, one week" sqlite_scan -s "$db" "${week[@]}" "${report[@]}"
summaries off sqlite
compare "SQLite, rows, raw and billing" sqlite_scan -s "$db" "${report[@]}"
figures rows
compare "SQLite, rows, raw table" sqlite_scan -s "$db" --raw raw_month "${report[@]}"
summaries on sqlite
cmp -s "$work/summaries.json" "$work/rows.json" && echo "figures through summaries and through rows: the same" ||
  echo "figures through summaries and through rows: DIFFERENT"
if [ -n "${PG_DIR:-}" ]; then
  compare "PostgreSQL, raw and billing tables" pg_scan -p dbname=postgres "${report[@]}"
  compare "PostgreSQL, raw table" pg_scan -p dbname=postgres --raw raw_month "${report[@]}"
  compare "PostgreSQL, one week" pg_scan -p dbname=postgres "${week[@]}" "${report[@]}"
  summaries off postgres
  compare "PostgreSQL, rows, raw and billing" pg_scan -p dbname=postgres "${report[@]}"
  compare "PostgreSQL, rows, raw table" pg_scan -p dbname=postgres --raw raw_month "${report[@]}"
  summaries on postgres
fi

# What the summaries cost the load.
echo "summary pass over the month's sort files:"
"$build/bench/bench_summary_cost" 1 "$types" "$work"/out/*.srt "$work"/out/*.bsrt | sed 's/^/  /'
if [ -n "${REFERENCE_ZXLOAD:-}" ]; then
  files=("$work"/out/*-day0[1-4].log.srt "$work"/out/*-day0[1-4].log.bsrt)
  for ((r = 1; r <= rounds; r++)); do
    for z in "$REFERENCE_ZXLOAD" "$build/zxload/zxload"; do
      rm -f "$work/cost.db"*
      t=$(timed "$z" -k oracle -d "$types" -a month -s "$work/cost.db" "${files[@]}")
      echo "$([ "$z" = "$REFERENCE_ZXLOAD" ] && echo "reference zxload" || echo "zxload          ") ${#files[@]} files into SQLite: $t s (load $(cut -d' ' -f1 /proc/loadavg))"
    done
  done
fi
machine_line
