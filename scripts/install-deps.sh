#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping what is
# already there. Usage: install-deps.sh [demo|package|all]
set -euo pipefail
what=${1:-all}

demo_packages=(cmake ninja-build g++ zlib1g-dev libisal-dev libsimdjson-dev libsqlite3-dev sqlite3 scdoc)
# The Debian package: dpkg-shlibdeps (dpkg-dev) and file for cpack.
package_packages=("${demo_packages[@]}" libpq-dev dpkg-dev file)
test_packages=("${package_packages[@]}" man-db bash-completion libgtest-dev libgmock-dev googletest
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine64 wine32:i386 openjdk-17-jdk-headless libpam0g-dev
  libpam-wrapper libnss-wrapper libpq-dev postgresql time tzdata parallel rsync
  clang libclang-rt-14-dev chromium python3)

case $what in
  demo) packages=("${demo_packages[@]}") ;;
  package) packages=("${package_packages[@]}") ;;
  *) packages=("${test_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
for p in "${missing[@]}"; do
  if [[ "$p" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
done
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then: try again, and if it
# keeps failing go on with the indexes that did arrive; the install below says
# plainly if something it needs is then missing.
for attempt in 1 2 3; do
  "${sudo_cmd[@]}" apt-get update -q && break
  echo "install-deps: apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" -lt 3 ] && sleep 15
done
"${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}" && exit 0
# The 32-bit packages only serve the 32-bit Wine tests, which the test command
# skips, saying why, where 32-bit Wine cannot start. A mirror whose i386 index
# lags its amd64 one makes them uninstallable: install the rest without them.
native=()
for p in "${missing[@]}"; do [[ "$p" == *:i386 ]] || native+=("$p"); done
[ ${#native[@]} -lt ${#missing[@]} ] || exit 1
echo "install-deps: installing without the 32-bit packages; the 32-bit Wine tests will be skipped" >&2
"${sudo_cmd[@]}" apt-get install -y -q "${native[@]}"
