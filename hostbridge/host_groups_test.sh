#!/usr/bin/env bash
# Runs the group-list tests of the POSIX host against the test accounts of
# test_accounts.sh, with PAM and NSS answered by the wrapper libraries.
# Usage: host_groups_test.sh HOST-TEST-PROGRAM CHILD-PROGRAM
set -euo pipefail
program=$(realpath "$1")
child=$(realpath "$2")
source "$(dirname "$0")/test_accounts.sh"

work=$(mktemp -d /tmp/hostbridge-groups.XXXXXX)
trap 'rm -rf "$work"' EXIT
make_test_accounts "$work"

# A sanitizer build needs its runtime ahead of the wrappers, and the
# wrappers' deep binding off.
extra=()
asan=$(ldd "$program" | awk '/libasan/ {print $3}')
if [ -n "$asan" ]; then
  for i in "${!wrapper_env[@]}"; do
    [[ ${wrapper_env[$i]} == LD_PRELOAD=* ]] &&
      wrapper_env[$i]="LD_PRELOAD=$asan:${wrapper_env[$i]#LD_PRELOAD=}"
  done
  extra=(PAM_WRAPPER_DISABLE_DEEPBIND=1 NSS_WRAPPER_DISABLE_DEEPBIND=1)
fi

env "${wrapper_env[@]}" "${extra[@]}" \
  HOSTBRIDGE_TEST_USER="$test_user" HOSTBRIDGE_TEST_PASSWORD="$test_password" \
  HOSTBRIDGE_TEST_GROUPS="$test_groups" \
  "$program" --gtest_filter='GroupListTest.*' "$child" > "$work/out" 2>&1 ||
  { cat "$work/out"; exit 1; }
# Skipped tests would pass silently: all four must have run.
grep -q '^\[  PASSED  \] 4 tests' "$work/out" || { cat "$work/out"; exit 1; }
grep -aqF "$test_password" "$work/out" && { echo "password was printed"; exit 1; }
echo "group-list tests passed"
