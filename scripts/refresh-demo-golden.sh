#!/usr/bin/env bash
# Makes the data of the demo report's golden test (tests/demo/golden.cmake)
# anew from a demo run kept with --keep:
#
#   bash scripts/demo.sh --cancel --keep
#   bash scripts/refresh-demo-golden.sh /tmp/kw-demo.XXXXXX
#
# Copies what the report reads into run/, trims the registry pictures to the
# keys the report looks at (Wine's own keys are thousands of lines), checks
# that the report on the trimmed pictures is the report on the whole ones,
# derives the faulty pictures of faults/, and writes the expected texts.
# Read them before committing: they are what the test holds the report to.
set -euo pipefail
[ $# -eq 1 ] && [ -f "$1/transcript.txt" ] || { sed -n '2,11s/^# \?//p' "$0" >&2; exit 2; }
work=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null && cmake --build --preset native --target demo_report >/dev/null
report=$PWD/build/native/tools/demo/demo_report
cd tests/demo

rm -rf run && mkdir run
for name in transcript.txt uninst-trace.txt product-trace.txt scenario.txt \
            KWUNINST.LOG {before,after}-{files.txt,dosstart.bat,restart.txt}; do
  cp "$work/$name" run/
done
# The keys that changed and those the footprint installs, with those above
# and below them.
export KEYS=$( { sort "$work"/{before,after}-registry.txt | uniq -u | cut -f2
                 sed -n 's/^KW_\(KEY\|VALUE\|NEIGHBOUR_VALUE\)("\([^"]*\)", "\([^"]*\)".*/\2\\\3/p' \
                   ../support/footprint.def | sed 's/\\\\/\\/g'
               } | tr a-z A-Z | sort -u)
for phase in before after; do
  awk -F '\t' 'BEGIN { n = split(ENVIRON["KEYS"], keys, "\n") }
    { key = toupper($2)
      for (i = 1; i <= n; i++)
        if (key == keys[i] || index(key, keys[i] "\\") == 1 || index(keys[i], key "\\") == 1) { print; next } }
  ' "$work/$phase-registry.txt" >"run/$phase-registry.txt"
done
"$report" --report run >expected-report.txt
"$report" --report "$work" | cmp -s - expected-report.txt || { echo "refresh-demo-golden.sh: trim less" >&2; exit 1; }
"$report" --live <run/transcript.txt >expected-live.txt

# A neighbour's file and value removed, a product file kept, a new file.
{ grep -vxF 'C:\My Documents\Letter to Anna.txt' run/after-files.txt
  printf '%s\n' 'C:\K-WARD\README.TXT' 'C:\NEW.TXT'; } | LC_ALL=C sort >faults/after-files.txt
grep -vF "$(printf 'V\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\tK-Backup\t')" \
  run/after-registry.txt >faults/after-registry.txt
faulty=$(mktemp -d) && cp run/* "$faulty" && cp faults/* "$faulty"
"$report" --report "$faulty" >expected-faults-report.txt && rm -r "$faulty"
"$report" --live <reader-cases.txt >expected-reader-live.txt
