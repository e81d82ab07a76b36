#!/usr/bin/env bash
# Builds Kelvora, makes a demo restaurant in demo/ the first time (an SQLite
# database with a menu, waiters and cooks), sets up a PDF printer as the default
# when the machine has no default printer, and starts the program there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# The demo ends in the program's window: without a display there is nothing to
# show it on (the program draws through X11, on a Wayland desktop through
# XWayland), so say so before anything is installed or built.
if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'EOF_'
demo.sh starts Kelvora's window, and there is no display here (DISPLAY is not set).
Run it in a desktop session, or try it without one under a virtual X server:
  xvfb-run -a bash scripts/demo.sh      (xvfb-run comes with the packages xvfb and xauth)
EOF_
  exit 1
fi

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

# Bills go to the default printer. A machine with none gets CUPS's PDF printer
# as its default, so the demo's bills land as PDF files (cups-pdf's folder).
pdf_printer() {
  local as_root=()
  if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null || { echo "not root and no sudo"; return 1; }
    as_root=(sudo)
  fi
  local p missing=()
  for p in cups printer-driver-cups-pdf; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      "${missing[@]}" >/dev/null || { echo "cannot install ${missing[*]}"; return 1; }
  fi
  if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
    "${as_root[@]}" systemctl start cups 2>/dev/null || "${as_root[@]}" service cups start >/dev/null 2>&1 ||
      "${as_root[@]}" cupsd 2>/dev/null || true
    local i
    for i in 1 2 3 4 5 6 7 8 9 10; do
      lpstat -r 2>/dev/null | grep -q 'is running' && break
      sleep 0.5
    done
    lpstat -r 2>/dev/null | grep -q 'is running' || { echo "the CUPS scheduler does not start"; return 1; }
  fi
  if lpstat -d 2>/dev/null | grep -q 'system default destination:'; then
    return 0
  fi
  "${as_root[@]}" lpadmin -p Kelvora-PDF -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd \
    -D "Kelvora PDF" 2>/dev/null || { echo "lpadmin cannot add the PDF printer"; return 1; }
  "${as_root[@]}" lpadmin -d Kelvora-PDF && lpoptions -d Kelvora-PDF >/dev/null ||
    { echo "cannot make the PDF printer the default"; return 1; }
  local out
  out=$(sed -n 's/^Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1)
  out=${out:-'${HOME}/PDF'}
  echo "Bills go to the PDF printer Kelvora-PDF: files in ${out//'${HOME}'/$HOME}." >&2
}
if ! reason=$(pdf_printer); then
  echo "No PDF printer for the demo ($reason): bills go to the default printer, if any." >&2
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
