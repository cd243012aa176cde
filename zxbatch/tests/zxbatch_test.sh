#!/usr/bin/env bash
# End-to-end checks of zxbatch over the sample logs: outputs of good logs,
# failures named with step, status and run-log lines, reruns, changed logs,
# --force, the load step (stand-in loaders), and several machines through
# GNU parallel's ssh option (stand-in remote shell, real rsync transfers).
# Needs PARSER and ZXSORT (the built programs).
set -uo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
zxbatch=$here/../zxbatch
: "${PARSER:?set PARSER}" "${ZXSORT:?set ZXSORT}"
export PARSER ZXSORT
unset ZXLOAD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

fail() { echo "FAIL: $*" >&2; failed=1; }
# expect_in FILE TEXT: FILE holds the fixed TEXT.
expect_in() { grep -qF -- "$2" "$1" || { fail "$1 lacks: $2"; sed 's/^/    /' "$1" >&2; }; }
# run_batch STATUS ARGS...: runs zxbatch, keeping stdout and stderr in
# $work/stdout and $work/stderr, and checks its exit status.
run_batch() {
  local want=$1 rc=0
  shift
  bash "$zxbatch" "$@" >"$work/stdout" 2>"$work/stderr" || rc=$?
  [ "$rc" -eq "$want" ] || { fail "zxbatch $* exited $rc, not $want"; cat "$work/stdout" "$work/stderr" >&2; }
}
# same_rows A B: two sort or data files with the same rows, the group
# identifier (a random number zxsort draws per interval) left out.
same_rows() {
  local cut='s/,[0-9]*,\([0-9]*\)\r$/,\1/'
  cmp -s <(sed "$cut" "$1") <(sed "$cut" "$2") || fail "$1 and $2 differ"
}

# ---- a day of logs: three formats, one gzip, one corrupt, one unreadable
types=$root/config/datatypes.dat
logs=$work/logs
mkdir -p "$logs/cache1" "$logs/proxy2"
cp "$root/config/samples/squid.log" "$logs/cache1/squid.log"
gzip -c "$root/config/samples/w3c.log" >"$logs/proxy2/w3c.log.gz"
cp "$root/config/samples/common.log" "$logs/proxy2/common.log"
# A gzip log cut short in its compressed data.
gzip -c "$root/config/samples/squid.log" | head -c 400 >"$logs/cache1/cut.log.gz"
# A log that cannot be opened (root can read any file: a dangling link).
ln -s "$work/nowhere" "$logs/proxy2/gone.log"
cat >"$work/map" <<'EOF'
# pattern          settings
*/cache1/*         format=squid appliance={dir}
*/proxy2/common*   format=common kind=mssql
EOF

# The same conversions one by one, for comparison.
ref=$work/ref
mkdir -p "$ref"
cp "$logs/cache1/squid.log" "$logs/proxy2/w3c.log.gz" "$logs/proxy2/common.log" "$ref/"
"$PARSER" -l "$ref/squid.log" -d "$types" -b oracle -a cache1 -t squid >/dev/null
"$PARSER" -l "$ref/w3c.log.gz" -d "$types" -b oracle >/dev/null
"$PARSER" -l "$ref/common.log" -d "$types" -b mssql -t common >/dev/null
for log in squid.log w3c.log.gz common.log; do
  "$ZXSORT" -m 0 -v "$ref/$log" -d "$types" -l "$ref/$log.out" >/dev/null
done

out=$work/out
batch=(-d "$types" -b oracle -m "$work/map" -o "$out" -j 2)
run_batch 1 "${batch[@]}" "$logs"
expect_in "$work/stdout" "5 logs: 3 done, 0 skipped, 2 failed"
expect_in "$work/stdout" "80 lines read, 80 rows written, 0 lines rejected"
for rel in cache1/squid.log proxy2/w3c.log.gz proxy2/common.log; do
  cmp -s "$ref/$(basename "$rel").csv" "$out/$rel.csv" || fail "$rel.csv differs from parser's own"
  same_rows "$ref/$(basename "$rel").srt" "$out/$rel.srt"
  [ -f "$out/$rel.zxbatch" ] || fail "$rel has no state file"
