#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang in build-fuzz and runs
# each for a number of inputs (1 000 000 unless given), starting from its
# checked-in corpus. Prints the inputs, the time and the findings of each; a
# finding (a crash or a broken round trip) fails the script and leaves its
# input as build-fuzz/findings/<harness>/crash-*.
#   scripts/fuzz.sh [runs]
#   scripts/fuzz.sh --ci     the corpus plus 5 seconds each, as the test script runs them
set -euo pipefail
cd "$(dirname "$0")/.."

HARNESSES=(fuzz_datalink fuzz_amounts fuzz_dates fuzz_fiscalanswer)
limit=(-runs="${1:-1000000}")
[ "${1:-}" = "--ci" ] && limit=(-max_total_time=5)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORA_FUZZ=ON -DKELVORA_TESTS=OFF >/dev/null
cmake --build build-fuzz --target "${HARNESSES[@]}"

export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=0
printf '%-18s %10s %8s %s\n' harness inputs seconds findings
for h in "${HARNESSES[@]}"; do
  work=build-fuzz/findings/$h
  rm -rf "$work" && mkdir -p "$work/corpus"
  start=$(date +%s%N)
  status=0
  build-fuzz/fuzz/$h "${limit[@]}" -artifact_prefix="$work/" -print_final_stats=1 \
    "$work/corpus" "fuzz/corpus/$h" >"$work/log" 2>&1 || status=$?
  tenths=$((($(date +%s%N) - start) / 100000000))
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  findings=$(find "$work" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' -o -maxdepth 1 -name 'timeout-*' | wc -l)
  printf '%-18s %10s %6d.%d %s\n' "$h" "${inputs:-?}" $((tenths / 10)) $((tenths % 10)) "$findings"
  if [ "$status" != 0 ] || [ "$findings" != 0 ]; then
    failed=1
    grep -E 'round trip broken|ERROR|runtime error' "$work/log" | head -5 >&2 || true
  fi
done
exit $failed
