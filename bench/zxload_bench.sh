#!/usr/bin/env bash
# Measures zxload on one parser data file and compares it, in the same run and
# on the same rows, with the sqlite3 shell's `.import` of a CSV of those rows
# (into a table of the same columns and types) and with psql's `\copy ... csv`
# into a PostgreSQL table of the same columns and types (a throwaway server,
# as in the tests). Each load goes into an empty table; the median of REPEAT
# runs of each counts (the machine may be shared; every run is shown).
# Ratios above 1 mean zxload is faster.
#
# Usage: bash bench/zxload_bench.sh
# Environment:
#   ROWS       rows of the data file (default 500000, squid layout)
#   REPEAT     runs of each load (default 5)
#   BUILD_DIR  build directory (default build-bench in the source tree)
#   KEEP       set to keep the generated files
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
rows=${ROWS:-500000}
repeat=${REPEAT:-5}

source "$root/bench/common.sh"
source "$root/tests/zxload/pg_server.sh"
bench_prepare bench/zxload_bench.sh parser bench_loggen zxload
trap 'pg_stop; bench_cleanup' EXIT
zxload=$build/zxload/zxload
types=$root/config/datatypes.dat

"$build/bench/bench_loggen" squid "$rows" >"$work/bench.log"
"$build/parser/parser" -l "$work/bench.log" -d "$types" -b oracle -a bench -t squid -e 0 >/dev/null ||
  { echo "parser failed" >&2; exit 1; }
data=$work/bench.log.csv
# The same rows as a CSV: line ends without CR, a value holding a double
# quote enclosed in double quotes with the quote doubled.
awk -F, -v OFS=, '{ sub(/\r$/, ""); for (i = 1; i <= NF; i++) if (index($i, "\"")) {
  gsub(/"/, "\"\"", $i); $i = "\"" $i "\"" } print }' "$data" >"$work/bench.import.csv"
loaded_rows=$(wc -l <"$data")
mb=$(awk -v b="$(wc -c <"$data")" 'BEGIN { printf "%.1f", b / 1048576 }')

timed() {  # timed COMMAND...: wall seconds of the command
  local t0 t1
  t0=$(now)
  "$@" >/dev/null
  t1=$(now)
  elapsed "$t0" "$t1"
}
median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END {
  print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

echo "data file: $loaded_rows rows, $mb MB ($data)"

# SQLite: zxload into a new database file, then .import into a new database
# file holding an empty table of the same schema.
# The two take turns at going first.
"$zxload" -k oracle -d "$types" -s "$work/schema.db" "$data" >/dev/null
# The same table without zxload's load id column, which the CSV lacks.
schema=$(sqlite3 "$work/schema.db" '.schema raw_bench' | sed 's/, *zxload_id INTEGER//')
zx_s=() imp_s=()
zxload_sqlite() {
  rm -f "$work/z.db"
  zx_s+=("$(timed "$zxload" -k oracle -d "$types" -s "$work/z.db" "$data")")
  [ "$(sqlite3 "$work/z.db" 'SELECT count(*) FROM raw_bench')" = "$loaded_rows" ] || { echo "zxload lost rows" >&2; exit 1; }
}
import_sqlite() {
  rm -f "$work/i.db"
  sqlite3 "$work/i.db" "$schema"
  imp_s+=("$(timed sqlite3 "$work/i.db" ".import --csv $work/bench.import.csv raw_bench")")
  [ "$(sqlite3 "$work/i.db" 'SELECT count(*) FROM raw_bench')" = "$loaded_rows" ] || { echo ".import lost rows" >&2; exit 1; }
}
for run in $(seq "$repeat"); do
  if [ $((run % 2)) = 1 ]; then zxload_sqlite; import_sqlite; else import_sqlite; zxload_sqlite; fi
done
zx=$(echo "${zx_s[@]}" | median); imp=$(echo "${imp_s[@]}" | median)
echo "SQLite:     zxload ${zx_s[*]} s, sqlite3 .import ${imp_s[*]} s (median: $zx / $imp)"
awk -v z="$zx" -v i="$imp" -v r="$loaded_rows" 'BEGIN {
  printf "SQLite:     zxload %.0f rows/s, .import %.0f rows/s, ratio %.2f (.import time / zxload time)\n", r / z, r / i, i / z }'

# PostgreSQL: zxload's COPY into a new table, then psql \copy of the CSV into
# a new table of the same definition.
if ! pg_start "$work" >/dev/null; then
  echo "PostgreSQL: skipped (server programs not found)"
  exit 0
fi
export PGOPTIONS='-c client_min_messages=warning'
psql() { command psql -X -q -v ON_ERROR_STOP=1 "$@"; }
# The first run makes the table definition for \copy; then the two take
# turns at going first, each after the tables were dropped.
"$zxload" -k oracle -d "$types" -p "dbname=postgres" "$data" >/dev/null
psql -c "CREATE TABLE copy_bench (LIKE raw_bench); ALTER TABLE copy_bench DROP COLUMN zxload_id"
zx_p=() cp_p=()
zxload_pg() {
  psql -c "DROP TABLE raw_bench; DELETE FROM zxload_files; CHECKPOINT"
  zx_p+=("$(timed "$zxload" -k oracle -d "$types" -p "dbname=postgres" "$data")")
}
copy_pg() {
  psql -c "TRUNCATE copy_bench; CHECKPOINT"
  cp_p+=("$(timed psql -c "\\copy copy_bench FROM '$work/bench.import.csv' WITH (FORMAT csv)")")
}
for run in $(seq "$repeat"); do
  if [ $((run % 2)) = 1 ]; then zxload_pg; copy_pg; else copy_pg; zxload_pg; fi
  [ "$(psql -A -t -c 'SELECT (SELECT count(*) FROM raw_bench)::text || (SELECT count(*) FROM copy_bench)::text')" = "$loaded_rows$loaded_rows" ] ||
    { echo "PostgreSQL row counts differ" >&2; exit 1; }
done
zx=$(echo "${zx_p[@]}" | median); cp=$(echo "${cp_p[@]}" | median)
echo "PostgreSQL: zxload ${zx_p[*]} s, psql \\copy ${cp_p[*]} s (median: $zx / $cp)"
awk -v z="$zx" -v c="$cp" -v r="$loaded_rows" 'BEGIN {
  printf "PostgreSQL: zxload %.0f rows/s, psql \\copy %.0f rows/s, ratio %.2f (\\copy time / zxload time)\n", r / z, r / c, c / z }'
