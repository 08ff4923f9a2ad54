#!/bin/sh
# Fails when the shipped program would not load on Windows 95 or NT 4.0: the
# loader there refuses a program that imports a function its DLLs do not
# export, or whose header asks for a later Windows.  Reads the import table
# and the PE header with objdump and compares them with the allowlist.
#
# Usage: check-imports.sh <objdump> <KWUNINST.EXE> <allowlist>
set -u
objdump=$1
program=$2
allowlist=$3

dump=$("$objdump" -p "$program") || { echo "cannot read $program"; exit 1; }
failed=0

for field in MajorOSystemVersion=4 MinorOSystemVersion=0 MajorSubsystemVersion=4 MinorSubsystemVersion=0; do
  name=${field%=*}
  wanted=${field#*=}
  found=$(printf '%s\n' "$dump" | awk -v name="$name" '$1 == name { print $2 }')
  if [ "$found" != "$wanted" ]; then
    echo "header: $name is ${found:-missing}, must be $wanted"
    failed=1
  fi
done

# "DLL function" per import, the DLL upper-cased without .dll.  An import by
# ordinal has no name here and so matches no entry.
imports=$(printf '%s\n' "$dump" | awk '
  /^The Import Tables/ { inside = 1; next }
  /^[A-Z]/             { inside = 0 }
  inside && /DLL Name:/ { dll = toupper($3); sub(/\.DLL$/, "", dll); next }
  inside && dll != "" && /^\t[0-9a-f]+\t/ { print dll, $NF }' | sort -u)
if [ -z "$imports" ]; then
  echo "no imports found in $program"
  exit 1
fi

# Every entry names where it was checked; one without is not an entry.
allowed=$(awk '!/^#/ && NF >= 3 { print toupper($1), $2 }' "$allowlist" | sort -u)
unsourced=$(awk '!/^#/ && NF > 0 && NF < 3' "$allowlist")
if [ -n "$unsourced" ]; then
  printf 'allowlist entries without the reference they were checked in:\n%s\n' "$unsourced"
  failed=1
fi

outside=$(printf '%s\n' "$imports" | grep -vxF "$allowed")
if [ -n "$outside" ]; then
  printf 'imports that Windows 95 or NT 4.0 may lack (not in %s):\n%s\n' "$allowlist" "$outside"
  failed=1
fi

count=$(printf '%s\n' "$imports" | wc -l)
[ $failed -eq 0 ] && echo "$count imports, all on the Windows 95 and NT 4.0 allowlist; header asks for Windows 4.0"
exit $failed
