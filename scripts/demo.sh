#!/usr/bin/env bash
# Builds parser (and zxsort when it is part of the tree), converts the bundled
# sample logs (squid layout, W3C "#Fields:", common log) and sorts each result
# hour by hour, then shows the files produced. Installs missing build
# packages first (Debian, as root or with sudo). Output goes to out/demo/.
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
cmake --build "$build" -j "$jobs" --target parser
have_zxsort=0
if cmake --build "$build" --target help | grep -q '^zxsort:'; then
  cmake --build "$build" -j "$jobs" --target zxsort
  have_zxsort=1
fi

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
  [ "$have_zxsort" -eq 1 ] || return 0
  echo "=== zxsort -m 0 -v $log -d $types -l $log.out"
  "$build/zxsort/zxsort" -m 0 -v "$log" -d "$types" -l "$log.out" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "zxsort failed with exit status $status; the run log:" >&2
    cat "$log.out" >&2 || true
    exit 1
  fi
}

convert squid.log squid
convert w3c.log
convert common.log common
[ "$have_zxsort" -eq 1 ] || echo "=== zxsort is not part of this tree yet: hourly sorting skipped"

show() {  # show FILE LINES
  [ -f "$1" ] || return 0
  echo "--- $(basename "$1") (first $2 lines)"
  head -n "$2" "$1" | tr -d '\r'
}
echo "=== files produced in $out"
ls -l "$out"
for name in squid.log w3c.log common.log; do
  show "$out/$name.csv" 3
  show "$out/$name.srt" 3
done
show "$out/squid.log.zx3" 1
show "$out/squid.log.out" 60
