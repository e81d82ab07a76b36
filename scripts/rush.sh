#!/usr/bin/env bash
# A rush on one database, longer than the CI test runs it, and a kill -9 loop.
#   scripts/rush.sh --long [--engine sqlite|postgres|both] [--build DIR]
#     4 stations, 10 000 operations in all, then every invariant checked
#   scripts/rush.sh --kill [--engine ...] [--build DIR] [--cycles N]
#     each cycle starts 4 stations, kills one with -9 at a random moment, lets
#     the others finish and checks every invariant (25 cycles by default)
#   --disjoint: each station keeps to two tables of its own, so that the kills,
#     not the stations' races on one table, are what the invariants judge
# Stations and checker come from the build folder (default build-test, the
# sanitizer build; a Release build runs about three times as fast). PostgreSQL
# runs on the throwaway server of scripts/with-postgres.sh, started here when
# none is given. Prints what the stations did, the kills, the invariant checks
# and the time; exits 1 when a station met a fault or an invariant broke.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode="" engine=both build="$here/../build-test" cycles=25 keep="" disjoint=""
while [ $# -gt 0 ]; do
  case "$1" in
    --long|--kill) mode=${1#--} ;;
    --engine) engine=$2; shift ;;
    --build) build=$2; shift ;;
    --cycles) cycles=$2; shift ;;
    --keep) keep=1 ;;
    --disjoint) disjoint=1 ;;
    *) echo "usage: $0 --long|--kill [--engine sqlite|postgres|both] [--build DIR] [--cycles N] [--keep] [--disjoint]" >&2; exit 2 ;;
  esac
  shift
done
[ -n "$mode" ] || { echo "$0: --long or --kill" >&2; exit 2; }
build=$(cd "$build" && pwd)
station="$build/tests/kelvora_rushstation" check="$build/tests/kelvora_rushcheck" db="$build/tools/kelvora-db"
for f in "$station" "$check" "$db"; do
  [ -x "$f" ] || { echo "$0: $f is not built (cmake --build $build --target kelvora_rushstation kelvora_rushcheck kelvora-db)" >&2; exit 2; }
done
if [ "$engine" != sqlite ] && [ -z "${KELVORA_TEST_PGHOST:-}" ]; then
  exec "$here/with-postgres.sh" "$0" --"$mode" --engine "$engine" --build "$build" --cycles "$cycles" ${keep:+--keep} ${disjoint:+--disjoint}
fi
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

failed=0
# A new database in $work: kavshiri.udl, the rush's floor and its start stock.
make_db() {
  local eng=$1
  if [ "$eng" = sqlite ]; then
    "$db" init --engine sqlite --dir "$work" --tables 8 >/dev/null
  else
    "$db" init --engine postgres --dir "$work" --tables 8 --host "$KELVORA_TEST_PGHOST" \
      --port "$KELVORA_TEST_PGPORT" --user "$KELVORA_TEST_PGUSER" --database "rush_$$_$RANDOM" >/dev/null
  fi
  "$check" prepare "$work/kavshiri.udl" "$work/stock.txt"
}

run_long() {
  local eng=$1 per=2500 pids=() s rc=0
  for s in 1 2 3 4; do
    "$station" "$work/kavshiri.udl" "$s" "$per" "$((RANDOM * 4 + s))" "$work/s$s.log" \
      ${disjoint:+"$((2 * s - 1))-$((2 * s))"} >"$work/s$s.out" 2>"$work/s$s.err" &
    pids+=($!)
  done
  for s in 1 2 3 4; do wait "${pids[$((s - 1))]}" || rc=1; done
  cat "$work"/s?.out
  [ "$rc" = 0 ] || { echo "faults:"; sort "$work"/s?.err | uniq -c | sort -rn | head -20; failed=1; }
  "$check" check "$work/kavshiri.udl" "$work/stock.txt" "$work"/s?.log || failed=1
  echo "invariant checks: 1 pass of 10 invariants"
}

run_kill() {
  local eng=$1 cycle s pids victim broken=0 checks=0 kills=0 out
  for cycle in $(seq 1 "$cycles"); do
    pids=()
    for s in 1 2 3 4; do
      "$station" "$work/kavshiri.udl" "$s" 150 "$((RANDOM * 4 + s))" "$work/c${cycle}s$s.log" \
        ${disjoint:+"$((2 * s - 1))-$((2 * s))"} >/dev/null 2>>"$work/faults.err" &
      pids+=($!)
    done
    sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 0.3 + (r % 2500) / 1000 }')"
    victim=${pids[$((RANDOM % 4))]}
    if kill -9 "$victim" 2>/dev/null; then kills=$((kills + 1)); fi
    for s in "${pids[@]}"; do wait "$s" 2>/dev/null || true; done
    checks=$((checks + 1))
    if out=$("$check" check "$work/kavshiri.udl" "$work/stock.txt" "$work"/c*s?.log); then
      echo "cycle $cycle: all invariants hold"
    else
      broken=$((broken + 1))
      echo "cycle $cycle: $(echo "$out" | grep -c '^VIOLATED') invariants broken"
    fi
  done
  echo "kills: $kills, invariant checks: $checks cycles x 10 invariants, cycles with a broken invariant: $broken"
  echo "$out"
  if [ -s "$work/faults.err" ]; then
    echo "faults:"; sed 's/^station [0-9]*: //' "$work/faults.err" | sort | uniq -c | sort -rn | head -20
    failed=1
  fi
  [ "$broken" = 0 ] || failed=1
}

engines=$engine
[ "$engine" = both ] && engines="sqlite postgres"
for eng in $engines; do
  work=$(mktemp -d /tmp/kelvora-rush.XXXXXX)
  echo "== $mode${disjoint:+ (disjoint tables)} on $eng ($work)"
  start=$(date +%s)
  make_db "$eng"
  "run_$mode" "$eng"
  echo "time: $(($(date +%s) - start)) s"
  [ -n "$keep" ] || rm -rf "$work"
done
exit $failed
