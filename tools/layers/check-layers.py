#!/usr/bin/env python3
"""Holds the program's folders to their layers.

Reads every #include "folder/..." in the files under ROOT/src and fails when
a file includes from a folder above its own. The order, from the bottom:

    resources, files, settings, {jobs, ui}, {cdrom, cddb, sound, soundfile},
    components, setup, app

Folders on one floor may include each other. A folder the order does not name
fails too, so that a new folder gets its place before it gets code.

usage: check-layers.py ROOT    (exit 0: none upward; 1: the offending lines)
"""
import os
import re
import sys

FLOORS = [
    ["resources"],
    ["files"],
    ["settings"],
    ["jobs", "ui"],
    ["cdrom", "cddb", "sound", "soundfile"],
    ["components"],
    ["setup"],
    ["app"],
]
FLOOR = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"')
SOURCE_ENDINGS = (".h", ".cpp", ".rc")


def offences(root):
    src = os.path.join(root, "src")
    found = []
    for folder, _, files in sorted(os.walk(src)):
        relative = os.path.relpath(folder, src)
        if relative == ".":
            continue
        own = relative.split(os.sep)[0]
        for name in sorted(files):
            if not name.endswith(SOURCE_ENDINGS):
                continue
            path = os.path.join(folder, name)
            shown = os.path.relpath(path, root)
            if own not in FLOOR:
                found.append(f"{shown}: folder '{own}' has no place in the order")
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if target not in FLOOR:
                        found.append(f"{shown}:{number}: includes from '{target}', which has no place in the order")
                    elif FLOOR[target] > FLOOR[own]:
                        found.append(f"{shown}:{number}: '{own}' includes upward from '{target}': {line.strip()}")
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    found = offences(sys.argv[1])
    for line in found:
        print(line)
    if found:
        print(f"check-layers: {len(found)} include(s) against the order", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
