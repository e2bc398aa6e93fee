#!/usr/bin/env python3
"""Checks that every #include goes down the layer order of ARCHITECTURE.md.

Each source file belongs to the deepest directory of LAYERS that holds it; it
may include its own directory's headers and those of lower layers, never one of
the same layer or higher. The host contract and the session stay portable: no
file in contract/ or session/ includes <windows.h>. scripts/test.sh runs this
before the builds.

    python3 scripts/check-layers.py [ROOT]

prints every include that breaks the order and exits 1 if there is one.
"""

import pathlib
import re
import sys

# Bottom first; directories on one line are peers and include nothing of each other.
LAYERS = [
    ["contract", "module/runtime"],
    ["scoring", "oblast"],
    ["db", "module"],
    ["session"],
    ["ui/win"],
    ["ui"],
    ["plugin"],
    ["tools"],
    ["tests", "bench", "fuzz"],
]
PORTABLE = ["contract", "session"]
SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cpp", ".S", ".rc", ".inc"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

RANK = {directory: rank for rank, peers in enumerate(LAYERS) for directory in peers}


def layer_of(path):
    """The deepest directory of LAYERS holding path (relative, with '/'), or None."""
    parts = path.split("/")
    for length in range(len(parts) - 1, 0, -1):
        directory = "/".join(parts[:length])
        if directory in RANK:
            return directory
    return None


def breaches(root):
    found = []
    for file in sorted(root.rglob("*")):
        relative = file.relative_to(root).as_posix()
        if relative.startswith(("build/", "out/", ".")) or file.suffix not in SOURCE_SUFFIXES:
            continue
        source = layer_of(relative)
        if source is None:
            continue
        text = file.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            close = ">" if kind == "<" else '"'
            where = f"{relative}:{number}: #include {kind}{name}{close}"
            if kind == "<":
                if source in PORTABLE and name.lower() == "windows.h":
                    found.append(f"{where}: {source}/ is portable")
                continue
            target = layer_of(name)
            if target is None or target == source:
                continue  # a header beside the file, a generated one, or its own directory's
            if RANK[target] >= RANK[source]:
                found.append(f"{where}: {source}/ may not include from {target}/")
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    found = breaches(root.resolve())
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layer order (see ARCHITECTURE.md)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
