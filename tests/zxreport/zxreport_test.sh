#!/usr/bin/env bash
# zxreport against a real database, as a person sees it: zxreport_test.sh sqlite|postgres
# Loads the sample logs and a log of hostile values through parser, zxsort
# and zxload, writes the report, renders it in headless Chromium (skipped
# with a plain line where Chromium is absent: the figures are then checked
# from the JSON file), and checks every table against SQL of its own
# (check_report.py), that values stayed text, the CSV cells, a page over an
# empty range and the errors. With postgres, the same files also go into
# SQLite and both reports must hold the same figures.
# Needs PARSER, ZXSORT, ZXLOAD, ZXREPORT.
set -uo pipefail
mode=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
config=$root/config
types=$config/datatypes.dat
work=$(mktemp -d /tmp/zxreport_test.XXXXXX)
source "$root/tests/zxload/pg_server.sh"
trap 'pg_stop; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); "$@" || fail "$*"; }
export TZ=UTC

db=$work/r.db
if [ "$mode" = postgres ]; then
  pg_start "$work" || exit $?
  target=(-p "dbname=postgres")
  dbspec=postgres
else
  target=(-s "$db")
  dbspec=sqlite:$db
fi

# convert LOG APPLIANCE [FORMAT]: parser, both sorts, loads into the target
# (and into SQLite too for postgres).
convert() {
  local log=$work/$(basename "$1") appliance=$2 format=${3:-}
  [ -f "$log" ] || cp "$config/samples/$1" "$log"
  local args=(-l "$log" -d "$types" -b oracle -a "$appliance")
  [ -n "$format" ] && args+=(-t "$format")
  "$PARSER" "${args[@]}" >/dev/null || fail "parser ${args[*]}"
  "$ZXSORT" -m 0 -v "$log" -d "$types" -l "$log.out" >/dev/null || fail "zxsort hourly $1"
  "$ZXSORT" -m 1 -i 15 -v "$log" -d "$types" -l "$log.out" \
    -b1 bytecount:13 -b2 bytecount:12 -b3 refcount:13 >/dev/null || fail "zxsort billing $1"
  "$ZXLOAD" -k oracle -d "$types" -a "$appliance" "${target[@]}" "$log.srt" "$log.bsrt" >/dev/null ||
    fail "zxload $1"
  if [ "$mode" = postgres ]; then
    "$ZXLOAD" -k oracle -d "$types" -a "$appliance" -s "$db" "$log.srt" "$log.bsrt" >/dev/null ||
      fail "zxload sqlite $1"
  fi
}

# Values a client sent that must stay text: markup, script, event
# handlers, spreadsheet formulas, a long URL and bytes that are no UTF-8.
long=$(printf 'y%.0s' $(seq 1 300))
{
  echo '1765101735.476   1852 10.9.0.1 TCP_MISS/200 5000 GET http://evil.example/</script><script>document.title=1</script> <img/src=x/onerror=document.title=2> DIRECT/192.0.2.10 text/html"><b>x</b>'
  echo '1765101736.476    100 10.9.0.2 TCP_HIT/200 4000 GET http://"><svg/onload=document.title=3>.example/x =HYPERLINK("http://x") NONE/- text/html'
  echo "1765101737.476    100 10.9.0.3 TCP_MISS/404 300 GET http://long.example/$long @SUM(1+1) DIRECT/192.0.2.10 -"
  printf '1765101738.476    100 10.9.0.4 TCP_MISS/200 77 GET http://bytes.example/caf\xe9\x01\xff -cmd NONE/- text/plain\n'
} >"$work/hostile.log"

