#!/usr/bin/env bash
# Checks the export table of HostBridge.dll: on 32-bit the four native
# methods under their decorated stdcall names and their plain names, on
# 64-bit under their plain names only; nothing else either way.
# Usage: exports_test.sh OBJDUMP HOSTBRIDGE-DLL 32|64
set -euo pipefail
objdump=$1 dll=$2 bits=$3
prefix=Java_com_vantal_zentrix_util_beans_HostBridge_
names=("${prefix}GetGroupList" "${prefix}listRoots" "${prefix}execBCP"
  "${prefix}getSystemInfo")
if [ "$bits" = 32 ]; then
  names+=("_${prefix}GetGroupList@24" "_${prefix}listRoots@8"
    "_${prefix}execBCP@12" "_${prefix}getSystemInfo@8")
fi
expected=$(printf '%s\n' "${names[@]}" | sort)
# Lines of the export name table: "[ordinal] name".
actual=$("$objdump" -p "$dll" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
if [ "$actual" != "$expected" ]; then
  echo "unexpected exports:"; diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "exports as expected"
