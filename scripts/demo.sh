#!/usr/bin/env bash
# Builds parser (and zxsort when it is part of the tree), converts the bundled
# squid-layout sample log and sorts the result hour by hour, then shows the
# files produced. Installs missing build packages first (Debian, as root or
# with sudo). Output goes to out/demo/.
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
cp "$root/config/samples/squid.log" "$out/squid.log"
log=$out/squid.log
types=$root/config/datatypes.dat

echo "=== parser -l $log -d $types -t squid -b oracle -a demo"
status=0
"$build/parser/parser" -l "$log" -d "$types" -t squid -b oracle -a demo || status=$?
if [ "$status" -ne 0 ]; then
  echo "parser failed with exit status $status; its run log:" >&2
  cat "$log.out" >&2 || true
  exit 1
fi

if [ "$have_zxsort" -eq 1 ]; then
  echo "=== zxsort -m 0 -v $log -d $types -l $log.out"
  status=0
  "$build/zxsort/zxsort" -m 0 -v "$log" -d "$types" -l "$log.out" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "zxsort failed with exit status $status; the run log:" >&2
    cat "$log.out" >&2 || true
    exit 1
  fi
else
  echo "=== zxsort is not part of this tree yet: hourly sorting skipped"
fi

echo "=== files produced in $out"
ls -l "$out"
show() {  # show FILE LINES
  [ -f "$1" ] || return 0
  echo "--- $(basename "$1") (first $2 lines)"
  head -n "$2" "$1" | tr -d '\r'
}
show "$log.csv" 5
show "$log.srt" 5
show "$log.zx3" 1
show "$log.ctl" 40
show "$log.out" 60
