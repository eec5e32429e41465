"""The type stubs of vorn_core: regenerated they are the same file, the wheel
ships them under the package's one version, every annotation holds for the values the module really returns,
and a strict type checker accepts a real user's script and rejects misuse."""
import ast
import importlib.metadata
import pathlib
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent
STUB = ROOT / "vorn_core-stubs" / "__init__.pyi"
sys.path.insert(0, str(ROOT / "tools"))
sys.path.insert(0, str(ROOT / "tests"))
import make_stubs  # noqa: E402
import typed_user_script  # noqa: E402


def test_stubs_are_up_to_date():
    assert make_stubs.render() == STUB.read_text(encoding="utf-8"), "run: python tools/make_stubs.py"


def test_the_installed_package_ships_the_stubs():
    shipped = [f for f in importlib.metadata.files("vorn_core") if f.as_posix() == "vorn_core-stubs/__init__.pyi"]
    assert len(shipped) == 1
    assert shipped[0].read_text(encoding="utf-8") == STUB.read_text(encoding="utf-8")


def test_the_distribution_the_package_and_the_stubs_share_one_version():
    import vorn

    # The wheel's metadata takes its version from the file that vorn imports it from.
    assert importlib.metadata.version("vorn_core") == vorn.__version__
    shipped = {f.as_posix() for f in importlib.metadata.files("vorn_core")}
    assert {"vorn/_version.py", "vorn_core-stubs/__init__.pyi"} <= shipped


# ---------------------------------------------------------------- annotations against run-time values

class Stub:
    """The stub file's classes (attribute annotations), typed dicts and return annotations."""

    def __init__(self, text):
        self.attributes, self.typed_dicts, self.returns = {}, {}, {}
        for node in ast.parse(text).body:
            if isinstance(node, ast.FunctionDef):
                self.returns[node.name] = node.returns
            elif isinstance(node, ast.ClassDef):
                self._add_class(node)

    def _add_class(self, node):
        fields = {}
        for item in node.body:
            if isinstance(item, ast.AnnAssign) and not ast.unparse(item.annotation).startswith("ClassVar"):
                fields[item.target.id] = item.annotation
            elif isinstance(item, ast.FunctionDef):
                decorators = [ast.unparse(d) for d in item.decorator_list]
                if "property" in decorators:
                    fields[item.name] = item.returns
                elif item.name != "__new__" and not any(d.endswith(".setter") for d in decorators):
                    self.returns[f"{node.name}.{item.name}"] = item.returns
        if any(ast.unparse(base) == "TypedDict" for base in node.bases):
            total = all(ast.unparse(k.value) != "False" for k in node.keywords if k.arg == "total")
            self.typed_dicts[node.name] = (fields, total)
        else:
            self.attributes[node.name] = fields


STUBS = Stub(STUB.read_text(encoding="utf-8"))
EXACT = {"str": str, "float": float, "int": int, "bool": bool, "type": type}


def violations(value, annotation, where, seen):
    """Where `value` is not of the annotated type; adds the classes of the records met to `seen`."""
    text = ast.unparse(annotation)
    if isinstance(annotation, ast.BinOp):
        options = [violations(value, side, where, seen) for side in (annotation.left, annotation.right)]
        return [] if [] in options else [f"{where}: {value!r} is not {text}"]
    if isinstance(annotation, ast.Constant):
        return [] if value is None else [f"{where}: {value!r} is not None"]
    if isinstance(annotation, ast.Subscript):
        container, args = ast.unparse(annotation.value), annotation.slice
        args = args.elts if isinstance(args, ast.Tuple) else [args]
        if container == "list" and type(value) is list:
            return [v for i, item in enumerate(value) for v in violations(item, args[0], f"{where}[{i}]", seen)]
        if container == "tuple" and type(value) is tuple and len(value) == len(args):
            return [v for i, (item, a) in enumerate(zip(value, args)) for v in violations(item, a, f"{where}[{i}]", seen)]
        if container == "dict" and type(value) is dict:
            return [v for key, item in value.items()
                    for v in violations(key, args[0], where, seen) + violations(item, args[1], f"{where}[{key!r}]", seen)]
        return [f"{where}: {value!r} is not {text}"]
    if text == "Any":
        return []
    if text in EXACT:
        return [] if type(value) is EXACT[text] else [f"{where}: {value!r} is not {text}"]
    if text in STUBS.typed_dicts:
        fields, total = STUBS.typed_dicts[text]
        if type(value) is not dict or not set(value) <= set(fields):
            return [f"{where}: {value!r} is not {text}"]
        required = {k for k, a in fields.items() if total and not ast.unparse(a).startswith("NotRequired")}
        missing = [f"{where}: key {k!r} missing" for k in sorted(required - set(value))]
        return missing + [v for k, item in value.items() for v in violations(
            item, fields[k].slice if ast.unparse(fields[k]).startswith("NotRequired") else fields[k],
            f"{where}[{k!r}]", seen)]
    if type(value).__name__ != text or type(value).__module__ != "builtins":
        return [f"{where}: {value!r} is not {text}"]
    seen.add(text)  # every read returns a new object, so records form trees: no cycle to guard
    return [v for attr, a in STUBS.attributes[text].items()
            for v in violations(getattr(value, attr), a, f"{where}.{attr}", seen)]