done
expect_in "$work/stderr" "FAILED $logs/cache1/cut.log.gz"
expect_in "$work/stderr" "step parser, exit status -13"
expect_in "$work/stderr" "5 System parser \"Could not read log file $out/cache1/cut.log.gz"
expect_in "$work/stderr" "FAILED $logs/proxy2/gone.log"
expect_in "$work/stderr" "step parser, exit status -3"
expect_in "$work/stderr" "5 System parser \"Could not open log file $out/proxy2/gone.log\""
# The reason leads with the system's words; the failure stays in the state file.
expect_in "$work/stderr" "step parser, exit status -3: cannot read the log: No such file or directory"
expect_in "$out/proxy2/gone.log.zxbatch" "failed parser -3 cannot read the log: No such file or directory"
[ -e "$logs/cache1/squid.log.csv" ] && fail "outputs written beside the logs despite -o"

# ---- a rerun redoes only the failed; a changed log is redone; --force
touch -d '2000-01-01' "$out"/*/*.csv
run_batch 1 "${batch[@]}" "$logs"
expect_in "$work/stdout" "5 logs: 0 done, 3 skipped, 2 failed"
[ -n "$(find "$out" -name '*.csv' ! -name 'cut*' -newermt '2000-01-02')" ] && fail "a rerun rewrote a good log's outputs"
printf '%s\n' '10.1.0.99 - - [07/Dec/2026:10:00:00 +0100] "GET http://www.example.com/ HTTP/1.0" 200 1' \
  '10.1.0.98 - - [07/Dec/2026:10:00:01 +0100] "GET http://www.example.com/ HTTP/1.0" 200 1 too many' \
  >>"$logs/proxy2/common.log"
# A dry run says what would be done, and why, and does nothing.
run_batch 0 --dry-run "${batch[@]}" "$logs"
expect_in "$work/stdout" "run parser hourly: $logs/proxy2/common.log (log changed)"
expect_in "$work/stdout" "skip: $logs/cache1/squid.log (done, unchanged)"
expect_in "$work/stdout" "run parser hourly: $logs/proxy2/gone.log (failed last run at parser, exit status -3: cannot read the log: No such file or directory)"
expect_in "$work/stdout" "zxbatch: dry run: 5 logs: 3 to run, 2 skipped, 0 failing at setup"
run_batch 0 -n "${batch[@]}" -e 9 -o "$work/not-made" "$logs/cache1/squid.log"
expect_in "$work/stdout" "run parser hourly: $logs/cache1/squid.log (new)"
[ -e "$work/not-made" ] && fail "a dry run made its output directory"
run_batch 0 -n "${batch[@]}" -e 9 "$logs"
expect_in "$work/stdout" "run parser hourly: $logs/cache1/squid.log (settings changed)"
run_batch 1 "${batch[@]}" "$logs"
expect_in "$work/stdout" "5 logs: 1 done, 2 skipped, 2 failed"
expect_in "$work/stdout" "22 lines read, 21 rows written, 1 lines rejected"
run_batch 1 --force "${batch[@]}" "$logs"
expect_in "$work/stdout" "5 logs: 3 done, 0 skipped, 2 failed"

# ---- billing and the load step, with stand-in loaders
printf '#!/bin/sh\necho "$@" >>"%s"\n' "$work/loads" >"$work/zxload-ok"
printf '#!/bin/sh\necho "no database here" >&2\nexit 3\n' >"$work/zxload-down"
chmod +x "$work/zxload-ok" "$work/zxload-down"
one=(-d "$types" -b oracle -t squid -o "$work/one" --billing 15,bytecount:13,bytecount:11,responsetime:12
  --load "sqlite:$work/db.sqlite" "$logs/cache1/squid.log")
ZXLOAD=$work/zxload-down run_batch 1 "${one[@]}"
expect_in "$work/stderr" "step load, exit status 3"
expect_in "$work/stderr" "no database here"
[ -s "$work/one/squid.log.bsrt" ] || fail "no billing sort file"
touch -d '2000-01-01' "$work/one/squid.log.csv"
ZXLOAD=$work/zxload-down run_batch 0 -n "${one[@]}"
expect_in "$work/stdout" "run load: $logs/cache1/squid.log (failed last run at load, exit status 3: no database here)"
ZXLOAD=$work/zxload-ok run_batch 0 "${one[@]}"
expect_in "$work/stdout" "1 logs: 1 done, 0 skipped, 0 failed"
expect_in "$work/loads" "-k oracle -d $types -s $work/db.sqlite --rollback-journal --source $logs/cache1/squid.log $work/one/squid.log.srt $work/one/squid.log.bsrt"
[ -n "$(find "$work/one" -name '*.csv' -newermt '2000-01-02')" ] && fail "a failed load redid the conversion"
# The rows that reached the database, from what the loader printed.
printf '#!/bin/sh\nshift 9\necho "$1: replaced 19,766 rows loaded from $2 on 2026-12-08 10:00:00 UTC"
echo "$1: 25 rows loaded into raw_"\necho "$2: already loaded into bill_, nothing to do"\n' >"$work/zxload-said"
chmod +x "$work/zxload-said"
ZXLOAD=$work/zxload-said run_batch 0 --force "${one[@]}"
expect_in "$work/stdout" "zxbatch: $((25 + $(wc -l <"$work/one/squid.log.bsrt"))) rows in the database (25 loaded, $(wc -l <"$work/one/squid.log.bsrt") loaded before), 19766 earlier rows replaced"

# --report: zxreport on the load target after the loads; its failure fails the run.
printf '#!/bin/sh\necho "$@" >>"%s"\nexit "${REPORT_STATUS:-0}"\n' "$work/reports" >"$work/zxreport-ok"
chmod +x "$work/zxreport-ok"
ZXLOAD=$work/zxload-ok ZXREPORT=$work/zxreport-ok run_batch 0 "${one[@]}" --report "$work/r.html"
expect_in "$work/reports" "-o $work/r.html --json $work/r.json -s $work/db.sqlite --ids $types.id --measures bytecount:13,bytecount:11,responsetime:12"
expect_in "$work/stdout" "report written to $work/r.html"
REPORT_STATUS=3 ZXLOAD=$work/zxload-ok ZXREPORT=$work/zxreport-ok run_batch 1 "${one[@]}" --report "$work/r.html"
expect_in "$work/stderr" "the report failed (zxreport exit status 3)"
run_batch 2 -d "$types" --report "$work/r.html" "$logs/cache1/squid.log"

# ---- --bin takes only programs that can be run
mkdir "$work/bin"
ln -s "$PARSER" "$work/bin/parser"
touch "$work/bin/zxsort"
PARSER='' ZXSORT='' run_batch 2 --bin "$work/bin" -d "$types" "$logs/cache1/squid.log"
expect_in "$work/stderr" "zxbatch: --bin: $work/bin/zxsort is not an executable file"

# ---- several machines: logs sent to a stand-in remote home, outputs returned
export REMOTE_HOME=$work/remote
mkdir -p "$REMOTE_HOME"
printf '1/far1\n1/far2\n' >"$work/hosts"
far=(-d "$types" -b oracle -m "$work/map" -o "$work/far" --hosts "$work/hosts" --ssh "$here/remote_shell")
run_batch 1 "${far[@]}" "$logs/cache1" "$logs/proxy2/w3c.log.gz"
expect_in "$work/stdout" "3 logs: 2 done, 0 skipped, 1 failed"
expect_in "$work/stderr" "Could not read log file cut.log.gz"
cmp -s "$ref/squid.log.csv" "$work/far/squid.log.csv" || fail "squid.log.csv from afar differs"
cmp -s "$ref/w3c.log.gz.csv" "$work/far/w3c.log.gz.csv" || fail "w3c.log.gz.csv from afar differs"
same_rows "$ref/squid.log.srt" "$work/far/squid.log.srt"
expect_in "$REMOTE_HOME.calls" "rsync --server"
[ -z "$(find "$REMOTE_HOME" -name '*.log*')" ] || fail "files left on the remote machine"
run_batch 1 "${far[@]}" "$logs/cache1" "$logs/proxy2/w3c.log.gz"
expect_in "$work/stdout" "3 logs: 0 done, 2 skipped, 1 failed"
# Every data set converts there as here: the identifier file travels too.
sets=$work/sets
mkdir -p "$sets/media" "$sets/filter"
# A hostile name: quotes, blanks and a command substitution.
cp "$root/tests/cases/parser_formats/streaming_sybase/ex.log" "$sets/media/st 'r' \"\$(touch pwned)\".log"
cp "$root/tests/cases/parser_formats/smartfilter_oracle/ex.log" "$sets/filter/filter.log"
printf '*/media/* types=%s kind=sybase\n*/filter/* types=%s\n' \
  "$root/config/streaming_datatypes.dat" "$root/config/smartfilter_datatypes.dat" >"$work/sets.map"
run_batch 0 -d "$types" -b oracle -m "$work/sets.map" -o "$work/sets-here" "$sets"
run_batch 0 "${far[@]}" -m "$work/sets.map" -o "$work/sets-far" "$sets"
while IFS= read -r -d '' file; do
  # Control files name their data file where it was written.
  cmp -s <(sed "s|INFILE '.*/|INFILE '|" "$work/sets-here/$file") "$work/sets-far/$file" ||
    fail "$file from afar differs from here"
