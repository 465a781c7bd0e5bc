#!/usr/bin/env python3
"""Fails when a source file includes a folder above its own floor (src/layers.txt).

Prints each such include as file:line, and exits non-zero; prints nothing else on success
but a one-line summary.
"""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SRC = os.path.join(ROOT, "src")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')


def floors(path):
    allowed = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            folder, _, below = line.partition(":")
            allowed[folder.strip()] = set(below.split()) | {folder.strip()}
    return allowed


def main():
    allowed = floors(os.path.join(SRC, "layers.txt"))
    faults = []
    files = 0
    for dirpath, _, names in os.walk(SRC):
        folder = os.path.relpath(dirpath, SRC).split(os.sep)[0]
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            files += 1
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, ROOT)
            if folder not in allowed:
                faults.append("%s: folder %s has no floor in src/layers.txt" % (rel, folder))
                continue
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if m and m.group(1) not in allowed[folder]:
                        faults.append("%s:%d: %s may not include %s/" %
                                      (rel, number, folder, m.group(1)))
    for fault in faults:
        print(fault)
    print("layers: %d files, %d includes that run up" % (files, len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
