#!/usr/bin/env bash
# Measures zxload on a parser data file and on the hourly sort file of the
# same log, and compares it, in the same run and on the same rows, with the
# sqlite3 shell's `.import` of a CSV of those rows (into a table of the same
# columns and types) and with psql's `\copy ... csv` into a PostgreSQL table
# of the same columns and types (a throwaway server, as in the tests). Each
# load goes into an empty table (a new database file for SQLite); the two
# sides take turns at going first; the median of REPEAT runs counts (every
# run is shown). Ratios above 1 mean zxload is faster. CPU is user + system
# seconds, memory the peak resident set, both from /usr/bin/time.
#
# The loaded tables are compared: row counts and, per column, the sum of
# the numbers or of the text lengths, zxload's table against the other
# side's; with REFERENCE_ZXLOAD (another zxload build, an older one, say)
# that build loads the same file too and its table must hold exactly the
# same rows, values and types.
#
# Usage: bash bench/zxload_bench.sh
# Environment:
#   ROWS             rows of the log (default 500000, squid layout)
#   REPEAT           runs of each load (default 5)
#   FILES            which files: "csv srt" (default), or one of them
#   DATABASES        "sqlite postgres" (default), or one of them
#   BUILD_DIR        build directory (default build-bench in the source tree)
#   REFERENCE_ZXLOAD another zxload whose tables must be the same
#   INTO             "new" (default): each SQLite load into a new database;
#                    "existing": both sides into a copy of a database that
#                    holds an earlier load (in write-ahead log mode, as
#                    zxload leaves a database)
#   KEEP             set to keep the generated files
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
rows=${ROWS:-500000}
repeat=${REPEAT:-5}
files=${FILES:-csv srt}
databases=${DATABASES:-sqlite postgres}

source "$root/bench/common.sh"
source "$root/tests/zxload/pg_server.sh"
bench_prepare bench/zxload_bench.sh parser zxsort bench_loggen zxload
trap 'pg_stop; bench_cleanup' EXIT
zxload=$build/zxload/zxload
types=$root/config/datatypes.dat

"$build/bench/bench_loggen" squid "$rows" >"$work/bench.log"
"$build/parser/parser" -l "$work/bench.log" -d "$types" -b oracle -a bench -t squid -e 0 >/dev/null ||
  { echo "parser failed" >&2; exit 1; }
"$build/zxsort/zxsort" -m 0 -v "$work/bench.log" -d "$types" -l "$work/bench.log.out" >/dev/null ||
  { echo "zxsort failed" >&2; exit 1; }

# server_ticks: CPU clock ticks of the PostgreSQL server so far: the
# postmaster, its ended children (a connection's backend ends with it) and
# its live ones; 0 without a server.
server_ticks() {
  local pm ticks child
  pm=$(head -1 "${PG_DIR:-/nonexistent}/data/postmaster.pid" 2>/dev/null) || { echo 0; return; }
  ticks=$(awk '{ print $14 + $15 + $16 + $17 }' "/proc/$pm/stat")
  for child in $(pgrep -P "$pm"); do
    ticks=$((ticks + $(awk '{ print $14 + $15 }' "/proc/$child/stat" 2>/dev/null || echo 0)))
  done
  echo "$ticks"
}
# measure NAME COMMAND...: runs the command, appends "wall cpu peak-MB
# server-cpu" to $work/NAME.runs.
measure() {
  local name=$1 before after
  shift
  # Neither side pays for writing back what the run before it wrote.
  sync
  before=$(server_ticks)
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null
  sleep 0.2  # the backend ends after the client
  after=$(server_ticks)
  awk -v s=$((after - before)) -v hz="$(getconf CLK_TCK)" '{
    printf "%.3f %.3f %.1f %.2f\n", $1, $2 + $3, $4 / 1024, s / hz }' "$work/time" >>"$work/$name.runs"
}
# medians NAME: "wall cpu peak-MB server-cpu", each the median of the runs.
medians() {
  local c out=()
  for c in 1 2 3 4; do
    out+=("$(cut -d' ' -f$c "$work/$1.runs" | sort -g | awk '{ v[NR] = $1 } END {
      print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }')")
  done
  echo "${out[*]}"
}
# walls NAME: the wall times of every run.
walls() { cut -d' ' -f1 "$work/$1.runs" | tr '\n' ' '; }

# sums_sql TABLE COLUMNS LENGTH: one query giving the row count and, per
# column ("name type" lines), the sum of the numbers or of the text lengths
# (LENGTH is the expression of a text's byte length with NAME for it).
sums_sql() {
  local table=$1 length=$3 name type sql="count(*)"
  while read -r name type; do
    case $type in
      double*) sql+=", sum(\"$name\"::numeric)" ;;  # exact, in any order
      *INT* | *REAL* | *numeric* | *bigint*) sql+=", sum(\"$name\")" ;;
      timestamp*) sql+=", sum(extract(epoch FROM \"$name\"))" ;;
      *) sql+=", ${length//NAME/\"$name\"}" ;;
    esac
  done <<<"$2"
  echo "SELECT $sql FROM $table"
}

