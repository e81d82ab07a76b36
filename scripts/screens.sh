#!/usr/bin/env bash
# Screenshots of the program's main tabs, on a demo database, under a virtual X
# server with a window manager, so anyone can see the screens at a given size.
#
#   scripts/screens.sh [WIDTHxHEIGHT] [FOLDER] [DISPLAY]
#   scripts/screens.sh 1920x1080 shots/1920x1080 :66
#   scripts/screens.sh 1024x768                      a narrow screen
#
# Uses the program built in $KELVORA_BUILD (default build-release/, built here
# when missing). Needs xvfb, openbox, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
size=${1:-1366x768}
out=$(realpath -m "${2:-shots/$size}")
display=${3:-:66}
build=${KELVORA_BUILD:-$root/build-release}

for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "screens.sh: $tool is missing (xvfb openbox xdotool imagemagick)" >&2; exit 1; }
done
if [ ! -x "$build/kelvora" ] || [ ! -x "$build/tools/kelvora-db" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORA_TESTS=OFF >/dev/null
  cmake --build "$build" --target kelvora kelvora-db
fi

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "screens.sh: Xvfb on $display does not start" >&2; exit 1; }
openbox >/dev/null 2>&1 &
pids+=($!)

site="$work/site"
"$build/tools/kelvora-db" init --dir "$site" --tables 16 >/dev/null
"$build/tools/kelvora-db" demo --dir "$site" >/dev/null
# Tables 3 and 7 busy, so both table pictures show (needs the sqlite3 shell).
if command -v sqlite3 >/dev/null; then
  sqlite3 "$site/kelvora.db" "insert into busytable (TableNum, Busy, USERNUM, OFICIANT) values
    (3, 1, 1, 'ანა მაისურაძე'), (7, 1, 2, 'ანა მაისურაძე')"
fi

# The program reads kavshiri.udl from its working folder.
(cd "$site" && exec "$build/kelvora") >"$work/kelvora.log" 2>&1 &
pids+=($!)
win=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kelvora$' | head -n 1) ||
  { echo "screens.sh: the main window did not appear" >&2; cat "$work/kelvora.log" >&2; exit 1; }
sleep 2

mkdir -p "$out"
shot() {
  sleep 1
  import -window root "$out/$1.png"
  echo "$out/$1.png"
}

# The main tabs, in their order on the tab bar; Ctrl+Tab moves to the next.
tabs=(1-shekveta 2-migeba 3-reportebi 4-parametrebi 5-povari 6-oficianti)
xdotool windowactivate --sync "$win" 2>/dev/null || true
for t in "${tabs[@]}"; do
  shot "$t"
  xdotool key --clearmodifiers ctrl+Tab
done

# Back on the floor plan after the last tab: the order window of the first
# table (the floor plan draws table 1 at its top left).
sleep 1
xdotool mousemove --window "$win" 100 95 click 1
shot 7-order-window

# Its waiter box opened.
order=$(xdotool search --onlyvisible --name '^შეკვეთა' | head -n 1 || true)
if [ -n "$order" ]; then
  xdotool mousemove --window "$order" 214 130 click 1
  shot 8-waiter-list
  xdotool key Escape
fi