# load_set LOG TYPES SUFFIX [FORMAT]: a SmartFilter or streaming data set,
# converted and loaded unsorted (appliance demo).
load_set() {
  local log=$work/$2-$(basename "$1") types=$config/$2_datatypes.dat
  cp "$root/$1" "$log"
  local args=(-l "$log" -d "$types" -b oracle -a demo)
  [ -n "${4:-}" ] && args+=(-t "$4")
  "$PARSER" "${args[@]}" >/dev/null || fail "parser ${args[*]}"
  local dbs=("${target[@]}")
  [ "$mode" = postgres ] && dbs+=(-s "$db")
  local k
  for ((k = 0; k < ${#dbs[@]}; k += 2)); do
    "$ZXLOAD" -k oracle -d "$types" -a demo "${dbs[k]}" "${dbs[k + 1]}" "$log.$3.csv" >/dev/null ||
      fail "zxload $log.$3.csv"
  done
}
load_set tests/cases/parser_formats/template_straccess_oracle/ex.log streaming st straccess
load_set tests/cases/parser_formats/smartfilter_oracle/ex.log smartfilter sf

convert squid.log demo squid
convert w3c.log demo
convert common.log demo common
convert combined.log demo combined
convert hostile.log evil squid
# A larger load: 30,000 rows through the summary's tables as they grow
# (and, in PostgreSQL, cells of more than one part).
awk 'BEGIN { for (i = 0; i < 30000; i++)
  printf "%d.%03d %6d 10.8.%d.%d TCP_%s/%d %d GET http://s%d.example/a/longer/path/of/pages/p/%d - DIRECT/192.0.2.9 text/html\n",
    1765101735 + i * 4, i % 1000, i % 977, i % 7, i % 251, i % 3 ? "MISS" : "HIT", i % 11 ? 200 : 404,
    i * 37 % 99991, i % 13, i }' >"$work/many.log"
convert many.log demo squid

title='Report <script>document.title="x"</script> & co'
report=(-o "$work/r.html" --json "$work/r.json" --csv "$work/csv" --ids "$types.id"
        --measures bytecount:13,bytecount:12,refcount:13 --title "$title")
"$ZXREPORT" "${target[@]}" "${report[@]}"
check [ $? -eq 0 ]

# render FILE.html NAME: the DOM after load into NAME.dom and a screenshot
# NAME.png; false when Chromium is absent.
chromium_bin=$(command -v chromium || true)
render() {
  [ -n "$chromium_bin" ] || return 1
  local flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
               --disable-background-networking --disable-component-update --disable-sync)
  rm -rf "$work/profile"
  timeout 120 "$chromium_bin" "${flags[@]}" --user-data-dir="$work/profile" \
    --dump-dom "file://$1" >"$work/$2.dom" 2>"$work/$2.chromium.log" || return 1
  rm -rf "$work/profile"
  timeout 120 "$chromium_bin" "${flags[@]}" --user-data-dir="$work/profile" --window-size=1280,2000 \
    --screenshot="$work/$2.png" "file://$1" >/dev/null 2>>"$work/$2.chromium.log" || return 1
}
checker=(python3 "$here/check_report.py" --db "$dbspec" --ids "$types.id")
if render "$work/r.html" full; then
  check "${checker[@]}" --dom "$work/full.dom" --json "$work/r.json" --csv "$work/csv" --title "$title"
  check [ "$(stat -c %s "$work/full.png")" -gt 20000 ]
else
  echo "SKIP: chromium not installed: the rendered page is not checked, the JSON figures are"
  check "${checker[@]}" --json "$work/r.json" --csv "$work/csv"
fi

# A range without rows: the page says so, with status 5.
"$ZXREPORT" "${target[@]}" -o "$work/empty.html" --json "$work/empty.json" --from 1990-01-01 --to 1990-01-02 2>"$work/empty.err"
check [ $? -eq 5 ]
check grep -q 'no rows in 1990-01-01 to 1990-01-02' "$work/empty.err"
if render "$work/empty.html" empty; then
  check "${checker[@]}" --dom "$work/empty.dom" --empty --range-from '1990-01-01 00:00:00' --range-to '1990-01-03 00:00:00'
fi

# A range with rows: one day of the samples.
"$ZXREPORT" "${target[@]}" -o "$work/day.html" --json "$work/day.json" --top 3 --ids "$types.id" \
  --measures bytecount:13,bytecount:12,refcount:13 --from 2026-12-07 --to 2026-12-07
check [ $? -eq 0 ]
check "${checker[@]}" --json "$work/day.json" --top 3 --range-from '2026-12-07 00:00:00' --range-to '2026-12-08 00:00:00'

# The same figures through zxload's summaries and through the rows, byte
# for byte: over all data, a day, a range that cuts through the loads'
# hours (their rows are read), with one load's summary missing (as after an
# older zxload: its rows are read beside the others' summaries).
sql() { if [ "$mode" = postgres ]; then psql -X -q -A -t -c "$1"; else sqlite3 "$db" "$1"; fi; }
figures() { grep -v '"generated"' "$1"; }
ranges=("" "--from 2026-12-07 --to 2026-12-07" "--from 2026-12-07T10:30 --to 2026-12-07T13")
for k in "${!ranges[@]}"; do
  # shellcheck disable=SC2086
  "$ZXREPORT" "${target[@]}" "${report[@]}" -o "$work/sum$k.html" --json "$work/sum$k.json" ${ranges[k]} ||
    fail "report $k through summaries"
done
summarised=$(sql "SELECT count(DISTINCT zxload_id) FROM zxload_summary")
check [ "$summarised" -ge 10 ]
[ "$mode" = postgres ] && check [ "$(sql "SELECT max(part) FROM zxload_summary")" -ge 1 ]
sql "ALTER TABLE zxload_summary RENAME TO zxload_summary_kept"
for k in "${!ranges[@]}"; do
  # shellcheck disable=SC2086
  "$ZXREPORT" "${target[@]}" "${report[@]}" -o "$work/rows$k.html" --json "$work/rows$k.json" ${ranges[k]}
  check diff <(figures "$work/sum$k.json") <(figures "$work/rows$k.json")
done
sql "ALTER TABLE zxload_summary_kept RENAME TO zxload_summary"
sql "DELETE FROM zxload_summary WHERE zxload_id = (SELECT min(id) FROM zxload_files WHERE table_name = 'raw_demo')"
"$ZXREPORT" "${target[@]}" "${report[@]}" -o "$work/mixed.html" --json "$work/mixed.json"
check diff <(figures "$work/sum0.json") <(figures "$work/mixed.json")
if [ "$mode" = postgres ]; then
  "$ZXREPORT" -s "$db" "${report[@]}" -o "$work/s.html" --json "$work/s.json"
  check [ $? -eq 0 ]
  check python3 "$here/check_report.py" --same "$work/r.json" "$work/s.json"
fi

# Errors: each with its status and a message naming the problem.
expect() {  # expect STATUS TEXT ARGS...: zxreport exits with STATUS, stderr holds TEXT
  local status=$1 text=$2
  shift 2
  "$ZXREPORT" "$@" -o "$work/x.html" 2>"$work/x.err" >/dev/null
  local got=$?
  checks=$((checks + 1))
  [ "$got" -eq "$status" ] && grep -q -- "$text" "$work/x.err" ||
    fail "zxreport $*: status $got, expected $status with '$text': $(head -c 300 "$work/x.err")"
}
expect 1 "bad time '2026-02-30'" "${target[@]}" --from 2026-02-30
expect 1 "empty range" "${target[@]}" --from 2026-12-08 --to 2026-12-07
expect 1 "give -s SQLITE_FILE or -p CONNINFO"
expect 2 "no table of appliance 'nothing'" "${target[@]}" -a nothing
expect 2 'no table raw_x"; DROP TABLE raw_demo; --' "${target[@]}" --raw 'raw_x"; DROP TABLE raw_demo; --'
sqlite3 "$work/none.db" 'CREATE TABLE t (a)'
expect 2 "no tables that zxload fills" -s "$work/none.db"
expect 0 "smart_demo has no column timestampid: left out" "${target[@]}" -a demo --from 2026-12-07
expect 3 "cannot open the SQLite database" -s "$work/missing.db"
check [ ! -e "$work/missing.db" ]
"$ZXREPORT" "${target[@]}" -o "$work/nodir/r.html" 2>/dev/null
check [ $? -eq 4 ]
# A damaged summary is refused, naming the load and what to do.
# expect_damaged DATA_SET TABLE_PREFIX: damages the last load's summary of
# DATA_SET and checks the refusal.
expect_damaged() {
  local last="(SELECT max(zxload_id) FROM zxload_summary WHERE data_set = '$1')" bytes="x'01'"
  [ "$mode" = postgres ] && bytes="'\\x01'"
  sql "UPDATE zxload_summary SET data = $bytes WHERE zxload_id = $last"
  "$ZXREPORT" "${target[@]}" -o "$work/x.html" 2>"$work/x.err"
  check [ $? -eq 3 ]
  check grep -q "summary of load [0-9]* of $2.* is damaged; delete its rows of zxload_summary" "$work/x.err"
}
expect_damaged raw raw_
# So is a billing summary, counted on a second connection beside the raw
# ones (that load's raw rows are now read instead of its summary).
sql "DELETE FROM zxload_summary WHERE zxload_id = (SELECT max(zxload_id) FROM zxload_summary WHERE data_set = 'raw')"
expect_damaged billing bill_

echo "zxreport_test ($mode): $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
