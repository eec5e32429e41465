"""A text dump of the module's public surface: names in order, signatures,
docstrings, attributes and enumeration members.

    python tests/surface_dump.py            # print the dump
    python tests/surface_dump.py --write    # refresh tests/golden/module_surface.txt
"""
import inspect
import pathlib
import sys

import vorn_core

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tools"))
from make_stubs import hidden_classes  # noqa: E402

GOLDEN = pathlib.Path(__file__).with_name("golden") / "module_surface.txt"


def _signature(obj):
    try:
        return str(inspect.signature(obj))
    except (TypeError, ValueError):
        return "<none>"


def _doc(obj):
    return repr(obj.__doc__)


def _describe_class(cls, lines):
    lines.append(f"class {cls.__name__}{_signature(cls)}")
    lines.append(f"  module {cls.__module__}; doc {_doc(cls)}")
    for name, member in vars(cls).items():
        if name.startswith("__") and name.endswith("__"):
            continue
        if isinstance(member, cls):
            lines.append(f"  member {name} = {member!r}")
        elif inspect.isgetsetdescriptor(member) or inspect.ismemberdescriptor(member):
            lines.append(f"  attribute {name}; doc {_doc(member)}")
        elif isinstance(member, staticmethod) or inspect.isbuiltin(member):
            function = getattr(cls, name)  # the function itself, not its staticmethod wrapper
            lines.append(f"  static {name}{_signature(function)}; doc {_doc(function)}")
        else:
            lines.append(f"  method {name}{_signature(member)}; doc {_doc(member)}")
    flags = [name for name in ("__eq__", "__hash__", "__repr__") if name in vars(cls)]
    lines.append(f"  slots {flags}")


def dump():
    lines = [f"module {vorn_core.__name__}; doc {_doc(vorn_core)}", f"__all__ {vorn_core.__all__}"]
    for name in vorn_core.__all__:
        obj = getattr(vorn_core, name)
        if isinstance(obj, type):
            _describe_class(obj, lines)
        else:
            lines.append(f"function {name} -> {obj.__name__}{_signature(obj)}; doc {_doc(obj)}")
    for cls in hidden_classes():
        lines.append("hidden")
        _describe_class(cls, lines)
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    text = dump()
    if "--write" in sys.argv:
        GOLDEN.write_text(text, encoding="utf-8")
    else:
        sys.stdout.write(text)
