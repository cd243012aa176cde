#!/usr/bin/env bash
# zxload against a real database: zxload_test.sh sqlite|postgres
# Converts sample logs of several formats and database kinds, sorts them,
# loads data and sort files, and checks row counts, per-column sums of the
# numbers and of the text lengths against the files (read here with awk),
# that a second load adds nothing, that a damaged file adds nothing, that
# bytes survive, and the usage errors. Needs PARSER, ZXSORT and ZXLOAD.
set -uo pipefail
mode=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
config=$root/config
work=$(mktemp -d /tmp/zxload_test.XXXXXX)
source "$here/pg_server.sh"
trap 'pg_stop; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# use_db NAME: the loads and queries that follow go to a new database NAME.
if [ "$mode" = postgres ]; then
  pg_start "$work" || exit $?
  psql -X -q -c "CREATE DATABASE bytes ENCODING 'SQL_ASCII' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'" || exit 1
  use_db() { psql -X -q -c "CREATE DATABASE $1" || exit 1; db=$1; target=(-p "dbname=$1"); }
  q() { psql -X -A -t -q -d "$db" -c "$1"; }
  textbytes() { echo "sum(octet_length(\"$1\"))"; }
  tablecount() { q "SELECT count(*) FROM pg_class WHERE relname = '$1'"; }
else
  use_db() { db=$work/$1.db; target=(-s "$db"); }
  # A reader waits while a load that ends takes the database to itself
  # for a moment (the last connection folds the log into the file).
  q() { sqlite3 -cmd ".timeout 10000" "$db" "$1"; }
  textbytes() { echo "sum(length(CAST(\"$1\" AS BLOB)))"; }
  tablecount() { q "SELECT count(*) FROM sqlite_master WHERE name = '$1'"; }
fi
use_db main
load() { "$ZXLOAD" "${target[@]}" "$@"; }
expect() {  # expect STATUS TEXT COMMAND...: the status, and TEXT on standard error
  local want=$1 text=$2; shift 2
  "$@" >/dev/null 2>"$work/err"; local status=$?
  [ "$status" = "$want" ] && grep -q -- "$text" "$work/err" ||
    fail "$* => $status ($(head -c 300 "$work/err")), want $want with '$text'"
}

# convert LOG KIND TYPES APPLIANCE [FORMAT]: parser, then both sorts for raw data.
convert() {
  local log=$work/$(basename "$1") kind=$2 types=$3 appliance=$4 format=${5:-}
  cp "$config/samples/$1" "$log" 2>/dev/null || cp "$root/$1" "$log" || fail "no log $1"
  local args=(-l "$log" -d "$types" -b "$kind" -a "$appliance")
  [ -n "$format" ] && args+=(-t "$format")
  "$PARSER" "${args[@]}" || fail "parser ${args[*]}"
  [ -s "$log.err" ] && fail "$1: rejected lines: $(head -c 300 "$log.err")"
  [ "$types" = "$config/datatypes.dat" ] || return 0
  "$ZXSORT" -m 0 -v "$log" -d "$types" -l "$log.out" || fail "zxsort hourly $1"
  "$ZXSORT" -m 1 -i 15 -v "$log" -d "$types" -l "$log.out" \
    -b1 bytecount:13 -b2 bytecount:12 -b3 refcount:13 || fail "zxsort billing $1"
}

