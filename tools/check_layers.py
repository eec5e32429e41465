"""Checks that no C++ file under src/ includes a header of a higher layer.

    python tools/check_layers.py    # prints each upward include; exit 1 if any

A file belongs to the layer of the longest prefix in LAYERS that its path
under src/ starts with, and may include headers of its own layer and of the
layers below it. A path that no prefix matches is an error, so a new folder
must be placed in the table. Benchmarks (*.perf.cc) are programs over the
whole library, like the fuzz targets, and may include any header.
"""
import pathlib
import re
import sys

SRC = pathlib.Path(__file__).resolve().parent.parent / "src"

# Bottom-up: the folders of src/ in layer order.
LAYERS = [
    ("common", ["common/"]),
    ("threads", ["threads/"]),
    ("random", ["random/"]),
    ("formats", ["formats/"]),
    ("network", ["network/"]),
    ("routing", ["routing/"]),
    ("simulation", ["simulation/"]),
    ("physical", ["physical/"]),
    ("analysis", ["analysis/"]),
    ("topologies", ["topologies/"]),
    ("engine", ["engine/"]),
    ("protocols", ["protocols/"]),
    ("files", ["files/"]),
    ("python_bridge", ["python_bridge/"]),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def layer_of(path):
    """The index in LAYERS of a path relative to src/."""
    matches = [(len(prefix), rank) for rank, (_, prefixes) in enumerate(LAYERS)
               for prefix in prefixes if path.startswith(prefix)]
    if not matches:
        raise ValueError(f"{path} is in no layer of tools/check_layers.py")
    return max(matches)[1]


def upward_includes(src=SRC):
    """One line per include of a higher layer's header, in path order."""
    found = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cc") or file.name.endswith(".perf.cc"):
            continue
        own = file.relative_to(src).as_posix()
        for header in INCLUDE.findall(file.read_text(encoding="utf-8")):
            if layer_of(header) > layer_of(own):
                found.append(f"{own} includes {header} "
                             f"({LAYERS[layer_of(own)][0]} below {LAYERS[layer_of(header)][0]})")
    return found


if __name__ == "__main__":
    problems = upward_includes()
    print("\n".join(problems) or "no upward includes")
    sys.exit(1 if problems else 0)
