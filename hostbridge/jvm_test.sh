#!/usr/bin/env bash
# Runs the library in a real virtual machine under -Xcheck:jni. PAM and the
# user database are answered by the pam_wrapper and nss_wrapper libraries
# from files in a scratch directory; the machine's accounts are never used.
# Usage: jvm_test.sh LIBRARY CHILD-PROGRAM JAVA-SOURCE-DIR
set -euo pipefail
library=$(realpath "$1")
child=$(realpath "$2")
sources=$3

wrappers=/usr/lib/x86_64-linux-gnu
pam_matrix=$wrappers/pam_wrapper/pam_matrix.so
for f in "$wrappers/libpam_wrapper.so" "$wrappers/libnss_wrapper.so" "$pam_matrix"; do
  [ -e "$f" ] || { echo "missing $f (packages libpam-wrapper, libnss-wrapper)"; exit 1; }
done

work=$(mktemp -d /tmp/hostbridge-jvm.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/classes" "$work/lib" "$work/pam" "$work/run"
cp "$library" "$work/lib/libHostBridge.so"
cp "$child" "$work/run/zxchild"

user=zxuser
password='s3cret w'$'\xc3\xb6''rd'
groups='zxusers,zxadmins,gr'$'\xc3\xbc''ppe'

# pam_matrix: user:password:service; "ghost" passes PAM but has no account.
printf '%s:%s:zxtest\nghost:boo:zxtest\n' "$user" "$password" > "$work/passdb"
for type in auth account; do
  printf '%s required %s passdb=%s\n' "$type" "$pam_matrix" "$work/passdb"
done > "$work/pam/zxtest"
# The fallback service, which pam_wrapper wants to find; it admits nobody
# because the passdb entries name the service "zxtest".
cp "$work/pam/zxtest" "$work/pam/other"
printf '%s:x:4711:4711:Test user:/nonexistent:/bin/false\n' "$user" > "$work/passwd"
printf 'zxusers:x:4711:\nzxadmins:x:4712:%s\ngr\xc3\xbcppe:x:4713:other,%s\nzxothers:x:4714:other\n' \
  "$user" "$user" > "$work/group"

javac -encoding UTF-8 -d "$work/classes" \
  "$sources/com/vantal/zentrix/util/beans/HostBridge.java" \
  "$sources/com/vantal/zentrix/util/beans/HostBridgeTest.java"

run_java() {  # run_java OUT ERR ARGS...
  local out=$1 err=$2; shift 2
  (cd "$work/run" &&
   env LD_PRELOAD="$wrappers/libpam_wrapper.so:$wrappers/libnss_wrapper.so" \
     PAM_WRAPPER=1 PAM_WRAPPER_SERVICE_DIR="$work/pam" \
     NSS_WRAPPER_PASSWD="$work/passwd" NSS_WRAPPER_GROUP="$work/group" \
     HOSTBRIDGE_PAM_SERVICE=zxtest LC_ALL=C.UTF-8 \
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
grep -aq '^Entries enumerated: 3$' "$work/all.out" || fail "enumerated count"
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
