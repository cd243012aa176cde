#!/usr/bin/env bash
# Builds parser, zxsort, zxload and zxreport, converts the bundled sample logs (squid
# layout, W3C "#Fields:", common and combined logs, an nginx "main" log),
# sorts each result hour by hour and per billing interval, loads the sort
# files into an SQLite database (out/demo/demo.db, tables raw_demo and
# bill_demo, as the loader control files name them), prints a short report
# from it and writes the HTML report out/demo/report.html with zxreport.
# Installs missing build packages first (Debian, as root or with sudo).
# Output goes to out/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" demo

build=$root/build/demo
out=$root/out/demo
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

echo "=== configure and build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target parser zxsort zxload zxreport

rm -rf "$out"
mkdir -p "$out"
types=$root/config/datatypes.dat

# convert NAME [FORMAT]: parser on config/samples/NAME, then the hourly sort.
convert() {
  local name=$1 format=${2:-}
  local log=$out/$name
  cp "$root/config/samples/$name" "$log"
  local args=(-l "$log" -d "$types" -b oracle -a demo)
  [ -n "$format" ] && args+=(-t "$format")
  echo "=== parser ${args[*]}"
  local status=0
  "$build/parser/parser" "${args[@]}" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "parser failed with exit status $status; its run log:" >&2
    cat "$log.out" >&2 || true
    exit 1
  fi
  sort_log "$log" -m 0
  sort_log "$log" -m 1 -i 15 -b1 bytecount:13 -b2 bytecount:12 -b3 refcount:13
}

# sort_log LOG MODE-OPTIONS...: zxsort on the parser's output of LOG.
sort_log() {
  local log=$1 status=0; shift
  echo "=== zxsort $* -v $log"
  "$build/zxsort/zxsort" "$@" -v "$log" -d "$types" -l "$log.out" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "zxsort failed with exit status $status; the run log:" >&2
    cat "$log.out" >&2 || true
    exit 1
  fi
}

convert squid.log squid
convert w3c.log
convert common.log common
convert combined.log combined
convert nginx.log combined

show() {  # show FILE LINES
  [ -f "$1" ] || return 0
  echo "--- $(basename "$1") (first $2 lines)"
  head -n "$2" "$1" | tr -d '\r'
}
echo "=== files produced in $out"
ls -l "$out"
for name in squid.log w3c.log common.log combined.log nginx.log; do
  show "$out/$name.csv" 3
  show "$out/$name.srt" 3
done
show "$out/squid.log.zx3" 1
show "$out/squid.log.out" 60

# The raw data set is loaded from its hourly sort file, as the loader control
# file names it; the billing sort files go to the billing table.
db=$out/demo.db
files=()
for name in squid.log w3c.log common.log combined.log nginx.log; do
  files+=("$out/$name.srt" "$out/$name.bsrt")
done
echo "=== zxload -k oracle -d $types -s $db (hourly and billing sort files)"
"$build/zxload/zxload" -k oracle -d "$types" -s "$db" "${files[@]}"

report() {  # report TITLE SQL
  echo "--- $1"
  sqlite3 -header -column "$db" "$2"
}
echo "=== report from $db"
report "requests and bytes per hour" \
  "SELECT substr(timestampid, 1, 13) || 'h' AS hour, sum(refcount) AS requests,
          CAST(sum(bytecount * refcount) AS INTEGER) AS bytes
     FROM raw_demo GROUP BY hour ORDER BY hour"
report "busiest sites" \
  "SELECT sitename AS site, sum(refcount) AS requests,
          CAST(sum(bytecount * refcount) AS INTEGER) AS bytes
     FROM raw_demo WHERE sitename <> '-' GROUP BY site
    ORDER BY requests DESC, site LIMIT 5"
report "status codes" \
  "SELECT status, sum(refcount) AS requests FROM raw_demo GROUP BY status ORDER BY status"
report "heaviest users per 15 minutes (billing)" \
  "SELECT timestampid AS interval, userip, CAST(sum(billmeasure1) AS INTEGER) AS bytes,
          CAST(sum(billmeasure3) AS INTEGER) AS requests
     FROM bill_demo GROUP BY interval, userip ORDER BY bytes DESC LIMIT 5"
report "files loaded" \
  "SELECT replace(file_name, rtrim(file_name, replace(file_name, '/', '')), '') AS file,
          table_name, row_count FROM zxload_files ORDER BY rowid"

echo "=== zxreport -s $db -o $out/report.html"
"$build/zxreport/zxreport" -s "$db" -o "$out/report.html" --json "$out/report.json" \
  --ids "$types.id" --measures bytecount:13,bytecount:12,refcount:13 --title "Demo access report"
echo "The report is $out/report.html: open it in a browser (it needs no network)."
echo "Its figures for scripts: $out/report.json"
