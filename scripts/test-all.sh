#!/usr/bin/env bash
# Runs every test of KWUNINST: the native unit and contract tests (under
# AddressSanitizer and UBSan), the fuzz targets for a short time, the two
# Windows builds, and the contract and end-to-end tests of the real program
# under Wine: the shipped 32-bit build in a 32-bit Windows machine, the
# 64-bit build in a 64-bit one.  On a machine that runs no 32-bit programs
# the 32-bit Wine tests are skipped, and the closing lines say which and
# why.  Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
# Every process this run starts inherits the mark, so the check at the end
# finds this run's Wine servers and displays, not those of other runs on
# the same machine.
export KW_TEST_RUN="test-all-$$"

bash scripts/ensure-packages.sh
source scripts/wine.sh
kw_wine_probe

step() { printf '\n=== %s  (at %d s)\n' "$*" $((SECONDS - started)); }

# The unit and contract tests on the simulated machine, built once, with
# AddressSanitizer and UBSan: the plain `native` build runs the same tests
# and would only add its build time.
step "native, with AddressSanitizer and UBSan: unit and contract tests"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan

step "fuzz: every target for a short, fixed time (longer: scripts/fuzz.sh --seconds N)"
bash scripts/fuzz.sh --seconds 6

# Each Windows architecture: the program and its tools (-win32 compilers),
# then the test programs (-posix compilers) that run them under Wine.
for arch in x86 x64; do
  step "windows-$arch: the program and the tools"
  cmake --preset "windows-$arch" >/dev/null
  cmake --build --preset "windows-$arch"
  step "windows-$arch-tests: contract and end-to-end tests under Wine"
  cmake --preset "windows-$arch-tests" >/dev/null
  cmake --build --preset "windows-$arch-tests"
  # Kept, for the skipped tests' names at the end.
  ctest --preset "windows-$arch-tests" | tee "build/windows-$arch-tests/ctest-output.txt"
done

# Every Wine run stops its own wineserver and display; make sure of it.
# Ended processes that nobody has reaped yet (state Z) are not running.
ours=$(grep -lsxz "KW_TEST_RUN=$KW_TEST_RUN" /proc/[0-9]*/environ | cut -d/ -f3 | paste -sd, || true)
left=""
if [ -n "$ours" ]; then
  # Some of the marked processes (this script's own pipelines) have ended
  # by now, and ps says so with its exit code.
  left=$( (ps -o stat=,pid=,args= -p "$ours" || true) | awk '$1 !~ /^Z/ && ($3 ~ /wineserver/ || $3 ~ /Xvfb/)')
fi
if [ -n "$left" ]; then
  echo "still running after the tests:"
  echo "$left"
  exit 1
fi

# The measures: non-blank lines of C/C++, CMake and shell of the program,
# of its tests, and of the equipment around it (the simulated machine, the
# tools, the benchmarks); the test share is tests/ over everything else,
# the scripts and build files too.
counted() { git ls-files | grep -E '(\.(c|cc|cpp|h|hpp|sh|cmake)|(^|/)CMakeLists\.txt)$'; }
non_blank() { xargs -r cat | grep -cv '^[[:space:]]*$' || true; }
program_lines=$(counted | grep -E '^(app|components|platform|resources)/' | grep -v '^platform/sim/' | non_blank)
test_lines=$(counted | grep -E '^tests/' | non_blank)
equipment_lines=$(counted | grep -E '^(platform/sim|tools|bench)/' | non_blank)
code_lines=$(counted | grep -vE '^tests/' | non_blank)
elapsed=$((SECONDS - started))

# CTest's summary names each test it skipped ("  2 - e2e (Skipped)"); the
# test's own output, which CTest keeps in its LastTest.log, says why in a
# line that begins "SKIPPED: ".  Tests are skipped for more reasons than one
# (no 32-bit programs here; Wine's own DLLs needing the C runtime DLL).
skip_reason() {
  awk -v name="$2" '
    $2 == "Testing:" && $3 == name { inside = 1; next }
    inside && /^SKIPPED: / { print substr($0, 10); exit }
    inside && index($0, "\"" name "\" end time:") == 1 { exit }' "$1/Testing/Temporary/LastTest.log"
}
skipped=$(for arch in x86 x64; do
  dir=build/windows-$arch-tests
  sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$dir/ctest-output.txt" | while read -r name; do
    why=$(skip_reason "$dir" "$name")
    echo "  $name of windows-$arch-tests: ${why:-no reason found in its output}"
  done
done)
step "all tests passed${skipped:+, but for those skipped (below)}"
echo "lines: the program $program_lines, its tests $test_lines, the equipment (platform/sim, tools, bench) $equipment_lines"
echo "test code: $test_lines lines under tests/, $((test_lines * 100 / code_lines))% of the $code_lines lines of the rest"
if [ -n "$skipped" ]; then
  echo "skipped, not passed:"
  echo "$skipped"
else
  echo "skipped: none ($KW_WINE32_WHY)"
fi
printf 'elapsed: %d min %02d s\n' $((elapsed / 60)) $((elapsed % 60))