# columns FILE DESCRIPTION TYPES: "name class" per column, class n (number),
# s (text) or t (time stamp).
columns() {
  tr -d '\r' <"$2" | tr ',' '\n' | awk -v types="$3" '
    BEGIN { while ((getline l < types) > 0) { sub(/\r$/, "", l); split(l, f, /[ \t]+/)
              if (f[1] !~ /^#/ && f[3] == 1 && !(f[4] in t)) t[f[4]] = f[2] } }
    { c = "s"; if ($0 == "timestampid") c = "t"
      else if ($0 ~ /^(groupid|logformat|billmeasure[123])$/ && !($0 in t)) c = "n"
      else if (t[$0] ~ /^SQL(INTEGER|FLOAT|DOUBLE)$/) c = "n"
      print $0, c }'
}

# check FILE DESCRIPTION TYPES TABLE: the table holds exactly the file's rows:
# the row count and, per column, the sum of the numbers or of the text lengths
# in bytes (time stamps aside), in one query and one awk pass.
check() {
  local file=$1 table=$4 sql="count(*)" classes="" name class want got
  while read -r name class; do
    classes+="$class"
    case $class in
      n) sql+=", sum(\"$name\")" ;;
      s) sql+=", $(textbytes "$name")" ;;
    esac
  done < <(columns "$file" "$2" "$3")
  want=$(LC_ALL=C awk -F, -v classes="$classes" '
    { sub(/\r$/, ""); rows++
      for (i = 1; i <= length(classes); i++) { c = substr(classes, i, 1); if (c == "t") continue
        v = $i; if (v ~ /^'\''.*'\''$/ && length(v) > 1) v = substr(v, 2, length(v) - 2)
        s[i] += (c == "n" ? v : length(v)) } }
    END { out = rows + 0
      for (i = 1; i <= length(classes); i++) if (substr(classes, i, 1) != "t") out = out "|" s[i] + 0
      print out }' "$file")
  got=$(q "SELECT $sql FROM \"$table\"")
  awk -v a="$want" -v b="$got" 'BEGIN { n = split(a, x, "|"); if (split(b, y, "|") != n) exit 1
    for (i = 1; i <= n; i++) { d = x[i] - y[i]; if (d < 0) d = -d
      if (d > 1e-9 * (x[i] < 0 ? -x[i] : x[i]) + 1e-6) exit 1 } }' ||
    fail "$table: count and sums $got, file $file gives $want"
}

raw=$config/datatypes.dat
convert combined.log sybase "$raw" web combined
convert w3c.log oracle "$raw" w3c
convert squid.log mssql "$raw" sq squid
convert tests/cases/parser_formats/template_straccess_oracle/ex.log none \
  "$config/streaming_datatypes.dat" st straccess
billcols=$work/billing.zx3
echo "timestampid,groupid,userip,username,url,method,logformat,billmeasure1,billmeasure2,billmeasure3" >"$billcols"

SECONDS=0
section() { echo "=== $* (${SECONDS} s)"; }
echo "=== load ($mode)"
load -k sybase -d "$raw" -a web "$work/combined.log.srt" "$work/combined.log.bsrt" || fail "load combined"
load -k oracle -d "$raw" "$work/w3c.log.srt" "$work/w3c.log.bsrt" || fail "load w3c"
load -k mssql -d "$raw" -a sq "$work/squid.log.csv" || fail "load squid"
load -k none -d "$config/streaming_datatypes.dat" -a st "$work/ex.log.st.csv" || fail "load straccess"
check "$work/combined.log.srt" "$work/combined.log.zx3" "$raw" raw_web
check "$work/combined.log.bsrt" "$billcols" "$raw" bill_web
check "$work/w3c.log.srt" "$work/w3c.log.zx3" "$raw" raw_w3c
check "$work/w3c.log.bsrt" "$billcols" "$raw" bill_w3c
check "$work/squid.log.csv" "$work/squid.log.zx3" "$raw" raw_sq
check "$work/ex.log.st.csv" "$work/ex.log.st.zx3" "$config/streaming_datatypes.dat" str_st

section "reload adds nothing"
out=$(load -k sybase -d "$raw" -a web "$work/combined.log.srt") || fail "reload status"
[[ "$out" == *"already loaded"* ]] || fail "reload says: $out"
check "$work/combined.log.srt" "$work/combined.log.zx3" "$raw" raw_web
[ "$(q "SELECT count(*) FROM zxload_files")" = 6 ] || fail "loads table: $(q "SELECT count(*) FROM zxload_files")"

section "logs of another format share the table"
load -k mssql -d "$raw" -a web "$work/squid.log.csv" >/dev/null || fail "squid into raw_web"
[ "$(q "SELECT count(*) FROM raw_web WHERE referrer IS NOT NULL")" = "$(wc -l <"$work/combined.log.srt")" ] &&
  [ "$(q "SELECT count(*) FROM raw_web WHERE referrer IS NULL")" = "$(wc -l <"$work/squid.log.csv")" ] ||
  fail "raw_web after a second format: $(q "SELECT count(*), count(referrer) FROM raw_web")"

section "a damaged file adds nothing"
mkdir "$work/bad"
cp "$work/combined.log.csv" "$work/bad/good.log.csv"
for name in cut line; do cp "$work/combined.log.zx3" "$work/bad/$name.log.zx3"; done
sed '10s/,[^,]*$//' "$work/combined.log.csv" >"$work/bad/line.log.csv"
head -c -3 "$work/combined.log.csv" >"$work/bad/cut.log.csv"
cp "$work/combined.log.zx3" "$work/bad/good.log.zx3"
for name in line cut; do
  load -k sybase -d "$raw" -a bad "$work/bad/$name.log.csv" 2>"$work/err"; status=$?
  [ "$status" = 3 ] || fail "$name: status $status: $(cat "$work/err")"
  [ "$(tablecount raw_bad)" = 0 ] || fail "$name: the table was left behind"
done
message=$(load -k sybase -d "$raw" -a bad "$work/bad/line.log.csv" 2>&1)
[[ "$message" == *"line.log.csv:10: 22 values, expected 23"* ]] || fail "message: $message"
load -k sybase -d "$raw" -a bad "$work/bad/good.log.csv" >/dev/null || fail "good copy"
load -k sybase -d "$raw" -a bad "$work/bad/line.log.csv" 2>/dev/null && fail "damaged file loaded"
check "$work/bad/good.log.csv" "$work/combined.log.zx3" "$raw" raw_bad
[ "$(q "SELECT count(*) FROM zxload_files WHERE table_name = 'raw_bad'")" = 1 ] || fail "damaged load recorded"

section "bytes"
bdir=$work/bytes$'\377'  # a file name need not be UTF-8 either
mkdir "$bdir"
printf 'c-ip SQLCHAR 1 userip\ncs-uri SQLCHAR 1 url\n' >"$bdir/types.dat"
printf 'userip,url\r\n' >"$bdir/b.log.zx3"
value='/a\377\303\251\303(\\\t'"'"'x'"'"'\\N'
printf "'1.2.3.4','$value'\r\n" >"$bdir/b.log.csv"
exact=$(printf "$value" | od -An -tx1 | tr -d ' \n')
load -k none -d "$bdir/types.dat" -a b "$bdir/b.log.csv" >/dev/null || fail "bytes load"
if [ "$mode" = postgres ]; then
  got=$(q "SELECT encode(convert_to(url, 'UTF8'), 'hex') FROM raw_b")
  [ "$got" = 2f61c3bfc3a9c383285c092778275c4e ] || fail "UTF-8 database: $got"
  "$ZXLOAD" -p dbname=bytes -k none -d "$bdir/types.dat" -a b "$bdir/b.log.csv" >/dev/null || fail "SQL_ASCII load"
  got=$(psql -X -A -t -q -d bytes -c "SELECT encode(convert_to(url, 'SQL_ASCII'), 'hex') FROM raw_b")
else
  got=$(q "SELECT lower(hex(url)) FROM raw_b")
fi
[ "$got" = "$exact" ] || fail "bytes: $got, want $exact"

# summarised TABLE...: the summary of every load of each TABLE stands for
# exactly the table's rows (the rows its cells count; a cell stored in
# parts repeats its figures in each), and no summary is left of a load
# that is not recorded.
summarised() {
  local table got
  for table in "$@"; do
    got=$(q "SELECT (SELECT count(*) FROM $table) || ' ' || (SELECT coalesce(sum(s.row_count), 0)
               FROM zxload_summary s JOIN zxload_files f ON f.id = s.zxload_id WHERE f.table_name = '$table' AND s.part = 0)")
    [ "${got% *}" = "${got#* }" ] || fail "$table: rows and summarised rows $got"
  done
  got=$(q "SELECT count(*) FROM zxload_summary WHERE zxload_id NOT IN (SELECT id FROM zxload_files)")
  [ "$got" = 0 ] || fail "$got summary rows of loads not recorded"
}

section "a changed file replaces the earlier load of its source"
rdir=$work/rep
mkdir "$rdir"
src=/logs/web/access.log  # as zxbatch names the log; it need not exist here
rep() { load -k sybase -d "$raw" -a rep --source "$src" "$@"; }
n=$(wc -l <"$work/combined.log.csv")
for name in a b; do cp "$work/combined.log.zx3" "$rdir/$name.log.zx3"; done
cp "$work/combined.log.csv" "$rdir/a.log.csv"
rep "$rdir/a.log.csv" >/dev/null 2>"$work/err" || fail "first load"
[ -s "$work/err" ] && fail "a load not on a terminal wrote: $(cat "$work/err")"
head -n -5 "$work/combined.log.csv" >"$rdir/a.log.csv"
out=$(rep "$rdir/a.log.csv") || fail "replacing load: $out"
[[ "$out" == "$rdir/a.log.csv: replaced $n rows loaded from $src on 2"*" UTC"$'\n'"$rdir/a.log.csv: $((n - 5)) rows loaded into raw_rep" ]] ||
  fail "replacing load says: $out"
check "$rdir/a.log.csv" "$rdir/a.log.zx3" "$raw" raw_rep
summarised raw_rep
out=$(rep "$rdir/a.log.csv")
[ "$out" = "$rdir/a.log.csv: already loaded into raw_rep, nothing to do" ] || fail "same again: $out"
cp "$work/combined.log.csv" "$rdir/b.log.csv"
rep --keep "$rdir/b.log.csv" >/dev/null || fail "--keep"
[ "$(q "SELECT count(*) FROM raw_rep")" = $((2 * n - 5)) ] || fail "--keep kept $(q "SELECT count(*) FROM raw_rep") rows"
summarised raw_rep
# The sort file of the log is the same data set: it replaces both loads;
# the billing file is another one.
out=$(rep "$work/combined.log.srt" "$work/combined.log.bsrt") || fail "sort files: $out"
[ "$(grep -c replaced <<<"$out")" = 2 ] || fail "sort files say: $out"
check "$work/combined.log.srt" "$work/combined.log.zx3" "$raw" raw_rep
# Another appliance: the rows move to the other table.
load -k sybase -d "$raw" -a rep2 --source "$src" "$work/combined.log.srt" >/dev/null || fail "-a rep2"
[ "$(q "SELECT count(*) FROM raw_rep")" = 0 ] || fail "rows left in the old table"
check "$work/combined.log.srt" "$work/combined.log.zx3" "$raw" raw_rep2
summarised raw_rep raw_rep2 bill_rep
listed=$("$ZXLOAD" "${target[@]}" --list | awk -F'\t' -v s="$src" '$8 == s { print $3, $4, $5, $9 }')
want="bill_rep billing $(wc -l <"$work/combined.log.bsrt") $(realpath "$work/combined.log.bsrt")
raw_rep2 raw $(wc -l <"$work/combined.log.srt") $(realpath "$work/combined.log.srt")"
[ "$listed" = "$want" ] || fail "--list shows: $listed"

section "tables of an older zxload"
use_db old
odir=$work/old
mkdir "$odir"
cp "$work/combined.log.csv" "$odir/o.log.csv"
cp "$work/combined.log.srt" "$odir/p.log.srt"
for name in o p; do cp "$work/combined.log.zx3" "$odir/$name.log.zx3"; done
load -k sybase -d "$raw" -a old "$odir/o.log.csv" >/dev/null || fail "load before the downgrade"
# Turn the tables into what the previous version made.
if [ "$mode" = postgres ]; then
  q "ALTER TABLE zxload_files DROP COLUMN id, DROP COLUMN source, DROP COLUMN data_set, DROP COLUMN table_schema;
     ALTER TABLE raw_old DROP COLUMN zxload_id; DROP TABLE zxload_summary"
else
  q "DROP INDEX zxload_files_id; DROP INDEX zxload_files_source; ALTER TABLE zxload_files DROP COLUMN id;
     ALTER TABLE zxload_files DROP COLUMN source; ALTER TABLE zxload_files DROP COLUMN data_set;
     ALTER TABLE zxload_files DROP COLUMN table_schema; ALTER TABLE raw_old DROP COLUMN zxload_id;
     DROP TABLE zxload_summary"
fi
[ "$("$ZXLOAD" "${target[@]}" --list | cut -f 1,3,4,8)" = "-	raw_old	raw	$(realpath "$odir/o.log.csv")" ] ||
  fail "--list of an older table: $("$ZXLOAD" "${target[@]}" --list)"
out=$(load -k sybase -d "$raw" -a old "$odir/o.log.csv" "$odir/p.log.srt") || fail "upgrade: $out"
[[ "$out" == *"already loaded into raw_old"*"p.log.srt: $(wc -l <"$odir/p.log.srt") rows loaded"* ]] || fail "upgrade says: $out"
[ "$(q "SELECT count(*) FROM raw_old WHERE zxload_id IS NULL")" = "$n" ] || fail "older rows"
# The older load has no summary (zxreport reads its rows), the new one has.
[ "$(q "SELECT sum(row_count) FROM zxload_summary WHERE part = 0")" = "$(wc -l <"$odir/p.log.srt")" ] ||
  fail "summaries after the upgrade: $(q "SELECT zxload_id, row_count FROM zxload_summary")"
head -n -1 "$work/combined.log.csv" >"$odir/o.log.csv"
expect 5 "older zxload.*--keep" load -k sybase -d "$raw" -a old "$odir/o.log.csv"
[ "$(q "SELECT count(*) FROM raw_old")" = $((n + $(wc -l <"$odir/p.log.srt"))) ] || fail "refused load changed rows"
load -k sybase -d "$raw" -a old --keep "$odir/o.log.csv" >/dev/null || fail "--keep beside an older load"

section "table names"
use_db names
ndir=$work/names
mkdir "$ndir"
cp "$work/combined.log.csv" "$ndir/n.log.csv"
cp "$work/combined.log.zx3" "$ndir/n.log.zx3"
nload() { printf '%s\r\n' "$1" >"$ndir/n.log.ctl"; load -k sybase -d "$raw" "$ndir/n.log.csv"; }
held=RAW_Names
[ "$mode" = postgres ] && held=raw_names  # unquoted names fold to lower case there
out=$(nload 'into table RAW_Names') && [ "$out" = "$ndir/n.log.csv: $n rows loaded into $held" ] || fail "lower case clause: $out"
out=$(nload 'INTO TABLE raw_names') && [ "$out" = "$ndir/n.log.csv: already loaded into $held, nothing to do" ] ||
  fail "another spelling: $out"
nload 'INTO TABLE "My Table"' >/dev/null || fail "quoted name"
[ "$(q "SELECT count(*) FROM \"My Table\"")" = "$n" ] && [ "$(q "SELECT count(*) FROM $held")" = 0 ] ||
  fail "rows of the quoted name"
expect 2 "n.log.ctl: INTO TABLE: 'Table' after the table name" nload 'INTO TABLE My Table'
if [ "$mode" = postgres ]; then
  nload 'INTO TABLE Zx.raw_web' >/dev/null && [ "$(q "SELECT count(*) FROM zx.raw_web")" = "$n" ] || fail "schema prefix"
  expect 2 "n.log.ctl: INTO TABLE: 'x*\.\.\.' is longer than 63 bytes" nload "INTO TABLE $(printf 'x%.0s' {1..64})"
  expect 2 "^zxload: -a $(printf 'a%.0s' {1..60}): 'raw_a*\.\.\.' is longer than 63 bytes" \
    load -k sybase -d "$raw" -a "$(printf 'a%.0s' {1..60})" "$ndir/n.log.csv"
else
  expect 2 "n.log.ctl: INTO TABLE: 'zx.raw_web': SQLite has no schemas" nload 'INTO TABLE zx.raw_web'
fi

section "values the columns cannot hold"
vdir=$work/values
mkdir "$vdir"
printf 'date SQLCHAR 1 timestampid\nsc-bytes SQLINTEGER 1 bytecount\nx-ratio SQLFLOAT 1 ratio\n' >"$vdir/v.dat"
printf 'timestampid,bytecount,ratio\r\n' >"$vdir/v.log.zx3"
good='2000-02-29 23:59:59,9223372036854775807,12.5'
while IFS='|' read -r column line; do
  printf '%s\r\n%s\r\n' "$good" "$line" >"$vdir/v.log.csv"
  expect 3 "v.log.csv:2: column $column: " load -k oracle -d "$vdir/v.dat" -a v "$vdir/v.log.csv"
done <<EOF
timestampid|2001-02-30 23:00:00,1,1
timestampid|2001-01-01 24:00:00,1,1
bytecount|2001-01-01 00:00:00,99999999999999999999,1
ratio|2001-01-01 00:00:00,1,1e999
ratio|2001-01-01 00:00:00,1,$(printf '9%.0s' {1..400})
EOF
printf '%s\r\n' "$good" >"$vdir/v.log.csv"
load -k oracle -d "$vdir/v.dat" -a v "$vdir/v.log.csv" >/dev/null || fail "edge values"
[ "$(q "SELECT bytecount FROM raw_v")" = 9223372036854775807 ] || fail "largest integer: $(q "SELECT bytecount FROM raw_v")"

section "rows as records or binary COPY hold what the row by row form holds"
# A table zxload makes takes SQLite records or PostgreSQL's binary COPY; a
# table with a default (SQLite) or another load id type (PostgreSQL) takes
# the rows one by one or as COPY text. Both must hold the same.
printf '%s\r\n' '2000-02-29 23:59:59,9223372036854775807,12.5,a' \
  '0001-01-01 00:00:00.5,-9223372036854775808,-0,b' '9999-12-31 23:59:59.999999,12.500,0.1,c' \
  '1969-07-20 20:17:40.123,1e3,1e300,d\' $'2003-04-01 00:00:00,-0,-0.0,e\tf' \
  '2003-04-01 00:00:00,0.000,1e-300,' '2003-04-01 00:00:00,1.5e-3,123456789012345678,g' \
  '2003-04-01 00:00:00,99999.99990,9007199254740993,h' '2003-04-01 00:00:00,007,-7,i' \
  '2003-04-01 00:00:00,100000000,10000,k' '2003-04-01 00:00:00,-12345.6789e2,+2.5,l' \
  $'-,,,\\N\377' >"$vdir/w.log.csv"
cp "$vdir/w.log.csv" "$vdir/wt.log.csv"
for name in w wt s; do printf 'timestampid,bytecount,ratio,url\r\n' >"$vdir/$name.log.zx3"; done
{ cat "$vdir/v.dat"; printf 'cs-uri SQLCHAR 1 url\n'; } >"$vdir/w.dat"
if [ "$mode" = postgres ]; then
  q "CREATE TABLE raw_wt (timestampid timestamp, bytecount numeric, ratio double precision, url text, zxload_id numeric)"
  shown="timestampid::text, bytecount::text, ratio::text, url"
else
  q "CREATE TABLE raw_wt (timestampid TEXT, bytecount INTEGER, ratio REAL, url TEXT DEFAULT '', zxload_id INTEGER)"
  shown="quote(timestampid), quote(bytecount), typeof(bytecount), quote(ratio), typeof(ratio), hex(url)"
fi
load -k oracle -d "$vdir/w.dat" -a w "$vdir/w.log.csv" >/dev/null || fail "edge values, staged"
load -k oracle -d "$vdir/w.dat" -a wt "$vdir/wt.log.csv" >/dev/null || fail "edge values, row by row"
differ=$(q "SELECT count(*) FROM (SELECT $shown FROM raw_w EXCEPT SELECT $shown FROM raw_wt) a")
[ "$differ" = 0 ] && [ "$(q "SELECT count(*) FROM raw_w")" = 12 ] && [ "$(q "SELECT count(*) FROM raw_wt")" = 12 ] ||
  fail "the two forms differ: $(q "SELECT $shown FROM raw_w") / $(q "SELECT $shown FROM raw_wt")"

section "a changed file of the same size replaces its earlier load"
sed 's/12.5,a/13.5,a/' "$vdir/w.log.csv" >"$vdir/s.log.csv"
out=$(load -k oracle -d "$vdir/w.dat" -a w --source "$(realpath "$vdir/w.log.csv")" "$vdir/s.log.csv") ||
  fail "same size: $out"
[[ "$out" == *"replaced 12 rows"*"12 rows loaded into"* ]] &&
  [ "$(q "SELECT count(*) FROM raw_w WHERE ratio = 13.5")" = 1 ] || fail "same size: $out"

section "waiting for the database"
use_db wait
wdir=$work/wait
mkdir "$wdir"
for lines in 1 2; do
  cp "$work/combined.log.zx3" "$wdir/$lines.log.zx3"
  head -n -$lines "$work/combined.log.csv" >"$wdir/$lines.log.csv"
done
load -k sybase -d "$raw" -a w "$work/combined.log.csv" >/dev/null || fail "first load"
if [ "$mode" = postgres ]; then
  hold="BEGIN; SELECT pg_advisory_xact_lock(134657633902948); SELECT 'held';"
  holder() { psql -X -A -t -q -d "$db"; }
  gave_up="lock timeout"
else
  # A reader never holds up a load (write-ahead log), a writer does.
  (echo "BEGIN; SELECT 'held' FROM raw_w LIMIT 1;"; sleep 1; echo "COMMIT;") | sqlite3 "$db" >"$wdir/held" &
  until grep -qs held "$wdir/held"; do sleep 0.05; done
  load -k sybase -d "$raw" -a w --wait 0 "$wdir/1.log.csv" >/dev/null 2>"$work/err" || fail "a reader held up a load: $(cat "$work/err")"
  wait
  hold="BEGIN IMMEDIATE; SELECT 'held';"
  holder() { sqlite3 "$db"; }
  gave_up="database is locked"
fi
(echo "$hold"; sleep 1.5; echo "COMMIT;") | holder >"$wdir/held" &
until grep -qs held "$wdir/held"; do sleep 0.05; done
expect 4 "$gave_up.*--wait" load -k sybase -d "$raw" -a w --wait 0.3 "$wdir/2.log.csv"
grep -q "waiting" "$work/err" || fail "a load that waits says nothing"
load -k sybase -d "$raw" -a w "$wdir/2.log.csv" >/dev/null 2>&1 || fail "a load after the wait"
wait

if [ "$mode" = postgres ]; then
  section "the first loads into a new database, side by side"
  for round in 1 2 3 4 5; do
    use_db "first$round"
    pids=() failed=0
    for app in a b c a; do
      load -k sybase -d "$raw" -a "$app" --source "/logs/$app.log" "$work/combined.log.srt" >>"$work/par$round" 2>&1 &
      pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    [ "$failed" = 0 ] || fail "round $round: a loader failed: $(cat "$work/par$round")"
    [ "$(q "SELECT count(*) || ' ' || sum(row_count) FROM zxload_files")" = "3 $((3 * $(wc -l <"$work/combined.log.srt")))" ] ||
      fail "round $round: $(q "SELECT count(*), sum(row_count) FROM zxload_files")"
  done
fi

section "kill -9 during a replacing load leaves the old rows or the new ones"
use_db kill
kdir=$work/kill
mkdir "$kdir"
printf 'c-ip SQLCHAR 1 userip\nsc-bytes SQLINTEGER 1 bytecount\ncs-uri SQLCHAR 1 url\n' >"$kdir/k.dat"
declare -A state
for name in a b; do
  printf 'userip,bytecount,url\r\n' >"$kdir/$name.log.zx3"
  # Long URLs: a load spans several copies of zxload's 8 MiB SQLite stage.
  state[$name]=$(awk -v rows=$([ $name = a ] && echo 100000 || echo 80000) -v step=$([ $name = a ] && echo 7 || echo 11) 'BEGIN {
    pad = sprintf("%300s", ""); gsub(/ /, "x", pad)
    for (i = 0; i < rows; i++) { b = i * step % 100003; sum += b
      printf "'"'"'10.0.%d.%d'"'"',%d,'"'"'/p/%d/%s.html'"'"'\r\n", i % 250, i % 199, b, i, pad >"/dev/stdout" }
    printf "%d|%.0f\n", rows, sum >"/dev/stderr" }' 2>&1 >"$kdir/$name.log.csv")
done
kload=("$ZXLOAD" "${target[@]}" -k sybase -d "$kdir/k.dat" -a kill --source /logs/kill.log)
# now_state: rows and byte sum of the table, records and their rows, then
# the rows the summaries of recorded loads count and the summary rows of
# loads not recorded.
now_state() {
  q "SELECT (SELECT count(*) || '|' || coalesce(sum(bytecount), 0) FROM raw_kill) || ' ' ||
            (SELECT count(*) || '|' || coalesce(sum(row_count), 0) FROM zxload_files) || ' ' ||
            (SELECT coalesce(sum(row_count), 0) FROM zxload_summary
              WHERE part = 0 AND zxload_id IN (SELECT id FROM zxload_files)) || '|' ||
            (SELECT count(*) FROM zxload_summary WHERE zxload_id NOT IN (SELECT id FROM zxload_files))"
}
"${kload[@]}" "$kdir/a.log.csv" >/dev/null || fail "kill test: first load"
start=$(date +%s%N)
"${kload[@]}" "$kdir/b.log.csv" >/dev/null || fail "kill test: replacing load"
took=$((($(date +%s%N) - start) / 1000000))

section "readers and a waiting load beside a load"
# Readers see the old rows or the new ones, with their summary, at every
# moment of a load that spans several stage copies; a second load waiting
# with --wait goes in after it.
"${kload[@]}" "$kdir/a.log.csv" >"$kdir/first" 2>&1 &
first=$!
sleep 0.1
"${kload[@]}" --wait 60 "$kdir/b.log.csv" >"$kdir/second" 2>&1 &
second=$!
samples=0
while kill -0 "$second" 2>/dev/null; do
  got=$(now_state)
  rows=${got%%|*}
  [ "$got" = "${state[a]} 1|$rows $rows|0" ] || [ "$got" = "${state[b]} 1|$rows $rows|0" ] ||
    fail "a reader during a load saw $got"
  samples=$((samples + 1))
done
wait "$first" || fail "the first of two loads: $(cat "$kdir/first")"
wait "$second" || fail "the load that waited: $(cat "$kdir/second")"
got=$(now_state)
[ "$got" = "${state[b]} 1|80000 80000|0" ] || [ "$got" = "${state[a]} 1|100000 100000|0" ] ||
  fail "after two loads side by side: $got"
current=a
[ "$got" = "${state[b]} 1|80000 80000|0" ] && current=b
[ "$mode" = postgres ] || [ "$(q "PRAGMA integrity_check")" = ok ] || fail "integrity after loads side by side"
echo "readers: $samples samples during two loads"

# kill_loads [OPTION]: kills replacing loads at 7 moments; each leaves the
# old rows or the new, whole.
kill_loads() {
old=0 kills=0 cut=0
for percent in 5 25 45 65 85 100 110; do
  next=a
  [ "$current" = a ] && next=b
  "${kload[@]}" "$@" "$kdir/$next.log.csv" >/dev/null 2>&1 &
  sleep "$(awk -v t="$took" -v p="$percent" 'BEGIN { printf "%.3f", t * p / 100000 }')"
  kill -9 $! 2>/dev/null
  wait $! 2>/dev/null
  kills=$((kills + 1))
  if [ -s "$db-journal" ] && ! listed=$("$ZXLOAD" -s "$db" --list 2>&1); then
    # What a reader meets before a writer has rolled the cut load back.
    [[ "$listed" == *"a load was cut off"* ]] || fail "a cut load's journal: $listed"
    cut=$((cut + 1))
  fi
  got=$(now_state)
  rows=${got%%|*}
  if [ "$got" = "${state[$current]} 1|$rows $rows|0" ]; then old=$((old + 1))
  elif [ "$got" = "${state[$next]} 1|$rows $rows|0" ]; then current=$next
  else fail "killed at $percent % of $took ms: table and loads table $got, want ${state[$current]} or ${state[$next]}"; fi
  [ "$mode" = postgres ] || [ "$(q "PRAGMA integrity_check")" = ok ] || fail "killed at $percent %: integrity check"
done
[ "$old" -gt 0 ] || fail "no kill landed before the commit (a load took $took ms)"
echo "kill test${1:+ ($1)}: $old of $kills kills left the old rows ($cut left a journal a reader met), a load took $took ms"
}
kill_loads
if [ "$mode" = sqlite ]; then
  kill_loads --rollback-journal
  [ "$cut" -gt 0 ] || fail "no load with --rollback-journal left a journal when killed"
  # A whole load switches the log on again; with a reader holding the
  # database open, the next goes through the log without waiting for it.
  for reader in no yes; do
    next=a
    [ "$current" = a ] && next=b
    if [ "$reader" = yes ]; then
      python3 -c 'import sqlite3, sys, time
c = sqlite3.connect(sys.argv[1]); c.execute("SELECT count(*) FROM raw_kill").fetchall(); time.sleep(3)' "$db" &
      reader_pid=$!
      sleep 0.5
    fi
    "${kload[@]}" --rollback-journal "$kdir/$next.log.csv" >/dev/null || fail "--rollback-journal (reader: $reader)"
    got=$(now_state)
    rows=${got%%|*}
    [ "$got" = "${state[$next]} 1|$rows $rows|0" ] || fail "--rollback-journal (reader: $reader): $got"
    [ "$(q "PRAGMA journal_mode")" = wal ] || fail "--rollback-journal (reader: $reader) left $(q "PRAGMA journal_mode")"
    current=$next
  done
  kill "$reader_pid" 2>/dev/null
  wait "$reader_pid" 2>/dev/null
fi

if [ "$mode" = sqlite ]; then
  section "kill -9 during the first load into a new database leaves it empty"
  # Such a load goes through a rollback journal, then switches to the log.
  fresh=$kdir/fresh.db
  rm -f "$fresh"*
  start=$(date +%s%N)
  "$ZXLOAD" -s "$fresh" -k sybase -d "$kdir/k.dat" -a kill "$kdir/a.log.csv" >/dev/null ||
    fail "a first load into a new database"
  took=$((($(date +%s%N) - start) / 1000000))
  [ "$(sqlite3 "$fresh" "PRAGMA journal_mode")" = wal ] || fail "a new database is not left in WAL mode"
  empty=0 whole=0
  for percent in 10 30 50 70 90 105; do
    rm -f "$fresh"*
    "$ZXLOAD" -s "$fresh" -k sybase -d "$kdir/k.dat" -a kill "$kdir/a.log.csv" >/dev/null 2>&1 &
    sleep "$(awk -v t="$took" -v p="$percent" 'BEGIN { printf "%.3f", t * p / 100000 }')"
    kill -9 $! 2>/dev/null
    wait $! 2>/dev/null
    # Opening the file rolls back what a killed load left in its journal.
    [ "$(sqlite3 "$fresh" "PRAGMA integrity_check")" = ok ] || fail "first load killed at $percent %: integrity"
    tables=$(sqlite3 "$fresh" "SELECT count(*) FROM sqlite_master")
    if [ "$tables" = 0 ]; then empty=$((empty + 1))
    elif [ "$(db=$fresh now_state)" = "${state[a]} 1|100000 100000|0" ]; then whole=$((whole + 1))
    else fail "first load killed at $percent %: $(db=$fresh now_state)"; fi
  done
  [ "$empty" -gt 0 ] || fail "no kill landed before the first load's commit (it took $took ms)"
  echo "first loads killed: $empty left the database empty, $whole whole (a load took $took ms)"
fi

section "the allocator set for a large run"
# zxload restarts itself once with the allocator's settings, unless given
# its own (sanitizer builds keep theirs).
# (ldd's output is read whole: under pipefail, grep -q stopping early could
# fail the pipeline with SIGPIPE and take a sanitizer build for a plain one.)
linked=$(ldd "$ZXLOAD" 2>/dev/null)
if [ "$mode" = sqlite ] && ! [[ $linked =~ lib(a|ub|t)san ]]; then
  mkfifo "$work/wait.log.csv"
  for given in "" glibc.malloc.hugetlb=0; do
    # The load waits at the FIFO until it is killed.
    if [ -z "$given" ]; then set -- env -u GLIBC_TUNABLES; else set -- env GLIBC_TUNABLES="$given"; fi
    "$@" "$ZXLOAD" -s "$work/fifo.db" -k none -d "$raw" "$work/wait.log.csv" >/dev/null 2>&1 &
    pid=$!
    tuned=
    for _ in $(seq 50); do
      tuned=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep '^GLIBC_TUNABLES=') && break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    want="GLIBC_TUNABLES=glibc.malloc.*"
    [ -n "$given" ] && want="GLIBC_TUNABLES=$given"
    # shellcheck disable=SC2053
    [[ "$tuned" == $want ]] || fail "allocator settings (given: '$given'): '$tuned'"
  done
  rm -f "$work/fifo.db"*
