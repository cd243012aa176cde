#!/usr/bin/env bash
# Checks that every delivered Windows program and library is of the
# build's machine type, e.g. "pei-i386" or "pei-x86-64".
# Usage: pe_type_test.sh OBJDUMP FORMAT FILE...
set -uo pipefail
objdump=$1 format=$2
shift 2
failed=0
for file in "$@"; do
  actual=$("$objdump" -f "$file" | sed -n 's/.*file format //p')
  if [ "$actual" != "$format" ]; then
    echo "FAILED $(basename "$file"): file format '$actual', expected '$format'"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "$# files of format $format"
exit "$failed"
