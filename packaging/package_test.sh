#!/usr/bin/env bash
# The Debian package end to end, without changing this machine: built with
# cpack from the build tree; its contents and dependencies read with
# dpkg-deb (every library a program needs must be a dependency) and
# resolved with apt-get --simulate; installed with dpkg into a throwaway
# root; its programs run from there (--help, --version, man pages, bash
# completion, the demo's steps with the installed names and the shipped
# configuration, zxbatch finding both on its own); then removed and purged,
# which must leave nothing behind.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Programs whose --help another change brings; until then it may fail.
help_pending=""

echo "--- building the package"
(cd "$build" && cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }
deb=$(echo "$work"/pkg/*.deb)
[ -f "$deb" ] || { echo "no package in $work/pkg" >&2; exit 1; }
name=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "$name $version: Depends: $depends"

echo "--- contents"
dpkg-deb -c "$deb" >"$work/contents"
awk '$2 != "root/root" { found = 1 } END { exit !found }' "$work/contents" && fail "files not owned by root"
grep -q ' \./usr/local/' "$work/contents" && fail "files under /usr/local"
grep -q ' \./usr/bin/parser$' "$work/contents" && fail "'parser' is installed under its build name"
share=/usr/share/$name
for f in "$share/datatypes.dat" "$share/datatypes.dat.id" "$share/samples/squid.log" \
  "/usr/share/doc/$name/README.md" /usr/bin/zxparse /usr/bin/zxbatch; do
  grep -q " \.$f\( \|$\)" "$work/contents" || fail "$f is not in the package"
done

echo "--- dependencies"
dpkg-deb -x "$deb" "$work/unpacked"
has_dependency() { [[ ", $depends," == *", $1"[\ ,]* || ", $depends," == *"| $1"[\ ,]* ]]; }
for p in parallel rsync perl bash; do has_dependency "$p" || fail "no dependency on $p"; done
# The package of every shared library that an installed program loads.
for program in "$work"/unpacked/usr/bin/*; do
  readelf -h "$program" >/dev/null 2>&1 || continue
  for soname in $(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(/sbin/ldconfig -p | awk -v l="$soname" '$1 == l && !n++ { print $NF }')
    owner=$( (dpkg -S "$path" || dpkg -S "/usr$path" || dpkg -S "${path#/usr}") 2>/dev/null |
      sed -n '1s/:.*//p')
    [ -n "$owner" ] || { fail "${program##*/}: no package holds $soname"; continue; }
    has_dependency "$owner" || fail "${program##*/} loads $soname of $owner, not a dependency"
  done
done
apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 &&
  grep -q "^Inst $name " "$work/apt.log" ||
  { cat "$work/apt.log" >&2; fail "apt-get cannot resolve the dependencies"; }

echo "--- installing into a throwaway root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# Dependencies are this machine's, not the empty root's; path filters of
# minimal images (no man pages, no docs) do not apply to this test.
dpkg_root=(dpkg --root="$root" --force-not-root)
"${dpkg_root[@]}" --force-depends --path-include='/*' -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log" >&2; exit 1; }
bin=$root/usr/bin
share=$root$share

echo "--- --help, --version, man pages, completion"
programs=()
for program in "$bin"/*; do programs+=("${program##*/}"); done
echo "installed: ${programs[*]}"
for p in "${programs[@]}"; do
  out=$("$bin/$p" --version) || fail "$p --version exits with $?"
  [ "$out" = "$p ($name) $version" ] || fail "$p --version says '$out'"
  "$bin/$p" --version >/dev/full 2>/dev/null && fail "$p --version reports success on a full device"
  if out=$("$bin/$p" --help 2>/dev/null); then
    [[ $out == usage:* ]] || fail "$p --help does not start with its usage"
    grep -qi "exit status" <<<"$out" || fail "$p --help lists no exit statuses"
  elif [[ $help_pending != *" $p "* ]]; then
    fail "$p --help fails"
  fi
  page=$root/usr/share/man/man1/$p.1.gz
  if [ ! -f "$page" ]; then
    fail "$p has no man page"
  else
    MANWIDTH=80 man --warnings -l -P cat "$page" >"$work/page" 2>"$work/page.err" ||
      fail "man -l $p.1.gz fails"
    [ -s "$work/page.err" ] && { cat "$work/page.err" >&2; fail "man warns about $p.1"; }
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
      grep -qx "$section" "$work/page" || fail "$p.1 has no $section section"
    done
    [ "$(MANPATH=$root/usr/share/man man -w "$p")" = "$page" ] || fail "man $p does not find its page"
  fi
  [ -e "$root/usr/share/bash-completion/completions/$p" ] || fail "$p has no bash completion"
done

