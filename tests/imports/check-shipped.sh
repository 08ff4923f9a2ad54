#!/bin/sh
# Fails when the program as shipped is too big or needs a DLL that Windows
# does not bring: it is a single file, linked statically and stripped, of at
# most <max bytes>, importing only from the Windows system DLLs and the C
# runtime MSVCRT.DLL.  Prints its size either way.
#
# Usage: check-shipped.sh <objdump> <KWUNINST.EXE> <max bytes>
set -u
objdump=$1
program=$2
max=$3

size=$(wc -c <"$program") || { echo "cannot read $program"; exit 1; }
dlls=$("$objdump" -p "$program" | awk '/DLL Name:/ { print toupper($3) }' | sort -u)
[ -n "$dlls" ] || { echo "no imports found in $program"; exit 1; }
failed=0

echo "$(basename "$program"): $size bytes ($((size / 1024)) KB), at most $max; imports from" $dlls
if [ "$size" -gt "$max" ]; then
  echo "too big: $((size - max)) bytes over"
  failed=1
fi
others=$(printf '%s\n' "$dlls" | grep -vxE 'KERNEL32\.DLL|USER32\.DLL|GDI32\.DLL|ADVAPI32\.DLL|MSVCRT\.DLL')
if [ -n "$others" ]; then
  echo "imports from DLLs that Windows does not bring:" $others
  failed=1
fi
exit $failed
