#!/usr/bin/env bash
# A rush on one database, longer than the CI test runs it, and a kill -9 loop.
#   scripts/rush.sh --long [--engine sqlite|postgres|both] [--build DIR]
#     4 stations, 10 000 operations in all (--operations N), then every
#     invariant checked; one
#     station stops (SIGSTOP) for 20 s inside a transaction while the others go on
#   scripts/rush.sh --kill [--engine ...] [--build DIR] [--cycles N]
#     each cycle starts 4 stations working until told to stop, kills one with -9
#     in the middle of its work, stops the others and checks every invariant
#     (25 cycles by default); every cycle must kill
#   --disjoint: each station keeps to two tables of its own, so that the kills,
#     not the stations' races on one table, are what the invariants judge
# Besides the floor, every station registers the bill of one shared table with
# the fiscal driver simulator (started here) and receives goods on consignment
# on documents the stations share.
# Stations and checker come from the build folder (default build-test, the
# sanitizer build; a Release build runs about three times as fast). PostgreSQL
# runs on the throwaway server of scripts/with-postgres.sh, started here when
# none is given. Prints what the stations did, the kills, the invariant checks,
# the operations' times (p50, p99, max) and the time; exits 1 when a station
# met a fault, an invariant broke or a cycle did not kill.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode="" engine=both build="$here/../build-test" cycles=25 keep="" disjoint="" operations=10000
while [ $# -gt 0 ]; do
  case "$1" in
    --long|--kill) mode=${1#--} ;;
    --engine) engine=$2; shift ;;
    --build) build=$2; shift ;;
    --cycles) cycles=$2; shift ;;
    --operations) operations=$2; shift ;;
    --keep) keep=1 ;;
    --disjoint) disjoint=1 ;;
    *) echo "usage: $0 --long|--kill [--engine sqlite|postgres|both] [--build DIR] [--cycles N] [--operations N] [--keep] [--disjoint]" >&2; exit 2 ;;
  esac
  shift
done
[ -n "$mode" ] || { echo "$0: --long or --kill" >&2; exit 2; }
build=$(cd "$build" && pwd)
station="$build/tests/kelvora_rushstation" check="$build/tests/kelvora_rushcheck" db="$build/tools/kelvora-db"
sim="$build/tools/kelvora-fiscal-sim"
for f in "$station" "$check" "$db" "$sim"; do
  [ -x "$f" ] || { echo "$0: $f is not built (cmake --build $build --target kelvora_rushstation kelvora_rushcheck kelvora-db kelvora-fiscal-sim)" >&2; exit 2; }
done
if [ "$engine" != sqlite ] && [ -z "${KELVORA_TEST_PGHOST:-}" ]; then
  exec "$here/with-postgres.sh" "$0" --"$mode" --engine "$engine" --build "$build" --cycles "$cycles" --operations "$operations" ${keep:+--keep} ${disjoint:+--disjoint}
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

# The fiscal driver simulator on the paths of the settings row, with its journal.
start_sim() {
  "$sim" --udl "$work/kavshiri.udl" --journal "$work/fiscal.journal" >"$work/sim.out" 2>&1 &
  simpid=$!
  local i
  for i in $(seq 1 100); do grep -q watching "$work/sim.out" 2>/dev/null && return 0; sleep 0.1; done
  echo "the fiscal driver simulator did not start:"; cat "$work/sim.out"; failed=1
}
stop_sim() { kill "$simpid" 2>/dev/null || true; wait "$simpid" 2>/dev/null || true; }

# The state letter of a process (R, S, T, ...), or nothing once it is gone.
state_of() { sed -n 's/^[0-9]* (.*) \([A-Z]\) .*/\1/p' "/proc/$1/stat" 2>/dev/null; }

# Continues the station once it has stood stopped for 20 s.
thaw_after_20s() {
  local pid=$1 i
  for i in $(seq 1 6000); do
    [ "$(state_of "$pid")" = T ] && break
    [ -e "/proc/$pid" ] || return 0
    sleep 0.1
  done
  echo "station $2 stopped inside a transaction; continued in 20 s"
  sleep 20
  kill -CONT "$pid" 2>/dev/null || true
}

