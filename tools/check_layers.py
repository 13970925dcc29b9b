#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks that the folders of src/ are used one way.

Each folder may include from the folders below it in LAYERS, never from one
above it or beside it at its own level, so that the architecture stays what
docs/contributing.md draws. Prints every include that breaks the order and
ends with status 1 when there is one.

    tools/check_layers.py [SRC_DIR]
"""
import pathlib
import re
import sys

# From the bottom up; folders on one line are side by side and do not include from each other.
LAYERS = [
    ["base"],
    ["format", "platform"],
    ["catalogue"],
    ["csv", "xlsx"],
    ["run"],
    ["cli", "web"],
]
LEVEL = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/[^"]+"', re.M)


def main(src):
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in LEVEL:
            problems.append(f"{path}: folder {folder}/ has no place in the layers")
            continue
        for used in INCLUDE.findall(path.read_text()):
            if used != folder and (used not in LEVEL or LEVEL[used] >= LEVEL[folder]):
                problems.append(f"{path}: {folder}/ includes from {used}/")
    for problem in problems:
        print(problem)
    print(f"layers: {'broken' if problems else 'kept'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")))
