#!/usr/bin/env bash
# Inputs at the limits, end to end: each run must give its documented
# status, keep what it had written, and stay within a bounded memory (peak
# resident set measured with /usr/bin/time -v). The inputs are made here.
#
# Usage: limits_test.sh PARSER ZXSORT [MAX_RSS_KB]
set -u
parser=$(realpath "$1")
zxsort=$(realpath "$2")
max_rss_kb=${3:-32768}
work=$(mktemp -d /tmp/limits.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export TZ=UTC LC_ALL=C
passed=0
failed=0

header='#Fields: date time c-ip cs-method cs-uri-stem sc-status sc-bytes'
row1='2026-12-07 08:01:02 10.1.0.12 GET /a.html 200 100'
row2='2026-12-07 08:02:03 10.1.0.13 GET /b.html 404 200'
cat >types.dat <<'TYPES'
date SQLCHAR 1 timestampid
time SQLCHAR 2 logtime
c-ip SQLCHAR 1 userip
cs-method SQLCHAR 1 method
cs-uri-stem SQLCHAR 1 url
sc-status SQLINTEGER 1 status
sc-bytes SQLFLOAT 1 bytes
zx-hour SQLINTEGER 1 dt_hour
zx-groupid SQLINTEGER 1 groupid
zx-refcount SQLINTEGER 1 refcount
TYPES

# check NAME CONDITION...: counts one outcome.
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name ($*)"
  fi
}

# run EXPECTED_STATUS PROGRAM ARGS...: runs under /usr/bin/time and checks
# the status and the peak resident set; sets $rss.
run() {
  local want=$1
  shift
  /usr/bin/time -v -o time.txt "$@" >out.txt 2>&1
  local got=$?
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
  check "$(basename "$1") status" [ "$got" -eq $((want & 255)) ]
  check "$(basename "$1") peak memory ${rss:-?} kB" [ "${rss:-0}" -le "$max_rss_kb" ]
  echo "  $(basename "$1"): status $got, peak ${rss:-?} kB"
}

lines_of() { [ -f "$1" ] && grep -c '' "$1" || echo 0; }

echo "log line of 100 MB without a line break"
{ echo "$header"; echo "$row1"; head -c 104857600 /dev/zero | tr '\0' 'x'; } >long.log
run 0 "$parser" -l long.log -d types.dat -e 0
check "rows before the long line kept" [ "$(lines_of long.log.csv)" -eq 1 ]
check "the long line rejected whole" [ "$(stat -c %s long.log.err)" -eq 104857600 ]
run -11 "$parser" -l long.log -d types.dat
check "rows kept at the error limit" [ "$(lines_of long.log.csv)" -eq 1 ]
rm -f long.log long.log.err

echo "gzip member that inflates a thousandfold"
{ echo "$header"; echo "$row1"; head -c 20000000 /dev/zero | tr '\0' '\n'; echo "$row2"; } |
  gzip -9 >bomb.log
inflated=$(gzip -dc bomb.log | wc -c)
check "input inflates a thousandfold" [ "$inflated" -ge $(( $(stat -c %s bomb.log) * 1000 )) ]
run 0 "$parser" -l bomb.log -d types.dat
check "rows around the blank lines written" [ "$(lines_of bomb.log.csv)" -eq 2 ]

echo "file of NUL bytes"
head -c 1048576 /dev/zero >nul.log
run -4 "$parser" -l nul.log -d types.dat
check "nothing written for a NUL log" [ ! -e nul.log.csv ]
run -4 "$parser" -l bomb.log -d nul.log
{ printf 'timestampid\r\n'; } >nul.zx3
cp nul.log nul.csv
run 0 "$zxsort" -m 0 -v nul -d types.dat -l nul.out
check "NUL data file sorted to nothing" [ "$(stat -c %s nul.srt)" -eq 0 ]

echo "data types file of 100,000 lines"
{ cat types.dat; for i in $(seq 1 99990); do echo "x-extra$i SQLCHAR 1 extra$i"; done; } >big.dat
echo "$header" >big.log
echo "$row1" >>big.log
run 0 "$parser" -l big.log -d big.dat
check "parser reports the ignored lines" grep -q "More than 512 columns in big.dat: 99488 lines ignored" big.log.out
check "parser still writes the row" [ "$(lines_of big.log.csv)" -eq 1 ]
cp nul.zx3 big.zx3
printf "'2026-12-07 08:01:02.000'\r\n" >big.csv
run -11 "$zxsort" -m 0 -v big -d big.dat -l big.out
check "zxsort reports the used columns" grep -q "more than 512 used columns" big.out

echo "data types and description lines of 64 MB"
{ printf timestampid; head -c 67108864 /dev/zero | tr '\0' ','; } >long.zx3
cp big.csv long.csv
run -11 "$zxsort" -m 0 -v long -d types.dat -l long.out
check "zxsort refuses the long description line" grep -q "zx3 file line longer" long.out
{ head -c 67108864 /dev/zero | tr '\0' 'x'; echo; } >long.dat
run -11 "$zxsort" -m 0 -v long -d long.dat -l long.out
check "zxsort refuses the long data types line" grep -q "dataType file line 1 longer" long.out
rm -f long.zx3 long.dat

echo "zxsort data lines all longer than the line limit"
"$parser" -l big.log -d types.dat >/dev/null 2>&1
cp big.log.zx3 wide.zx3
awk 'BEGIN { pad = sprintf("%3400s", ""); gsub(/ /, "a", pad);
  for (i = 0; i < 1000; i++)
    printf "\x272026-12-07 08:01:02.000\x27,\x2710.1.0.12\x27,\x27GET\x27,\x27/%s\x27,200,100,8,0,1\r\n", pad }' >wide.csv
run 0 "$zxsort" -m 0 -v wide -d types.dat -l wide.out
check "every long line skipped" grep -q "Skipped lines: 1000" wide.out
check "nothing sorted from them" [ "$(stat -c %s wide.srt)" -eq 0 ]

echo "paths at 511 characters"
dir=$work
while [ $(( ${#dir} + 101 )) -lt 511 ]; do dir=$dir/$(printf 'd%.0s' $(seq 1 100)); done
mkdir -p "$dir"
name=$(printf 'p%.0s' $(seq 1 $(( 511 - ${#dir} - 1 ))))
log511=$dir/$name
check "log path has 511 characters" [ ${#log511} -eq 511 ]
{ echo "$header"; echo "$row1"; } >"$log511"
run 0 "$parser" -l "$log511" -d types.dat
check "data file at the long path" [ "$(lines_of "$log511.csv")" -eq 1 ]
run -2 "$parser" -l "${log511}p" -d types.dat
mv "$log511.csv" "$dir/s.csv"
mv "$log511.zx3" "$dir/s.zx3"
base=$dir/s$(printf 's%.0s' $(seq 1 $(( 511 - ${#dir} - 2 ))))
mv "$dir/s.csv" "$base.csv"
mv "$dir/s.zx3" "$base.zx3"
check "base path has 511 characters" [ ${#base} -eq 511 ]
run 0 "$zxsort" -m 0 -v "$base" -d types.dat -l "$base.out"
check "sort file at the long path" [ "$(lines_of "$base.srt")" -eq 1 ]

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
