#!/usr/bin/env bash
# Runs the library in a real virtual machine under -Xcheck:jni. PAM and the
# user database are answered by the pam_wrapper and nss_wrapper libraries
# from files in a scratch directory; the machine's accounts are never used.
# Usage: jvm_test.sh LIBRARY CHILD-PROGRAM JAVA-SOURCE-DIR
set -euo pipefail
library=$(realpath "$1")
child=$(realpath "$2")
sources=$3

source "$(dirname "$0")/test_accounts.sh"

work=$(mktemp -d /tmp/hostbridge-jvm.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/classes" "$work/lib" "$work/run"
cp "$library" "$work/lib/libHostBridge.so"
cp "$child" "$work/run/zxchild"

make_test_accounts "$work"
user=$test_user
password=$test_password
groups=$test_groups
group_count=$(tr ',' '\n' <<<"$groups" | wc -l)

javac -encoding UTF-8 -d "$work/classes" \
  "$sources/com/vantal/zentrix/util/beans/HostBridge.java" \
  "$sources/com/vantal/zentrix/util/beans/HostBridgeTest.java"

run_java() {  # run_java OUT ERR ARGS...
  local out=$1 err=$2; shift 2
  (cd "$work/run" &&
   env "${wrapper_env[@]}" LC_ALL=C.UTF-8 \
     java -Xcheck:jni -Dfile.encoding=UTF-8 -Djava.library.path="$work/lib" \
       -cp "$work/classes" com.vantal.zentrix.util.beans.HostBridgeTest "$@" \
     >"$out" 2>"$err")
}

status=0
fail() { echo "FAILED: $*"; status=1; }

# A refused logon writes nothing at all.
if ! run_java "$work/wrong.out" "$work/wrong.err" wrong-password "$user" "${password}x"; then
  fail "wrong-password run"; cat "$work/wrong.out" "$work/wrong.err"
fi
[ -s "$work/wrong.out" ] && fail "refused logon wrote to standard output: $(cat "$work/wrong.out")"
[ -s "$work/wrong.err" ] && fail "refused logon wrote to standard error: $(cat "$work/wrong.err")"

if ! run_java "$work/all.out" "$work/all.err" all "$child" "$user" "$password" "$groups"; then
  fail "checks in the virtual machine"
fi
grep -a -v -e '^Global group(s):$' -e '^$' "$work/all.err" || true

# Console lines of the group listing, and the password nowhere.
grep -aq $'\t -- zxusers\t -- zxadmins\t -- gr\xc3\xbcppe' "$work/all.out" ||
  fail "group names on standard output"
grep -aq "^Entries enumerated: $group_count\$" "$work/all.out" || fail "enumerated count"
grep -aq '^Global group(s):$' "$work/all.err" || fail "group heading on standard error"
grep -aq '^A system error has occurred: 2$' "$work/all.err" ||
  fail "error code for a user without an account"
grep -aqF "$password" "$work/all.out" "$work/all.err" && fail "password was printed"
# execBCP echoes each argument followed by one blank.
grep -aqF "$child $work/run/record.txt 7 a b  q\"x tr\\ gr"$'\xc3\xbc'"n "$'\xe2\x82\xac'" " "$work/all.out" ||
  fail "arguments echoed on standard output"
grep -aq 'WARNING' "$work/all.out" "$work/all.err" && fail "JNI check warnings"

[ $status -eq 0 ] && echo "all virtual-machine checks passed"
exit $status
