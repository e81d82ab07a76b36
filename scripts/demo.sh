#!/usr/bin/env bash
# Builds Kelvora, makes a demo restaurant in demo/ the first time (an SQLite
# database with a menu, waiters and cooks) and starts the program there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/packages.sh

ensure_packages "${KELVORA_BUILD_PACKAGES[@]}"

build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORA_TESTS=OFF >/dev/null
cmake --build "$build" --target kelvora kelvora-db kelvora-fiscal-sim

demo="$root/demo"
db_tool="$build/tools/kelvora-db"
if [ ! -f "$demo/kavshiri.udl" ]; then
  "$db_tool" init --engine sqlite --dir "$demo"
  if ! "$db_tool" demo --dir "$demo"; then
    # Made just now: drop them so the next run starts again.
    rm -f "$demo/kavshiri.udl" "$demo/kelvora.db"
    exit 1
  fi
fi

# The program reads kavshiri.udl from its working folder.
cd "$demo"

# The fiscal printer driver's stand-in, on the command and answer files the demo
# database names (demo/fiscal/), keeping a journal of what it registered; it
# stops when the program ends.
mkdir -p fiscal
"$build/tools/kelvora-fiscal-sim" --udl "$demo/kavshiri.udl" --journal "$demo/fiscal/journal.txt" &
driver=$!
trap 'kill "$driver" 2>/dev/null || true; wait "$driver" 2>/dev/null || true' EXIT

"$build/kelvora"
