"""Write docs/api.md, the API reference, from the installed modules.

    python docs/generate_api.py            # rewrite docs/api.md
    python docs/generate_api.py --check    # exit 1 when docs/api.md is stale

Signatures and docstrings come from the runtime objects (vorn_core's text
signatures, the vorn package's annotations). When type stubs for vorn_core are
found (a "vorn_core-stubs/__init__.pyi" on sys.path or under python/), their
annotated signatures and attribute types replace the bare runtime signatures.
"""
from __future__ import annotations

import ast
import inspect
import pathlib
import sys
from collections.abc import Iterable
from typing import Any

import vorn
import vorn_core

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "docs" / "api.md"
VORN_MODULES = ("vorn", "vorn.network", "vorn.data", "vorn.sweep", "vorn.sensitivity", "vorn.plot", "vorn.cli")


# --------------------------------------------------------------------------- stubs


def _find_stub() -> pathlib.Path | None:
    for folder in [*map(pathlib.Path, sys.path), ROOT / "python"]:
        candidate = folder / "vorn_core-stubs" / "__init__.pyi"
        if candidate.is_file():
            return candidate
    return None


class _Stub:
    """Annotated signatures and attribute types read from a .pyi file."""

    def __init__(self, path: pathlib.Path | None) -> None:
        self.functions: dict[str, str] = {}
        self.attributes: dict[str, str] = {}
        if path is None:
            return
        tree = ast.parse(path.read_text(encoding="utf-8"))
        for node in tree.body:
            if isinstance(node, (ast.FunctionDef, ast.AsyncFunctionDef)):
                self.functions[node.name] = self._signature(node)
            elif isinstance(node, ast.ClassDef):
                for member in node.body:
                    key = f"{node.name}.{getattr(member, 'name', '')}"
                    if isinstance(member, ast.FunctionDef):
                        if any(_is_property(d) for d in member.decorator_list) and member.returns:
                            self.attributes[key] = ast.unparse(member.returns)
                        elif not any(_is_setter(d) for d in member.decorator_list):
                            self.functions[key] = self._signature(member)
                    elif isinstance(member, ast.AnnAssign) and isinstance(member.target, ast.Name):
                        self.attributes[f"{node.name}.{member.target.id}"] = ast.unparse(member.annotation)

    @staticmethod
    def _signature(node: ast.FunctionDef | ast.AsyncFunctionDef) -> str:
        returns = f" -> {ast.unparse(node.returns)}" if node.returns else ""
        return f"({_parameters(node.args)}){returns}"


def _parameter(arg: ast.arg, default: ast.expr | None, prefix: str = "") -> str:
    """One parameter as inspect writes it: "x: int = 0", "x=0", "*args: str"."""
    text = prefix + arg.arg
    if arg.annotation is not None:
        text += f": {ast.unparse(arg.annotation)}"
    if default is not None:
        text += f" = {ast.unparse(default)}" if arg.annotation is not None else f"={ast.unparse(default)}"
    return text


def _parameters(args: ast.arguments) -> str:
    positional = [*args.posonlyargs, *args.args]
    defaults: list[ast.expr | None] = [None] * (len(positional) - len(args.defaults)) + list(args.defaults)
    parts = [_parameter(arg, default) for arg, default in zip(positional, defaults)]
    if args.posonlyargs:
        parts.insert(len(args.posonlyargs), "/")
    if args.vararg is not None:
        parts.append(_parameter(args.vararg, None, "*"))
    elif args.kwonlyargs:
        parts.append("*")
    parts += [_parameter(arg, default) for arg, default in zip(args.kwonlyargs, args.kw_defaults)]
    if args.kwarg is not None:
        parts.append(_parameter(args.kwarg, None, "**"))
    return ", ".join(parts)


def _is_property(decorator: ast.expr) -> bool:
    return isinstance(decorator, ast.Name) and decorator.id == "property"


def _is_setter(decorator: ast.expr) -> bool:
    return isinstance(decorator, ast.Attribute) and decorator.attr in ("setter", "deleter")


# --------------------------------------------------------------------------- text


def _signature(obj: Any) -> str:
    try:
        return str(inspect.signature(obj))
    except (TypeError, ValueError):
        return "()"


def _doc(obj: Any) -> str:
    doc = inspect.getdoc(obj) if not isinstance(obj, type) else obj.__doc__
    return inspect.cleandoc(doc) if doc else ""


# Notes printed under engine docstrings whose designed text would mislead a
# reader; the docstrings themselves are the engine's and stay as they are.
READER_NOTES = {
    "MonteCarloStats.sensitivity_analysis": (
        "Note: the keys in the example above are placeholders. The real keys name the nodes and "
        "links of the ensemble's network: `memory_lifetime_t2:A` for node A, `base_fidelity:A->B`, "
        "`distance_km:A->B` and `generation_rate_hz:A->B` for the link from A to B, and "
        "`alpha_loss_db_km`; see [Sensitivity analysis](sensitivity.md)."),
    "save_vorn_file_wrapper": (
        "Note: `PyVornFile` in the text above is the engine's internal name of `VornFile`; "
        "`save_vorn_file_wrapper(qf, path)`, `save(qf, path)` and `qf.save(path)` do the same."),
}


def _note(key: str) -> list[str]:
    return ["", READER_NOTES[key]] if key in READER_NOTES else []


def _first_paragraph(doc: str) -> str:
    """The first paragraph of a docstring as one line: the whole of its
    sentences, never a cut after the first line."""
    return " ".join(doc.split("\n\n")[0].split())