report() {  # report DB FILE OTHER: medians, ratios and the comparison
  local db=$1 file=$2 other=$3
  read -r zw zc zm zs < <(medians "$db-$file-zxload")
  read -r ow oc om os < <(medians "$db-$file-$other")
  echo "$db $file: zxload $(walls "$db-$file-zxload")s; $other $(walls "$db-$file-$other")s"
  awk -v db="$db" -v f="$file" -v o="$other" -v zw="$zw" -v zc="$zc" -v zm="$zm" -v zs="$zs" \
    -v ow="$ow" -v oc="$oc" -v om="$om" -v os="$os" -v r="$loaded_rows" 'BEGIN {
    printf "%s %s: median wall zxload %.3f s (%.0f rows/s), %s %.3f s: ratio %.2f; CPU %.2f s / %.2f s: ratio %.2f; peak memory %.1f MB / %.1f MB\n",
      db, f, zw, r / zw, o, ow, ow / zw, zc, oc, oc / zc, zm, om
    if (db == "postgres")
      printf "%s %s: server CPU zxload %.2f s, %s %.2f s: ratio %.2f; client and server CPU %.2f s / %.2f s\n",
        db, f, zs, o, os, os / zs, zc + zs, oc + os }'
}

echo "$(machine_line); log of $rows squid lines; REPEAT=$repeat; SQLite loads into ${INTO:-new} databases"
for file in $files; do
  data=$work/bench.log.$file
  loaded_rows=$(wc -l <"$data")
  # The same rows as a CSV: line ends without CR, a value holding a double
  # quote enclosed in double quotes with the quote doubled.
  awk -F, -v OFS=, '{ sub(/\r$/, ""); for (i = 1; i <= NF; i++) if (index($i, "\"")) {
    gsub(/"/, "\"\"", $i); $i = "\"" $i "\"" } print }' "$data" >"$work/import.csv"
  echo "$file: $loaded_rows rows, $(awk -v b="$(wc -c <"$data")" 'BEGIN { printf "%.1f", b / 1048576 }') MB"

  for db in $databases; do
    if [ "$db" = sqlite ]; then
      rm -f "$work"/*.db*
      "$zxload" -k oracle -d "$types" -s "$work/schema.db" "$data" >/dev/null
      columns=$(sqlite3 -separator ' ' "$work/schema.db" \
        "SELECT name, type FROM pragma_table_info('raw_bench') WHERE name <> 'zxload_id'")
      # The same table without zxload's load id column, which the CSV lacks.
      schema=$(sqlite3 "$work/schema.db" '.schema raw_bench' | sed 's/, *zxload_id INTEGER//')
      query=$(sums_sql raw_bench "$columns" "sum(length(CAST(NAME AS BLOB)))")
      if [ "${INTO:-new}" = existing ]; then
        head -n 1000 "$work/bench.log.csv" >"$work/earlier.log.csv"
        cp "$work/bench.log.ctl" "$work/earlier.log.ctl"
        cp "$work/bench.log.zx3" "$work/earlier.log.zx3"
        rm -f "$work/earlier.db"*
        "$zxload" -k oracle -d "$types" -s "$work/earlier.db" -a earlier "$work/earlier.log.csv" >/dev/null
      fi
      side() {  # side zxload|import: one load into a new database, or a copy of earlier.db
        rm -f "$work/$1.db"*
        [ "${INTO:-new}" = existing ] && cp "$work/earlier.db" "$work/$1.db"
        if [ "$1" = zxload ]; then
          measure "sqlite-$file-zxload" "$zxload" -k oracle -d "$types" -s "$work/zxload.db" "$data"
        else
          sqlite3 "$work/import.db" "$schema"
          measure "sqlite-$file-import" sqlite3 "$work/import.db" ".import --csv $work/import.csv raw_bench"
        fi
      }
      for run in $(seq "$repeat"); do
        if [ $((run % 2)) = 1 ]; then side zxload; side import; else side import; side zxload; fi
      done
      [ "$(sqlite3 "$work/zxload.db" "$query")" = "$(sqlite3 "$work/import.db" "$query")" ] ||
        { echo "sqlite $file: zxload's table and .import's differ" >&2; exit 1; }
      if [ -n "${REFERENCE_ZXLOAD:-}" ]; then
        "$REFERENCE_ZXLOAD" -k oracle -d "$types" -s "$work/reference.db" "$data" >/dev/null
        typed=$(sqlite3 "$work/schema.db" "SELECT group_concat('typeof(\"' || name || '\"), quote(\"' || name || '\")', ', ') FROM pragma_table_info('raw_bench')")
        differ=$(sqlite3 "$work/zxload.db" "ATTACH '$work/reference.db' AS r;
          SELECT count(*) FROM (SELECT rowid, $typed FROM main.raw_bench EXCEPT SELECT rowid, $typed FROM r.raw_bench);
          SELECT count(*) = (SELECT count(*) FROM r.raw_bench) FROM main.raw_bench" | tr '\n' ' ')
        [ "$differ" = "0 1 " ] || { echo "sqlite $file: the reference zxload's table differs ($differ)" >&2; exit 1; }
        echo "sqlite $file: the same rows, values and types as the reference zxload's"
      fi
      echo "sqlite $file: rows and per-column sums the same as .import's ($(sqlite3 "$work/zxload.db" "$query" | cut -d'|' -f1-3)|...)"
      report sqlite "$file" import
    elif [ "$db" = postgres ]; then
      if [ -z "${PG_DIR:-}" ]; then
        if ! pg_start "$work" >/dev/null; then
          echo "postgres: skipped (server programs not found)"
          continue
        fi
        export PGOPTIONS='-c client_min_messages=warning'
      fi
      psql() { command psql -X -q -v ON_ERROR_STOP=1 "$@"; }
      psql -c "DROP TABLE IF EXISTS raw_bench, copy_bench, ceiling_bench; DROP TABLE IF EXISTS zxload_files"
      # The first run makes the table definition for \copy.
      "$zxload" -k oracle -d "$types" -p "dbname=postgres" "$data" >/dev/null
      psql -c "CREATE TABLE copy_bench (LIKE raw_bench); ALTER TABLE copy_bench DROP COLUMN zxload_id"
      # The ceiling of any client on this server: zxload's rows in binary
      # form, sent from a file by psql, which does no work on them.
      psql -c "\\copy raw_bench TO '$work/rows.bin' (FORMAT binary)" \
        -c "CREATE TABLE ceiling_bench (LIKE raw_bench)"
      columns=$(psql -A -t -F ' ' -c "SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute
        WHERE attrelid = 'copy_bench'::regclass AND attnum > 0 AND NOT attisdropped ORDER BY attnum")
      side() {
        if [ "$1" = zxload ]; then
          psql -c "DROP TABLE raw_bench; DELETE FROM zxload_files; CHECKPOINT"
          measure "postgres-$file-zxload" "$zxload" -k oracle -d "$types" -p "dbname=postgres" "$data"
        elif [ "$1" = copy ]; then
          psql -c "TRUNCATE copy_bench; CHECKPOINT"
          measure "postgres-$file-copy" psql -c "\\copy copy_bench FROM '$work/import.csv' WITH (FORMAT csv)"
        else
          psql -c "TRUNCATE ceiling_bench; CHECKPOINT"
          measure "postgres-$file-ceiling" psql -c "\\copy ceiling_bench FROM '$work/rows.bin' (FORMAT binary)"
        fi
      }
      for run in $(seq "$repeat"); do
        case $((run % 3)) in
          1) side zxload; side copy; side ceiling ;;
          2) side copy; side ceiling; side zxload ;;
          0) side ceiling; side zxload; side copy ;;
        esac
      done
      a=$(psql -A -t -c "$(sums_sql raw_bench "$columns" "sum(octet_length(NAME))")")
      b=$(psql -A -t -c "$(sums_sql copy_bench "$columns" "sum(octet_length(NAME))")")
      [ "$a" = "$b" ] || { echo "postgres $file: zxload's table and \\copy's differ: $a / $b" >&2; exit 1; }
      if [ -n "${REFERENCE_ZXLOAD:-}" ]; then
        psql -c "ALTER TABLE raw_bench RENAME TO new_bench; DELETE FROM zxload_files"
        "$REFERENCE_ZXLOAD" -k oracle -d "$types" -p "dbname=postgres" "$data" >/dev/null
        differ=$(psql -A -t -c "SELECT (SELECT count(*) FROM (SELECT * FROM new_bench EXCEPT ALL SELECT * FROM raw_bench) d)
          + (SELECT count(*) FROM (SELECT * FROM raw_bench EXCEPT ALL SELECT * FROM new_bench) e)")
        [ "$differ" = 0 ] || { echo "postgres $file: the reference zxload's table differs" >&2; exit 1; }
        psql -c "DROP TABLE raw_bench; ALTER TABLE new_bench RENAME TO raw_bench"
        echo "postgres $file: the same rows and values as the reference zxload's"
      fi
      echo "postgres $file: rows and per-column sums the same as \\copy's ($(cut -d'|' -f1-3 <<<"$a")|...)"
      report postgres "$file" copy
      read -r cw _ _ cs < <(medians "postgres-$file-ceiling")
      read -r ow _ _ _ < <(medians "postgres-$file-copy")
      read -r zw _ _ zs < <(medians "postgres-$file-zxload")
      # zxload's own bound, roughly: one backend takes in its rows and the
      # load's summary (one transaction), so the load lasts about the
      # server CPU it costs (that of every server process: the background
      # ones run beside the backend, so it is an estimate).
      awk -v f="$file" -v cw="$cw" -v cs="$cs" -v ow="$ow" -v zw="$zw" -v zs="$zs" 'BEGIN {
        printf "postgres %s: ceiling (psql \\copy of the same rows in binary form from a file) %.3f s, server CPU %.2f s: ratio to \\copy csv %.2f\n",
          f, cw, cs, ow / cw
        printf "postgres %s: zxload bound (the server CPU of its rows and summary, %.2f s, taken as wall time): ratio to \\copy csv %.2f; zxload reached %.0f %% of it\n",
          f, zs, ow / zs, 100 * zs / zw }'
    fi
  done
done
echo "$(machine_line)"
