#!/bin/sh
# Fails when the program as shipped is too big or needs a DLL that the first
# release of Windows 95 does not bring: it is a single file, linked
# statically and stripped, of at most <max bytes>, importing only from
# KERNEL32.DLL, USER32.DLL and ADVAPI32.DLL, with no C runtime DLL of any
# name.  Prints its size either way.  Fails too when its entry point lies
# outside its code (a linker that lost the entry point leaves 0 there);
# when a resource went missing: the status dialog (102), the icon (128), the
# string table, the manifest asking for administrator rights (resource type
# 24, id 1), the version record naming its maker, for 32-bit Windows
# (FILEOS 4).
#
# Usage: check-shipped.sh <objdump> <KWUNINST.EXE> <max bytes>
set -u
objdump=$1
program=$2
max=$3

size=$(wc -c <"$program") || { echo "cannot read $program"; exit 1; }
header=$("$objdump" -p "$program") || { echo "cannot read $program"; exit 1; }
dlls=$(printf '%s\n' "$header" | awk '/DLL Name:/ { print toupper($3) }' | sort -u)
[ -n "$dlls" ] || { echo "no imports found in $program"; exit 1; }
failed=0

echo "$(basename "$program"): $size bytes ($((size / 1024)) KB), at most $max; imports from" $dlls
if [ "$size" -gt "$max" ]; then
  echo "too big: $((size - max)) bytes over"
  failed=1
fi
others=$(printf '%s\n' "$dlls" | grep -vxE 'KERNEL32\.DLL|USER32\.DLL|ADVAPI32\.DLL')
if [ -n "$others" ]; then
  echo "imports from DLLs other than KERNEL32, USER32 and ADVAPI32:" $others
  failed=1
fi
entry=$(printf '%s\n' "$header" | awk '$1 == "AddressOfEntryPoint" { print $2 }')
code_start=$(printf '%s\n' "$header" | awk '$1 == "BaseOfCode" { print $2 }')
code_size=$(printf '%s\n' "$header" | awk '$1 == "SizeOfCode" { print $2 }')
if [ -z "$entry" ] || [ $((0x$entry)) -lt $((0x$code_start)) ] ||
  [ $((0x$entry)) -ge $((0x$code_start + 0x$code_size)) ]; then
  echo "entry point ${entry:-missing} outside the code ($code_start, $code_size bytes)"
  failed=1
fi
# Whether the resources hold one of that type and id, both as objdump
# writes them (0x0000NN).
has_resource() {
  printf '%s\n' "$header" | awk -v type="$1," -v id="$2," '
    /^[0-9a-f]+   Entry:/ { current = $4 }
    current == type && /^[0-9a-f]+     Entry:/ && $4 == id { found = 1 }
    END { exit !found }'
}
for resource in "0x000005 0x000066 status dialog" "0x00000e 0x000080 icon" \
  "0x000006 0x000001 string table" "0x000010 0x000001 version record" "0x000018 0x000001 manifest"; do
  set -- $resource
  type=$1 id=$2
  shift 2
  if ! has_resource "$type" "$id"; then
    echo "no $* among the resources"
    failed=1
  fi
done
fileos=$(od -An -v -tx1 "$program" | tr -s ' \n' ' ' | grep -o 'bd 04 ef fe\( ..\)\{32\}' | awk '{ print $33 $34 $35 $36 }')
if ! grep -aq 'level="requireAdministrator"' "$program" || [ "$fileos" != 04000000 ] ||
  ! strings -el "$program" | grep -qx 'Halvern Software Systems, Inc.'; then
  echo "a manifest not asking for administrator rights, or a version record without the maker or for NT alone"
  failed=1
fi
exit $failed