def test_annotations_hold_for_every_value_the_user_script_meets(tmp_path):
    calls = typed_user_script.run(tmp_path)
    seen, problems = set(), []
    for name, value in calls:
        annotation = STUBS.returns.get(name) or (ast.Name(name) if name in STUBS.attributes else None)
        if annotation is not None:
            problems += violations(value, annotation, name, seen)
    assert problems == []
    # Every class, function and method of the stubs was met, so nothing above passed by absence.
    assert set(STUBS.returns) - {name for name, _ in calls} == set()
    assert set(STUBS.attributes) - seen == set()


@pytest.mark.parametrize("value,annotation,fails", [
    (1, "float", True), (1.0, "int", True), (True, "int", True), (None, "str | None", False),
    ([("a", 1.0)], "list[tuple[str, float]]", False), ([("a", 1)], "list[tuple[str, float]]", True),
    ({"a": 1}, "dict[str, int]", False), ({"a": -1.0}, "dict[str, int]", True),
    ({"valid": True, "filepath": "f", "errors": [{"type": "t", "message": "m"}], "warnings": []},
     "_ValidationResult", False),
    ({"valid": True, "filepath": "f", "errors": [{"type": "t"}], "warnings": []}, "_ValidationResult", True),
    ({"error": "x"}, "_FileDiffResult", False), ({"extra": "x"}, "_FileDiffResult", True),
])
def test_the_value_check_itself(value, annotation, fails):
    assert bool(violations(value, ast.parse(annotation, mode="eval").body, "v", set())) == fails


# ---------------------------------------------------------------- a strict type checker over user code

MISUSE = '''\
import vorn_core as vc

engine = vc.VornEngine()
vc.NodeDefinition(1, 2.0)  # E: arg-type
engine.request_entanglement("A", "B", 0.9)  # E: call-arg
runs: str = engine.simulate("A", "B", 0.9, 1.0, 10).total_runs  # E: assignment
vc.StrategyType.Fastest  # E: attr-defined
vc.VornFile("x").nodes.append(vc.NodeDefinition("A", 1.0))  # E: arg-type
vc.read_topology("p").metadata.name = 5  # E: assignment
vc.CoordinationTopology.star(None)  # E: arg-type
flag: int = vc.validate("f")["errors"][0]["message"]  # E: assignment
vc.diff_topologies(vc.generate_topology("x"), vc.read_topology("p"))  # E: arg-type
class Mine(vc.LinkDefinition): ...  # E: misc
engine.simulate("A", "B", 0.9, 1.0, runs=10, seed=None, strategy=vc.LinkType.Fiber)  # E: arg-type
'''


def test_mypy_strict_accepts_the_user_script_and_rejects_misuse(request, tmp_path):
    api = pytest.importorskip("mypy.api")
    # A fixed place for the file and mypy's cache: a rerun only checks what changed
    # (a fresh directory when pytest runs without its cache plugin).
    store = getattr(request.config, "cache", None)
    cache = store.mkdir("mypy") if store is not None else tmp_path
    misuse = cache / "misuse.py"
    misuse.write_text(MISUSE, encoding="utf-8")
    out, err, _ = api.run(["--strict", "--cache-dir", str(cache), "--show-error-codes", "--no-error-summary",
                           str(ROOT / "tests" / "typed_user_script.py"), str(misuse)])
    # Errors replayed from the cache may name the file by an earlier path: match the file name.
    found = sorted((int(line.split(":")[1]), line.rsplit("[", 1)[1].rstrip("]"))
                   for line in out.splitlines() if ": error: " in line and line.split(":")[0].endswith("misuse.py"))
    expected = sorted((i, line.rsplit("# E: ", 1)[1]) for i, line in enumerate(MISUSE.splitlines(), 1)
                      if "# E: " in line)
    assert (found, [line for line in out.splitlines() if "typed_user_script" in line], err) == (expected, [], "")
