#!/usr/bin/env python3
"""Checks the layering of the house: a room includes and links only rooms below it.

data < office < shell < the rooms < app; among the rooms billing < orders < floorplan,
and the other rooms stand beside each other (none includes another). Prints every
include and every CMake link that goes up or sideways; exits 1 when there is one.
Usage: scripts/check-layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

ROOMS = ["floorplan", "orders", "billing", "kitchen", "stock", "reports", "admin"]
# What each folder may use, besides itself.
BELOW = {
    "data": set(),
    "office": {"data"},
    "shell": {"office", "data"},
    "billing": {"shell", "office", "data"},
    "orders": {"billing", "shell", "office", "data"},
    "floorplan": {"orders", "billing", "shell", "office", "data"},
    "kitchen": {"shell", "office", "data"},
    "stock": {"shell", "office", "data"},
    "reports": {"shell", "office", "data"},
    "admin": {"shell", "office", "data"},
    "app": set(ROOMS) | {"shell", "office", "data"},
}
TARGETS = {"kelvora_data": "data", "kelvora_office": "office", "kelvora_shell": "shell",
           "kelvora_mainwindow": "app", **{"kelvora_" + r: r for r in ROOMS}}


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = []
    for folder in BELOW:
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            for n, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                m = re.match(r'\s*#\s*include\s+"([^/"]+)/', line)
                if m and m.group(1) in BELOW and m.group(1) != folder and m.group(1) not in BELOW[folder]:
                    found.append(f"{path.relative_to(root)}:{n}: includes {m.group(1)}/ ({line.strip()})")
            if folder == "office":
                for n, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                    if re.match(r"\s*#\s*include\s+<Q(Widget|Dialog|Label|ProgressBar|Application|MessageBox)", line):
                        found.append(f"{path.relative_to(root)}:{n}: the spreadsheet layer includes a widget")
    cmake = (root / "CMakeLists.txt").read_text(encoding="utf-8")
    for m in re.finditer(r"kelvora_room\((\w+)\s+(\w+)([^)]*)\)", cmake):
        folder = m.group(2)
        for dep in m.group(3).split():
            if dep in TARGETS and TARGETS[dep] not in BELOW.get(folder, set()):
                found.append(f"CMakeLists.txt: {m.group(1)} links {dep}")
    for f in found:
        print(f)
    print(f"{len(found)} include(s) or link(s) against the layering")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