# complete LINE: what bash completion offers at the end of LINE, sorted
# and on one line (words split at blanks and colons, as bash splits them).
complete_line() {
  PATH=$bin:$PATH bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$2/$3"
    compopt() { :; }  # a builtin only for a completion that bash started
    COMP_LINE=$1 COMP_POINT=${#1}
    read -r -a COMP_WORDS <<<"${1//:/ : }"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    "$(complete -p "$3" | sed "s/.*-F \([^ ]*\) .*/\1/")" "$3" "$cur" "$prev"
    printf "%s\n" "${COMPREPLY[@]}" | sort -u | paste -sd " "' \
    _ "$1" "$root/usr/share/bash-completion/completions" "${1%% *}"
}
check_completion() {  # LINE EXPECTED
  local got
  got=$(cd "$work/empty" && complete_line "$1")
  [ "$got" = "$2" ] || fail "completing '$1' offers '$got', not '$2'"
}
if [ -r /usr/share/bash-completion/bash_completion ]; then
  mkdir "$work/empty"
  check_completion "zxparse -b " "mssql oracle sybase"
  check_completion "zxparse -log x -t com" "combined common"
  check_completion "zxparse -d " "$share/datatypes.dat $share/smartfilter_datatypes.dat $share/streaming_datatypes.dat"
  check_completion "zxsort -m 1 -d $share/datatypes.dat -b1 bytec" "bytecount:"
  check_completion "zxsort -m 1 -b2 bytecount:1" "10 11 12 13"
  check_completion "zxload --kind " "mssql none oracle sybase"
  check_completion "zxload --ver" "--version"
  check_completion "zxbatch --load sq" "sqlite:"
  check_completion "zxbatch --sha" "--shared"
  check_completion "zxparse -f ngi" "nginx-conf: nginx:combined nginx:main"
  check_completion "zxbatch --log-f" "--log-format"
else
  fail "bash-completion is not installed (Debian package bash-completion)"
fi

echo "--- the demo's steps with the installed programs"
demo=$work/demo
mkdir "$demo"
types=$share/datatypes.dat
for entry in squid.log:squid w3c.log: common.log:common combined.log:combined nginx.log:combined; do
  log=$demo/${entry%%:*} format=${entry#*:}
  cp "$share/samples/${entry%%:*}" "$log"
  args=(-l "$log" -d "$types" -b oracle -a demo)
  [ -n "$format" ] && args+=(-t "$format")
  "$bin/zxparse" "${args[@]}" || fail "zxparse ${args[*]} exits with $?"
  "$bin/zxsort" -m 0 -v "$log" -d "$types" -l "$log.out" || fail "zxsort hourly of $log exits with $?"
  "$bin/zxsort" -m 1 -i 15 -v "$log" -d "$types" -l "$log.out" \
    -b1 bytecount:13 -b2 bytecount:12 -b3 refcount:13 || fail "zxsort billing of $log exits with $?"
done
"$bin/zxload" -k oracle -d "$types" -s "$demo/demo.db" "$demo"/*.srt "$demo"/*.bsrt >/dev/null ||
  fail "zxload exits with $?"
loaded=$(sqlite3 "$demo/demo.db" "SELECT count(*) FROM zxload_files WHERE row_count > 0")
[ "$loaded" = 10 ] || fail "zxload recorded $loaded files with rows, not 10"

echo "--- zxbatch on its own: programs beside it, the shipped data types"
mkdir "$work/logs"
cp "$share/samples/w3c.log" "$work/logs/"
(unset PARSER ZXSORT ZXLOAD
  PATH=/usr/bin:/bin "$bin/zxbatch" -b oracle -a demo -o "$work/batch" \
    --load "sqlite:$work/batch.db" "$work/logs") >"$work/zxbatch.log" 2>&1 ||
  { cat "$work/zxbatch.log" >&2; fail "zxbatch exits with $?"; }
cmp -s "$work/batch/w3c.log.csv" "$demo/w3c.log.csv" ||
  fail "zxbatch's data file differs from zxparse's with the shipped data types"
[ "$(sqlite3 "$work/batch.db" "SELECT count(*) FROM zxload_files")" = 1 ] ||
  fail "zxbatch did not load w3c.log.srt"

echo "--- removing and purging"
"${dpkg_root[@]}" -r "$name" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r fails"; }
[ -e "$bin/zxparse" ] && fail "zxparse is left after dpkg -r"
"${dpkg_root[@]}" --purge "$name" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg --purge fails"; }
left=$(find "$root" -mindepth 1 ! -path "$root/var" ! -path "$root/var/lib" ! -path "$root/var/lib/dpkg*")
[ -z "$left" ] || fail "left after purging: $left"
"${dpkg_root[@]}" -s "$name" >/dev/null 2>&1 && fail "dpkg still lists $name"

[ "$failures" -eq 0 ] && echo "package test: all checks passed"
[ "$failures" -eq 0 ]
