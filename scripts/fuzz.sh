#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer with ASan and UBSan, on the
# simulated machine) and runs each for a fixed time.  Every run first replays
# the target's checked-in seeds and past crashes (tests/fuzz/corpus/<target>/),
# then searches on from the corpus it grew before (build/fuzz/corpus/).
#
#   scripts/fuzz.sh [--seconds N] [target...]    N seconds per target (10)
#
# A crash stops the script; the input is saved in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/*_fuzz.cc; do targets+=("$(basename "$source" _fuzz.cc)"); done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
mkdir -p "$out/artifacts"
for target in "${targets[@]}"; do
  program="$out/tests/fuzz/fuzz_$target"
  mkdir -p "$out/corpus/$target"
  log="$out/fuzz_$target.log"
  # -timeout: the code runs in virtual time, so a second is already a hang.
  if ! "$program" -max_total_time="$seconds" -timeout=5 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$target-" \
      "$out/corpus/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E 'invariant broken|ERROR: |SUMMARY: |Test unit written|^Running: ' "$log" || tail -n 30 "$log"
    echo "fuzz_$target failed (log: $log).  Replay: $program <input from $out/artifacts/>;"
    echo "once fixed, add the input to tests/fuzz/corpus/$target/."
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: $runs inputs in $seconds s, no fault"
done