fi

section "usage and errors"
expect 1 usage "$ZXLOAD"
expect 1 "unknown option -x" "$ZXLOAD" -x
expect 1 "needs a value" "$ZXLOAD" -k
expect 1 "--list takes no FILE" "$ZXLOAD" -s "$work/x.db" --list "$work/squid.log.csv"
help=$("$ZXLOAD" --help) && [[ "$help" == "usage: zxload "*"Exit status:"*"  5  "* ]] || fail "--help: $help"
[ "$("$ZXLOAD" -h -x)" = "$help" ] || fail "-h"
expect 2 "no.log.csv" load -k none -d "$raw" "$work/no.log.csv"
expect 2 "not a data file" load -k none -d "$raw" "$work/combined.log"
expect 4 "cannot open" "$ZXLOAD" -s "$work/no/such/dir.db" -k none -d "$raw" "$work/squid.log.csv"
expect 4 "cannot connect" "$ZXLOAD" -p "host=$work/nosuch" -k none -d "$raw" "$work/squid.log.csv"

section "done"
if [ "$mode" = sqlite ]; then
  for db in "$work"/*.db; do
    [ "$(sqlite3 "$db" "PRAGMA integrity_check")" = ok ] || fail "$db: integrity check"
  done
fi
[ "$failures" -eq 0 ] && echo "zxload $mode: all checks passed"
exit $((failures > 0))
