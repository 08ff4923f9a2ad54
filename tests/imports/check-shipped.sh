#!/bin/sh
# Fails when the program as shipped is too big or needs a DLL that Windows
# does not bring: it is a single file, linked statically and stripped, of at
# most <max bytes>, importing only from the Windows system DLLs and the C
# runtime MSVCRT.DLL.  Prints its size either way.  Fails too without its
# manifest asking for administrator rights (resource type 24, id 1), or
# without a version record naming its maker, for 32-bit Windows (FILEOS 4).
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
manifest=$("$objdump" -p "$program" | awk '/^[0-9a-f]+   Entry:/ { type = $4 } type == "0x000018," && /     Entry: ID: 0x000001,/')
fileos=$(od -An -v -tx1 "$program" | tr -s ' \n' ' ' | grep -o 'bd 04 ef fe\( ..\)\{32\}' | awk '{ print $33 $34 $35 $36 }')
if [ -z "$manifest" ] || ! grep -aq 'level="requireAdministrator"' "$program" || [ "$fileos" != 04000000 ] ||
  ! strings -el "$program" | grep -qx 'Halvern Software Systems, Inc.'; then
  echo "no manifest asking for administrator rights, or a version record without the maker or for NT alone"
  failed=1
fi
exit $failed