def _block(doc: str) -> list[str]:
    """A docstring as Markdown: kept verbatim in a quoted block so its own
    layout (argument lists, examples) survives."""
    if not doc:
        return []
    return ["", *("> " + line if line else ">" for line in doc.splitlines())]


def _hidden_classes() -> list[type]:
    """The classes reached only through returned objects, by name."""
    return sorted(vorn_core._hidden_classes(), key=lambda c: c.__name__)


def _constructor(cls: type, stub: _Stub) -> str | None:
    """The constructor signature, or None for a class Python code cannot call."""
    annotated = stub.functions.get(f"{cls.__name__}.__init__")
    if annotated is not None:
        return annotated.replace("(self, ", "(").replace("(self)", "()").replace(" -> None", "")
    try:
        return str(inspect.signature(cls))
    except (TypeError, ValueError):
        return None


def _core_class(cls: type, stub: _Stub) -> list[str]:
    name = cls.__name__
    constructor = _constructor(cls, stub)
    lines = [f"### `{name}{constructor}`" if constructor is not None
             else f"### `{name}` (no constructor)"]
    lines += _block(_doc(cls))
    members = []
    attributes = []
    methods = []
    for member_name, member in vars(cls).items():
        if member_name.startswith("__"):
            continue
        if isinstance(member, cls):
            members.append(f"`{member_name}`")
        elif inspect.isgetsetdescriptor(member) or inspect.ismemberdescriptor(member):
            kind = stub.attributes.get(f"{name}.{member_name}")
            text = f"- `{member_name}`" + (f": `{kind}`" if kind else "")
            doc = _doc(member)
            attributes.append(text + (f" — {_first_paragraph(doc)}" if doc else ""))
        else:
            function = getattr(cls, member_name)
            signature = stub.functions.get(f"{name}.{member_name}", _signature(function))
            methods.append((member_name, signature, _doc(function)))
    if members:
        lines += ["", "Members: " + ", ".join(members)]
    if attributes:
        lines += ["", "Attributes:", "", *attributes]
    for method_name, signature, doc in methods:
        lines += ["", f"#### `{name}.{method_name}{signature}`", *_block(doc), *_note(f"{name}.{method_name}")]
    return lines


def core_reference(stub: _Stub) -> list[str]:
    lines = ["## `vorn_core`", "", _doc(vorn_core), "", "### Functions"]
    classes = []
    for name in vorn_core.__all__:
        obj = getattr(vorn_core, name)
        if isinstance(obj, type):
            classes.append(obj)
            continue
        alias = "" if obj.__name__ == name else f" (alias of `{obj.__name__}`)"
        signature = stub.functions.get(name, _signature(obj))
        lines += ["", f"#### `{name}{signature}`{alias}", *_block(_doc(obj) if not alias else ""),
                  *(_note(name) if not alias else [])]
    lines += ["", "### Classes"]
    for cls in classes:
        lines += [""] + _core_class(cls, stub)
    lines += ["", "### Classes of returned objects only", ""]
    lines.append("These are not attributes of the module; values of these types come back from calls.")
    for cls in _hidden_classes():
        lines += [""] + _core_class(cls, stub)
    return lines


def _public(module: Any) -> Iterable[tuple[str, Any]]:
    names = getattr(module, "__all__", None)
    if names is None:
        names = [n for n, v in vars(module).items()
                 if not n.startswith("_") and getattr(v, "__module__", None) == module.__name__]
    for name in names:
        yield name, getattr(module, name)


def vorn_reference() -> list[str]:
    import importlib

    lines = ["## `vorn`", "", _doc(vorn)]
    documented: set[int] = set()
    for module_name in VORN_MODULES:
        try:
            module = importlib.import_module(module_name)
        except ImportError:
            continue
        entries = [(n, v) for n, v in _public(module)
                   if (inspect.isclass(v) or inspect.isfunction(v)) and id(v) not in documented
                   and getattr(v, "__module__", "").startswith("vorn")]
        if module_name != "vorn":
            lines += ["", f"### `{module_name}`", *_block(_doc(module).split("\n\n")[0])]
        for name, value in entries:
            documented.add(id(value))
            kind = "class " if inspect.isclass(value) else ""
            lines += ["", f"#### {kind}`{name}{_signature(value)}`", *_block(_doc(value))]
            if inspect.isclass(value):
                for method_name in vars(value):
                    if method_name.startswith("_") or not callable(getattr(value, method_name)):
                        continue
                    function = getattr(value, method_name)
                    lines += ["", f"- `{name}.{method_name}{_signature(function)}`"
                              + (f": {_first_paragraph(_doc(function))}" if _doc(function) else "")]
    return lines


def render() -> str:
    stub_path = _find_stub()
    source = "the installed modules" + (" and the vorn_core type stubs" if stub_path else "")
    lines = ["# API reference", "",
             f"Generated by `python docs/generate_api.py` from {source}; do not edit by hand.", ""]
    lines += vorn_reference() + [""] + core_reference(_Stub(stub_path))
    text = "\n".join(lines)
    text = "\n".join(line.rstrip() for line in text.splitlines())
    return text.replace("\n\n\n", "\n\n") + "\n"


def main(argv: list[str]) -> int:
    text = render()
    if "--check" in argv:
        current = OUTPUT.read_text(encoding="utf-8") if OUTPUT.exists() else ""
        if current != text:
            print(f"{OUTPUT} is stale: run python docs/generate_api.py", file=sys.stderr)
            return 1
        return 0
    OUTPUT.write_text(text, encoding="utf-8")
    print(f"wrote {OUTPUT}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