done < <(cd "$work/sets-here" && find . -type f ! -name '*.out' ! -name '*.zxbatch' ! -name '*.log' -print0)
expect_in "$work/sets-far/media/st 'r' \"\$(touch pwned)\".log.st.csv" "'10.0.0.1',10,2,0"
[ -z "$(find "$work" -name pwned)" ] && [ ! -e pwned ] || fail "a log's name was run as a command"
# A shared file system: the jobs write where the coordinator would.
run_batch 0 "${far[@]}" --shared -o "$work/shared" "$logs/proxy2/common.log"
cmp -s "$out/proxy2/common.log.csv" "$work/shared/common.log.csv" || fail "common.log.csv on a shared file system differs"
# A machine that cannot be reached (the stand-in's home is missing: ssh's 255).
REMOTE_HOME=$work/nowhere run_batch 1 "${far[@]}" --force "$logs/proxy2/common.log"
expect_in "$work/stdout" "1 logs: 0 done, 0 skipped, 1 failed"
expect_in "$work/stderr" "step job, exit status 255"

# ---- the server's own format: --log-format and log-format= (parser -f)
fmt=$work/fmt
mkdir -p "$fmt/site" "$fmt/edge"
cp "$root/config/samples/apache_custom.log" "$fmt/site/vhost.log"
cp "$root/config/samples/combined.log" "$fmt/edge/combined.log"
cp "$root/config/samples/apache_custom.conf" "$fmt/apache.conf"
printf '%s\n' "*/edge/*  log-format=apache:combined" >"$fmt/map"
vhost='apache:%v %a %l %u %t \"%r\" %>s %b %D \"%{Referer}i\" \"%{User-Agent}i\"'
run_batch 0 -d "$types" -m "$fmt/map" --log-format "$vhost" "$fmt/site" "$fmt/edge"
expect_in "$work/stdout" "2 logs: 2 done, 0 skipped, 0 failed"
# The same format written inline and read from the configuration.
cp "$fmt/site/vhost.log" "$fmt/vhost.log"
"$PARSER" -l "$fmt/vhost.log" -d "$types" -f "apache-conf:$fmt/apache.conf:vhost_timed" >/dev/null
cmp -s "$fmt/vhost.log.csv" "$fmt/site/vhost.log.csv" || fail "vhost.log.csv differs from parser's own"
expect_in "$fmt/site/vhost.log.out" "Log format = $vhost"
expect_in "$fmt/edge/combined.log.out" "Log format = apache:combined"
# A format read from a file is redone when the file changes.
conf=(-d "$types" --log-format "apache-conf:$fmt/apache.conf:vhost_timed" "$fmt/site/vhost.log")
run_batch 0 "${conf[@]}"
expect_in "$work/stdout" "1 logs: 1 done, 0 skipped, 0 failed"
run_batch 0 "${conf[@]}"
expect_in "$work/stdout" "1 logs: 0 done, 1 skipped, 0 failed"
echo "# a comment" >>"$fmt/apache.conf"
run_batch 0 "${conf[@]}"
expect_in "$work/stdout" "1 logs: 1 done, 0 skipped, 0 failed"
# A map setting is never a file name pattern: with a file "log-format=...0..."
# in the current directory, the key path User-Agent[0] stays as written.
mkdir -p "$fmt/json" "$fmt/cwd"
cp "$root/config/samples/caddy.log" "$fmt/json/caddy.log"
jf='json:request.headers.User-Agent[0]=cs(user-agent)'
printf '%s\n' "*/json/*  log-format=$jf" >"$fmt/jmap"
touch "$fmt/cwd/log-format=json:request.headers.User-Agent0=cs(user-agent)"
(cd "$fmt/cwd" && run_batch 0 -d "$types" -m "$fmt/jmap" "$fmt/json")
expect_in "$fmt/json/caddy.log.out" "Log format = $jf"

[ "$failed" -eq 0 ] && echo "zxbatch tests passed"
exit "$failed"
