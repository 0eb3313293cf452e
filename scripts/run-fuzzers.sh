#!/usr/bin/env bash
# Runs every libFuzzer target built in BUILD (default build/fuzz) for SECONDS
# each (default 60), starting from its seeds in fuzz/seeds/<target>/ and
# keeping what it finds in BUILD/corpus/<target>/. A crash, leak or sanitizer
# report stops with its reproducer in BUILD/artifacts/. Prints one summary line
# per target. Usage: scripts/run-fuzzers.sh [BUILD] [SECONDS] [target...]
# VORLA_FUZZ_RUNS=n runs each target n times instead (SECONDS is then ignored).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
# Parsers that read files write them many times a second: keep that in memory.
scratch=/dev/shm
[[ -d $scratch && -w $scratch ]] || scratch=${TMPDIR:-/tmp}

# Any sanitizer report fails the run, not only a crash.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp"
limit=(-max_total_time="$seconds")
[[ -n ${VORLA_FUZZ_RUNS:-} ]] && limit=(-runs="$VORLA_FUZZ_RUNS")

# One target: its summary line, or its failure and the report's first lines.
fuzz_one() {
  local target=$1 corpus=$build/corpus/$1 log=$build/artifacts/$1.log
  mkdir -p "$corpus"
  if ! TMPDIR=$scratch "$build/fuzz/$target" "$corpus" "fuzz/seeds/$target" \
      "${limit[@]}" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
    echo "$target: FAILED (see $log)"
    grep -m 20 -E "ERROR|SUMMARY|==[0-9]+==|runtime error" "$log" || tail -20 "$log"
    return 1
  fi
  local runs per_second took
  runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  per_second=$(grep -m1 'stat::average_exec_per_sec' "$log" | awk '{print $2}')
  took=$(grep -m1 'Done [0-9]* runs in' "$log" | sed 's/.* in \([0-9]*\) second.*/\1/')
  echo "$target: ${runs:-?} runs in ${took:-$seconds} s (${per_second:-?}/s), corpus $(ls "$corpus" | wc -l) inputs"
}

# VORLA_FUZZ_JOBS targets at a time (default 1): each fuzzer is one process on
# one core, so `make fuzz-smoke` runs as many as the machine has cores.
jobs=${VORLA_FUZZ_JOBS:-1}
mkdir -p "$build/artifacts"
failed=0
running=0
for target in "${targets[@]}"; do
  if ((running >= jobs)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
