#!/usr/bin/env bash
# An operator's day in miniature: logs of four data sets and three formats
# loaded by zxbatch into SQLite on this machine and into a throwaway
# PostgreSQL server through the stand-in remote shell; then a log grows, a
# setting changes, --force, SIGINT and kill -9 of the process group in the
# middle of a load, and reruns. After every step each log's table holds
# exactly the rows of its current sort or data file (count and byte sum),
# zxload_files names the original logs, and no temporary file is left.
# Needs PARSER, ZXSORT and ZXLOAD (the built programs) and sqlite3.
set -uo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
zxbatch=$here/../zxbatch
: "${PARSER:?set PARSER}" "${ZXSORT:?set ZXSORT}" "${ZXLOAD:?set ZXLOAD}"
command -v sqlite3 >/dev/null || { echo "SKIP: sqlite3 is not installed"; exit 77; }
work=$(mktemp -d /tmp/zxbatch_once.XXXXXX)
chmod 0755 "$work"
source "$root/tests/zxload/pg_server.sh"
trap 'pg_stop; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# The loader as zxbatch runs it: the real one, then, when $PAUSE names a
# file, that file is made and the step waits half a second, so that a test can
# stop the run between a load and its record in the state file.
real_zxload=$ZXLOAD
export ZXLOAD=$work/zxload real_zxload
printf '#!/bin/sh\n"$real_zxload" "$@"; rc=$?\n[ -n "${PAUSE:-}" ] && touch "$PAUSE" && sleep 0.5\nexit $rc\n' >"$ZXLOAD"
chmod +x "$ZXLOAD"
export TMPDIR=$work/tmp REMOTE_HOME=$work/remote
mkdir -p "$TMPDIR" "$REMOTE_HOME"

