#!/usr/bin/env bash
# Runs the fuzz targets the fuzz preset builds, each for SECONDS (60 unless
# given), as many at a time as there are cores. Each starts from its seeds
# and past findings in tests/fuzz and from what earlier runs added to
# build/fuzz/corpus/NAME. An input that breaks a target is saved as
# build/fuzz/findings/NAME-crash-... (the log is build/fuzz/NAME.log) and the
# run fails; keep it in tests/fuzz/found/NAME/ once the fault is fixed.
# Usage: scripts/run-fuzz.sh [SECONDS] [TARGET...]
#   (first: cmake --preset fuzz && cmake --build --preset fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
(($# > 0)) && shift
targets=("$@")
((${#targets[@]})) || targets=(data-files picture icon command-line user)
build=build/fuzz
mkdir -p "$build/findings"

fuzz() {
  local name=$1
  local inputs=("$build/corpus/$name" "tests/fuzz/seeds/$name")
  mkdir -p "${inputs[0]}"
  [[ -d tests/fuzz/found/$name ]] && inputs+=("tests/fuzz/found/$name")
  # A user's session reads no more than 48 actions of four bytes.
  local options=(-max_total_time="$seconds" -timeout=60 -print_final_stats=1
                 -artifact_prefix="$build/findings/$name-")
  [[ $name == user ]] && options+=(-max_len=193)
  local status=0
  "$build/fuzz/kelvo-fuzz-$name" "${options[@]}" "${inputs[@]}" >"$build/$name.log" 2>&1 ||
    status=$?
  echo "$status" >"$build/$name.status"
}

for name in "${targets[@]}"; do
  [[ -x $build/fuzz/kelvo-fuzz-$name ]] || { echo "no fuzz target $name in $build/fuzz" >&2; exit 2; }
  while (($(jobs -rp | wc -l) >= $(nproc))); do wait -n || true; done
  fuzz "$name" &
done
wait

failed=0
for name in "${targets[@]}"; do
  log=$build/$name.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [[ $(cat "$build/$name.status") == 0 ]]; then
    echo "fuzz $name: ${runs:-0} runs in ${seconds} s, ${rate:-0} per second, no findings"
  else
    echo "fuzz $name: FAILED after ${runs:-?} runs; see $log and $build/findings/" >&2
    grep -E '^(fuzz:|SUMMARY:|==[0-9]+==ERROR)' "$log" >&2 || tail -n 20 "$log" >&2
    failed=1
  fi
done
exit "$failed"