run_long() {
  local eng=$1 per=$((operations / 4)) pids=() s rc=0 freeze thawer
  for s in 1 2 3 4; do
    freeze=()
    [ "$s" = 1 ] && freeze=(--freeze-after $((per * 3 / 10)))
    "$station" "$work/kavshiri.udl" "$s" "$per" "$((RANDOM * 4 + s))" "$work/s$s.log" \
      ${disjoint:+"$((2 * s - 1))-$((2 * s))"} --print --receive "${freeze[@]}" >"$work/s$s.out" 2>"$work/s$s.err" &
    pids+=($!)
  done
  thaw_after_20s "${pids[0]}" 1 &
  thawer=$!
  for s in 1 2 3 4; do wait "${pids[$((s - 1))]}" || rc=1; done
  wait "$thawer" || true
  cat "$work"/s?.out
  [ "$rc" = 0 ] || { echo "faults:"; sort "$work"/s?.err | uniq -c | sort -rn | head -20; failed=1; }
  "$check" check "$work/kavshiri.udl" "$work/stock.txt" --journal "$work/fiscal.journal" "$work"/s?.log || failed=1
  echo "invariant checks: 1 pass of 13 invariants"
}

run_kill() {
  local eng=$1 cycle s pids victim v broken=0 checks=0 kills=0 missed=0 out i
  for cycle in $(seq 1 "$cycles"); do
    pids=()
    for s in 1 2 3 4; do
      "$station" "$work/kavshiri.udl" "$s" 0 "$((RANDOM * 4 + s))" "$work/c${cycle}s$s.log" \
        ${disjoint:+"$((2 * s - 1))-$((2 * s))"} --print --receive >/dev/null 2>>"$work/faults.err" &
      pids+=($!)
    done
    # The victim is killed in the middle of its work: once it has logged some,
    # at a random moment, while it is still running until told to stop.
    v=$((RANDOM % 4))
    victim=${pids[$v]}
    for i in $(seq 1 600); do
      [ "$(cat "$work/c${cycle}s$((v + 1)).log" 2>/dev/null | wc -l)" -ge 3 ] && break
      sleep 0.05
    done
    sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 0.2 + (r % 2000) / 1000 }')"
    if [ -e "/proc/$victim" ] && kill -9 "$victim" 2>/dev/null; then
      kills=$((kills + 1))
    else
      missed=$((missed + 1))
    fi
    for s in "${pids[@]}"; do [ "$s" = "$victim" ] || kill -TERM "$s" 2>/dev/null || true; done
    for s in "${pids[@]}"; do wait "$s" 2>/dev/null || true; done
    checks=$((checks + 1))
    if out=$("$check" check "$work/kavshiri.udl" "$work/stock.txt" --journal "$work/fiscal.journal" "$work"/c*s?.log); then
      echo "cycle $cycle: station $((v + 1)) killed mid-work; all invariants hold"
    else
      broken=$((broken + 1))
      echo "cycle $cycle: station $((v + 1)) killed mid-work; $(echo "$out" | grep -c '^VIOLATED') invariants broken"
    fi
  done
  echo "kills: $kills of $cycles cycles (missed $missed), invariant checks: $checks cycles x 13 invariants, cycles with a broken invariant: $broken"
  echo "$out"
  if [ -s "$work/faults.err" ]; then
    echo "faults:"; sed 's/^station [0-9]*: //' "$work/faults.err" | sort | uniq -c | sort -rn | head -20
    failed=1
  fi
  [ "$broken" = 0 ] || failed=1
  [ "$missed" = 0 ] || failed=1
}

engines=$engine
[ "$engine" = both ] && engines="sqlite postgres"
for eng in $engines; do
  work=$(mktemp -d /tmp/kelvora-rush.XXXXXX)
  echo "== $mode${disjoint:+ (disjoint tables)} on $eng ($work)"
  start=$(date +%s)
  make_db "$eng"
  start_sim
  "run_$mode" "$eng"
  stop_sim
  echo "time: $(($(date +%s) - start)) s"
  [ -n "$keep" ] || rm -rf "$work"
done
exit $failed