# ---- the day: one log per appliance, so that each table holds one log
config=$root/config
day=$work/day
mkdir -p "$day/cache1" "$day/proxy2" "$day/media" "$day/filter"
cp "$config/samples/squid.log" "$day/cache1/access.log"
gzip -c "$config/samples/common.log" >"$day/proxy2/access.log.gz"
cp "$root/tests/cases/parser_formats/streaming_sybase/ex.log" "$day/media/stream.log"
# A name that a shell would take apart.
filter="filter/filter 'a' \$b.log"
cp "$root/tests/cases/parser_formats/smartfilter_oracle/ex.log" "$day/$filter"
logs=(cache1/access.log proxy2/access.log.gz media/stream.log "$filter")
# map_with APPLIANCE: the map, the proxy's log under APPLIANCE.
map_with() {
  cat >"$work/map" <<EOF
*/cache1/*  format=squid kind=oracle appliance={dir}
*/proxy2/*  format=common kind=mssql appliance=$1
*/media/*   types=$config/streaming_datatypes.dat kind=sybase appliance={dir}
*/filter/*  types=$config/smartfilter_datatypes.dat kind=oracle appliance={dir}
EOF
}
map_with proxy2
declare -A app_of=([cache1/access.log]=cache1 [proxy2/access.log.gz]=proxy2
  [media/stream.log]=media [$filter]=filter)

billing=(--billing 15,bytecount:13,bytecount:11,responsetime:12)
printf '2/far1\n' >"$work/hosts"
remote=(--hosts "$work/hosts" --ssh "$here/remote_shell")

# ---- the two databases
if pg_start "$work/pg" >"$work/pg.log" 2>&1; then
  psql -X -q -d postgres -c "CREATE DATABASE day" || exit 1
  targets=(sqlite postgres)
else
  echo "SKIP: the PostgreSQL half ($(tail -n 1 "$work/pg.log"))"
  targets=(sqlite)
fi
# q TARGET SQL: one query, values separated by '|'.
q() {
  case $1 in
    sqlite) sqlite3 "$work/day.sqlite" "$2" ;;
    postgres) psql -X -A -t -q -d day -c "$2" ;;
  esac
}
# batch_command TARGET ARGS...: sets `command` to the zxbatch run for
# TARGET: SQLite here, PostgreSQL through the remote shell.
batch_command() {
  local target=$1
  shift
  command=(bash "$zxbatch" -d "$config/datatypes.dat" -m "$work/map" "${billing[@]}" -o "$work/out-$target")
  case $target in
    sqlite) command+=(--load "sqlite:$work/day.sqlite") ;;
    postgres) command+=("${remote[@]}" --load postgres:dbname=day) ;;
  esac
  command+=("$@" "$day")
}

# file_sum FILE COLUMNS COLUMN: "rows|sum" of a sort or data file whose
# columns are the comma-separated COLUMNS: the sum of the number COLUMN (the
# bytes of the log lines), or of the lengths of userip when COLUMN is "-".
file_sum() {
  awk -F, -v columns="$2" -v column="$3" '
    BEGIN { n = split(columns, c, ","); for (i = 1; i <= n; i++) at[c[i]] = i
            k = at[column == "-" ? "userip" : column] }
    { sub(/\r$/, ""); v = $k; gsub(/'\''/, "", v); rows++; s += column == "-" ? length(v) : v }
    END { printf "%d|%.6f\n", rows, s }' "$1"
}

# same_sum A B: two "rows|sum" equal, the sums to a millionth.
same_sum() {
  awk -F'|' -v a="$1" -v b="$2" 'BEGIN { split(a, x); split(b, y); d = x[2] - y[2]
    exit !(x[1] == y[1] && (d < 0 ? -d : d) <= 1e-6 * (x[2] < 0 ? -x[2] : x[2]) + 1e-6) }'
}

# check TARGET WHEN: every log's rows are in its tables exactly once, other
# tables are empty, the loads name the original logs, no scratch is left.
check() {
  local target=$1 when=$2 rel base table got sql="" sum
  local out=$work/out-$target
  declare -A expected=()
  # expect TABLE FILE COLUMNS COLUMN: TABLE holds the rows of FILE.
  expect() {
    expected[$1]=$(file_sum "$2" "$3" "$4")
    sum="sum(\"$4\")"
    [ "$4" = - ] && sum="sum(length(userip))"
    sql+="SELECT '$1', count(*) || '|' || coalesce($sum, 0) FROM \"$1\" UNION ALL "
  }
  for rel in "${logs[@]}"; do
    base=$out/$rel
    case $rel in
      media/*) expect "str_${app_of[$rel]}" "$base.st.csv" "$(tr -d '\r' <"$base.st.zx3")" bytecount ;;
      filter/*) expect "smart_${app_of[$rel]}" "$base.sf.csv" "$(tr -d '\r' <"$base.sf.zx3")" - ;;
      *)
        expect "raw_${app_of[$rel]}" "$base.srt" "$(tr -d '\r' <"$base.zx3")" bytecount
        expect "bill_${app_of[$rel]}" "$base.bsrt" timestampid,groupid,userip,username,url,method,logformat,billmeasure1 billmeasure1
        ;;
    esac
  done
  local tables
  case $target in
    sqlite) tables=$(q sqlite "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'zxload%'") ;;
    postgres) tables=$(q postgres "SELECT tablename FROM pg_tables WHERE schemaname = 'public' AND tablename NOT LIKE 'zxload%'") ;;
  esac
  for table in $tables; do
    [ -n "${expected[$table]:-}" ] || sql+="SELECT '$table', count(*) || '|0' FROM \"$table\" UNION ALL "
  done
  while IFS='|' read -r table got sum; do
    got=$(awk -v r="$got" -v s="$sum" 'BEGIN { printf "%d|%.6f", r, s }')
    if [ -z "${expected[$table]:-}" ]; then
      [ "${got%|*}" = 0 ] || fail "$target, $when: $table, no log's table now, holds ${got%|*} rows"
      continue
    fi
    same_sum "${expected[$table]}" "$got" ||
      fail "$target, $when: $table holds rows|sum $got, its log's files ${expected[$table]}"
    unset "expected[$table]"
  done < <(q "$target" "${sql% UNION ALL }")
  [ ${#expected[@]} -eq 0 ] || fail "$target, $when: tables missing: ${!expected[*]}"
  local sources
  sources=$(q "$target" "SELECT DISTINCT source FROM zxload_files ORDER BY 1")
  [ "$sources" = "$(printf "$day/%s\n" "${logs[@]}" | sort)" ] ||
    fail "$target, $when: zxload_files names $(echo $sources)"
  no_leftovers "$target" "$when"
}

# no_leftovers TARGET WHEN: no temporary file here or on the remote
# machine, no scratch file among the outputs for TARGET.
no_leftovers() {
  local left
  left=$(find "$TMPDIR" -mindepth 1
    find "$work/out-$1" -name '*.zxbatch.tar' -o -name '*.zxbatch-msg'
    [ -d "$REMOTE_HOME/.parallel/tmp" ] && find "$REMOTE_HOME/.parallel/tmp" -mindepth 1 -maxdepth 1 ! -name sshlogin)
  [ -z "$left" ] || fail "$1, $2: left behind: $left"
}

# step TEXT STATUS ARGS...: one zxbatch run per database, then the checks.
step() {
  local when=$1 want=$2 target rc
  shift 2
  for target in "${targets[@]}"; do
    batch_command "$target" "$@"
    "${command[@]}" >"$work/$target.out" 2>"$work/$target.err"
    rc=$?
    [ "$rc" = "$want" ] || { fail "$target, $when: status $rc, not $want"; cat "$work/$target.out" "$work/$target.err" >&2; }
    check "$target" "$when"
  done
}

# stopped SIGNAL WHEN: a forced run, stopped by SIGNAL sent to its process
# group once a load is made and before it is recorded.
stopped() {
  local signal=$1 when=$2 target pid rc
  for target in "${targets[@]}"; do
    rm -f "$work/paused"
    batch_command "$target" --force
    PAUSE=$work/paused setsid "${command[@]}" >"$work/$target.out" 2>"$work/$target.err" &
    pid=$!
    for _ in $(seq 200); do [ -e "$work/paused" ] && break; sleep 0.05; done
    [ -e "$work/paused" ] || fail "$target, $when: no load was made"
    kill "-$signal" -- "-$pid"
    { wait "$pid"; } 2>/dev/null
    rc=$?
    [ "$signal" = KILL ] && continue
    [ "$rc" = 130 ] || fail "$target, $when: status $rc, not 130"
    grep -q "interrupted" "$work/$target.out" || fail "$target, $when: not reported interrupted: $(cat "$work/$target.out")"
    grep -q FAILED "$work/$target.err" && fail "$target, $when: reported as a failure: $(cat "$work/$target.err")"
    no_leftovers "$target" "$when"
  done
}

step "first run" 0
printf '%s\n' '1765102000.100    120 10.1.2.9 TCP_MISS/200 777 GET http://www.example.com/new.html - DIRECT/192.0.2.10 text/html' \
  '1765102001.100     90 10.1.2.9 TCP_HIT/200 555 GET http://www.example.com/new.gif - NONE/- image/gif' >>"$day/cache1/access.log"
step "a log grown" 0
grep -q "rows replaced" "$work/sqlite.out" || fail "no replaced rows reported: $(cat "$work/sqlite.out")"
map_with proxy9
app_of[proxy2/access.log.gz]=proxy9
step "an appliance changed" 0
step "--force" 0 --force
stopped INT "SIGINT"
step "a rerun after SIGINT" 0
stopped KILL "kill -9"
step "a rerun after kill -9" 0

[ "$failed" -eq 0 ] && echo "zxbatch exactly-once tests passed"
exit "$failed"
