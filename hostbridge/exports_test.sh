#!/usr/bin/env bash
# Checks the export table of HostBridge.dll: the four native methods under
# their decorated stdcall names and their plain names, and nothing else.
# Usage: exports_test.sh HOSTBRIDGE-DLL
set -euo pipefail
prefix=Java_com_vantal_zentrix_util_beans_HostBridge_
expected=$(printf '%s\n' \
  "_${prefix}GetGroupList@24" "_${prefix}listRoots@8" \
  "_${prefix}execBCP@12" "_${prefix}getSystemInfo@8" \
  "${prefix}GetGroupList" "${prefix}listRoots" \
  "${prefix}execBCP" "${prefix}getSystemInfo" | sort)
# Lines of the export name table: "[ordinal] name".
actual=$(i686-w64-mingw32-objdump -p "$1" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
if [ "$actual" != "$expected" ]; then
  echo "unexpected exports:"; diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "exports as expected"
