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

if [ "$mode" = postgres ]; then
  pg_start "$work" || exit $?
  psql -X -q -c "CREATE DATABASE bytes ENCODING 'SQL_ASCII' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'" || exit 1
  target=(-p "dbname=postgres")
  q() { psql -X -A -t -q -d postgres -c "$1"; }
  textbytes() { echo "sum(octet_length(\"$1\"))"; }
  tablecount() { q "SELECT count(*) FROM pg_class WHERE relname = '$1'"; }
else
  target=(-s "$work/t.db")
  q() { sqlite3 "$work/t.db" "$1"; }
  textbytes() { echo "sum(length(CAST(\"$1\" AS BLOB)))"; }
  tablecount() { q "SELECT count(*) FROM sqlite_master WHERE name = '$1'"; }
fi
load() { "$ZXLOAD" "${target[@]}" "$@"; }

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

echo "=== reload adds nothing"
out=$(load -k sybase -d "$raw" -a web "$work/combined.log.srt") || fail "reload status"
[[ "$out" == *"already loaded"* ]] || fail "reload says: $out"
check "$work/combined.log.srt" "$work/combined.log.zx3" "$raw" raw_web
[ "$(q "SELECT count(*) FROM zxload_files")" = 6 ] || fail "loads table: $(q "SELECT count(*) FROM zxload_files")"

echo "=== logs of another format share the table"
load -k mssql -d "$raw" -a web "$work/squid.log.csv" >/dev/null || fail "squid into raw_web"
[ "$(q "SELECT count(*) FROM raw_web WHERE referrer IS NOT NULL")" = "$(wc -l <"$work/combined.log.srt")" ] &&
  [ "$(q "SELECT count(*) FROM raw_web WHERE referrer IS NULL")" = "$(wc -l <"$work/squid.log.csv")" ] ||
  fail "raw_web after a second format: $(q "SELECT count(*), count(referrer) FROM raw_web")"

echo "=== a damaged file adds nothing"
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

echo "=== bytes"
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

echo "=== usage and errors"
expect() {  # expect STATUS TEXT COMMAND...
  local want=$1 text=$2; shift 2
  "$@" >/dev/null 2>"$work/err"; local status=$?
  [ "$status" = "$want" ] && grep -q -- "$text" "$work/err" ||
    fail "$* => $status ($(head -c 200 "$work/err")), want $want with '$text'"
}
expect 1 usage "$ZXLOAD"
expect 1 "unknown option -x" "$ZXLOAD" -x
expect 1 "needs a value" "$ZXLOAD" -k
expect 2 "no.log.csv" load -k none -d "$raw" "$work/no.log.csv"
expect 2 "not a data file" load -k none -d "$raw" "$work/combined.log"
expect 4 "cannot open" "$ZXLOAD" -s "$work/no/such/dir.db" -k none -d "$raw" "$work/squid.log.csv"
expect 4 "cannot connect" "$ZXLOAD" -p "host=$work/nosuch" -k none -d "$raw" "$work/squid.log.csv"

[ "$failures" -eq 0 ] && echo "zxload $mode: all checks passed"
exit $((failures > 0))
