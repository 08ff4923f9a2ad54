#!/usr/bin/env bash
# Runs every test of KWUNINST: the native unit and contract tests (also under
# AddressSanitizer and UBSan), the Windows builds, and the contract and
# end-to-end tests of the real program under Wine.  Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/ensure-packages.sh

step() { printf '\n=== %s\n' "$*"; }

step "native: build and run the unit and contract tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

step "native with AddressSanitizer and UBSan"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan

step "fuzz: every target for a short, fixed time (longer: scripts/fuzz.sh --seconds N)"
bash scripts/fuzz.sh

step "windows-x86: must compile and link (it cannot run here)"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86

step "windows-x64: build, then the contract and end-to-end tests under Wine"
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64
ctest --preset windows-x64

# Every Wine run stops its own wineserver and display; make sure of it.
# Ended processes that nobody has reaped yet (state Z) are not running.
left=$(ps -eo stat=,pid=,args= | awk '$1 !~ /^Z/ && ($3 ~ /wineserver/ || $3 ~ /Xvfb/)')
if [ -n "$left" ]; then
  echo "still running after the tests:"
  echo "$left"
  exit 1
fi
step "all tests passed"
