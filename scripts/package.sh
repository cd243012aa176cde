#!/usr/bin/env bash
# Builds the Debian package of the Linux programs (Release build in
# build/package, BUILD_DIR overrides build/) and prints its path:
# build/package/accesslog-tools_VERSION_ARCH.deb. Installs missing build
# packages first (Debian, as root or with sudo). Install the result with
# `apt install ./build/package/accesslog-tools_*.deb`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" package

build=${BUILD_DIR:-$root/build}/package
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target packaged
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(echo "$build"/*.deb)
dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Depends\):/\1:/p'
echo "$deb"
