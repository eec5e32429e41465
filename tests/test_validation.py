"""Validation of .vorn files: the dict that `validate` returns, every rule's texts
and order, and the precedence of load failures."""
import json

import pytest

import vorn_core as v


def link(src, to, link_id=None, distance=1.0, fidelity=0.9, rate=1.0):
    record = {"from": src, "to": to, "distance_km": distance, "base_fidelity": fidelity, "generation_rate_hz": rate}
    if link_id is not None:
        record["id"] = link_id
    return record


def document(nodes, links, **extra):
    doc = {"version": "1.0", "metadata": {"name": "n"}, "nodes": [{"id": n} for n in nodes], "links": links}
    doc.update(extra)
    return doc


def write(tmp_path, content, name="net.vorn"):
    path = tmp_path / name
    if isinstance(content, bytes):
        path.write_bytes(content)
    elif isinstance(content, str):
        path.write_text(content, encoding="utf-8")
    else:
        path.write_text(json.dumps(content), encoding="utf-8")
    return str(path)


def error(type_text, message):
    return {"type": type_text, "message": message}


DUP_A = error("DuplicateNodeId: A", "Duplicate node ID: A")


def disconnected(count):
    return error(f"GraphDisconnected: {count} components", f"Graph is disconnected with {count} components")


RULES = [
    ("duplicate id, no links", ["A", "A"], [], [DUP_A, disconnected(2)]),
    ("three nodes with one id", ["A", "A", "A"], [], [DUP_A, DUP_A, disconnected(3)]),
    ("duplicate id joined by a link", ["A", "B", "A"], [link("A", "B")], [DUP_A, disconnected(2)]),
    ("unknown node without link id", ["A"], [link("A", "X")],
     [error("UnknownNodeReference: X", "Unknown node reference 'X'")]),
    ("unknown node with link id", ["A", "B"], [link("A", "B"), link("B", "C", "L2")],
     [error("UnknownNodeReference: C[L2]", "Unknown node reference 'C' in link 'L2'")]),
    ("both ends unknown", ["A"], [link("X", "Y", "L")],
     [error("UnknownNodeReference: X[L]", "Unknown node reference 'X' in link 'L'"),
      error("UnknownNodeReference: Y[L]", "Unknown node reference 'Y' in link 'L'")]),
    ("links but no nodes", [], [link("X", "Y")],
     [error("UnknownNodeReference: X", "Unknown node reference 'X'"),
      error("UnknownNodeReference: Y", "Unknown node reference 'Y'")]),
    ("self-loops with and without id", ["A"], [link("A", "A", "L1"), link("A", "A")],
     [error("SelfLoop: L1", "Self-loop detected in link 'L1'"),
      error("SelfLoop: unknown", "Self-loop detected in link 'unknown'")]),
    ("self-loop on an unknown node", ["A"], [link("Q", "Q", "S")],
     [error("SelfLoop: S", "Self-loop detected in link 'S'"),
      error("UnknownNodeReference: Q[S]", "Unknown node reference 'Q' in link 'S'"),
      error("UnknownNodeReference: Q[S]", "Unknown node reference 'Q' in link 'S'")]),
    ("negative distance", ["A", "B"], [link("A", "B", "L1", distance=-5)],
     [error("InvalidDistance: -5 km for link 'L1'", "Invalid distance -5 km for link 'L1' (must be > 0)")]),
    ("zero distance without id", ["A", "B"], [link("A", "B", distance=0)],
     [error("InvalidDistance: 0 km for link 'unknown'", "Invalid distance 0 km for link 'unknown' (must be > 0)")]),
    ("fractional negative distance", ["A", "B"], [link("A", "B", "L", distance=-0.25)],
     [error("InvalidDistance: -0.25 km for link 'L'", "Invalid distance -0.25 km for link 'L' (must be > 0)")]),
    ("zero fidelity", ["A", "B"], [link("A", "B", "L1", fidelity=0)],
     [error("InvalidFidelity: 0 for link 'L1'", "Invalid fidelity 0 for link 'L1' (must be 0 < x <= 1)")]),
    ("fidelity above one", ["A", "B"], [link("A", "B", "L1", fidelity=1.2)],
     [error("InvalidFidelity: 1.2 for link 'L1'", "Invalid fidelity 1.2 for link 'L1' (must be 0 < x <= 1)")]),
    ("negative fidelity without id", ["A", "B"], [link("A", "B", fidelity=-3)],
     [error("InvalidFidelity: -3 for link 'unknown'", "Invalid fidelity -3 for link 'unknown' (must be 0 < x <= 1)")]),
    ("fidelity just above one", ["A", "B"], [link("A", "B", "L", fidelity=1.0000000000000002)],
     [error("InvalidFidelity: 1.0000000000000002 for link 'L'",
            "Invalid fidelity 1.0000000000000002 for link 'L' (must be 0 < x <= 1)")]),
    ("zero rate", ["A", "B"], [link("A", "B", "L1", rate=0)],
     [error("InvalidGenerationRate: 0 Hz for link 'L1'", "Invalid generation rate 0 Hz for link 'L1' (must be > 0)")]),
    ("negative rate", ["A", "B"], [link("A", "B", "L1", rate=-1.5)],
     [error("InvalidGenerationRate: -1.5 Hz for link 'L1'",
            "Invalid generation rate -1.5 Hz for link 'L1' (must be > 0)")]),
    ("three components", ["A", "B", "C", "D"], [link("A", "B")], [disconnected(3)]),
    ("two components", ["A", "B", "C"], [link("A", "B")], [disconnected(2)]),
    ("link to an unknown node does not connect", ["A", "B"], [link("A", "X"), link("X", "B")],
     [error("UnknownNodeReference: X", "Unknown node reference 'X'"),
      error("UnknownNodeReference: X", "Unknown node reference 'X'"), disconnected(2)]),
    ("every test on one link", ["A", "A", "B"],
     [link("A", "A", "L1", distance=-5, fidelity=0, rate=0), link("X", "X"),
      link("A", "C", "L2", distance=0, fidelity=1.2, rate=-1.5), link("B", "A", "L4")],
     [DUP_A,
      error("SelfLoop: L1", "Self-loop detected in link 'L1'"),
      error("InvalidDistance: -5 km for link 'L1'", "Invalid distance -5 km for link 'L1' (must be > 0)"),
      error("InvalidFidelity: 0 for link 'L1'", "Invalid fidelity 0 for link 'L1' (must be 0 < x <= 1)"),
      error("InvalidGenerationRate: 0 Hz for link 'L1'", "Invalid generation rate 0 Hz for link 'L1' (must be > 0)"),
      error("SelfLoop: unknown", "Self-loop detected in link 'unknown'"),
      error("UnknownNodeReference: X", "Unknown node reference 'X'"),
      error("UnknownNodeReference: X", "Unknown node reference 'X'"),
      error("UnknownNodeReference: C[L2]", "Unknown node reference 'C' in link 'L2'"),
      error("InvalidDistance: 0 km for link 'L2'", "Invalid distance 0 km for link 'L2' (must be > 0)"),
      error("InvalidFidelity: 1.2 for link 'L2'", "Invalid fidelity 1.2 for link 'L2' (must be 0 < x <= 1)"),
      error("InvalidGenerationRate: -1.5 Hz for link 'L2'",
            "Invalid generation rate -1.5 Hz for link 'L2' (must be > 0)"),
      disconnected(2)]),
]


@pytest.mark.parametrize("nodes,links,errors", [r[1:] for r in RULES], ids=[r[0] for r in RULES])
def test_rule_findings(tmp_path, nodes, links, errors):
    path = write(tmp_path, document(nodes, links))
    result = v.validate(path)
    assert list(result) == ["valid", "filepath", "errors", "warnings"]
    assert result == {"valid": False, "filepath": path, "errors": errors, "warnings": []}
    for entry in result["errors"]:
        assert list(entry) == ["type", "message"]
    # loading the same file fails with the report's text
    with pytest.raises(RuntimeError) as info:
        v.load_vorn_file(path)
    lines = "".join("   - " + e["message"] + "\n" for e in errors)
    assert str(info.value) == "Failed to load " + path + ": Validation failed:\nValidation failed.\n\nErrors:\n" + lines


VALID = [
    ("no nodes", [], []),
    ("one node", ["A"], []),
    ("fidelity exactly one", ["A", "B"], [link("A", "B", "L1", fidelity=1.0)]),
    ("tiny positive values", ["A", "B"], [link("A", "B", distance=1e-300, fidelity=1e-300, rate=1e-300)]),
    ("parallel links and a repeated link id", ["A", "B"], [link("A", "B", "L"), link("B", "A", "L"), link("A", "B")]),
    ("reversed links connect", ["A", "B", "C"], [link("B", "A"), link("C", "B")]),
]


@pytest.mark.parametrize("nodes,links", [r[1:] for r in VALID], ids=[r[0] for r in VALID])
def test_valid_files(tmp_path, nodes, links):
    path = write(tmp_path, document(nodes, links))
    result = v.validate(path)
    assert list(result) == ["valid", "filepath", "errors", "warnings"]
    assert result == {"valid": True, "filepath": path, "errors": [], "warnings": []}
    assert type(result["valid"]) is bool
    assert len(v.load_vorn_file(path).nodes) == len(nodes)


def test_fields_no_rule_looks_at_pass(tmp_path):
    doc = document(["A", "B"], [
        dict(link("A", "B", "L1"), link_type="satellite"),
        dict(link("B", "A", "L2"), satellite={"visibility": -1, "weather_factor": -2}),
    ])
    doc["nodes"][0]["memory_lifetime_ms"] = -10
    doc["config"] = {"alpha_loss": -1, "max_attempts": 0}
    doc["constraints"] = {"fidelity_target": 7, "max_latency_ms": -1}
    assert v.validate(write(tmp_path, doc))["valid"] is True


def test_validate_returns_new_objects(tmp_path):
    path = write(tmp_path, document(["A", "A"], []))
    first, second = v.validate(path), v.validate(path)
    assert first == second and first is not second and first["errors"] is not second["errors"]


# ---------------------------------------------------------------- precedence of load failures

NOT_UTF8_NOR_JSON = b'{"version": "2.0", \xff'
BAD_JSON = '{"version": "2.0", "nodes": [{"id": "A"}, {"id": "A"}]'
BAD_VERSION = document(["A", "A"], [link("A", "A")], version="2.0")

PRECEDENCE = [
    ("unreadable beats parse", NOT_UTF8_NOR_JSON, "IO error: stream did not contain valid UTF-8"),
    ("parse beats version", BAD_JSON, "JSON parse error: EOF while parsing an object at line 1 column 54"),
    ("schema beats version", '{"version": "2.0", "metadata": {}}', "JSON parse error: missing field `name` at line 1 column 33"),
    ("version beats rules", BAD_VERSION, "Unsupported vorn version: 2.0"),
    ("version 1.00", document(["A"], [], version="1.00"), "Unsupported vorn version: 1.00"),
    ("version with a space", document(["A"], [], version="1.0 "), "Unsupported vorn version: 1.0 "),
    ("empty version", document(["A"], [], version=""), "Unsupported vorn version: "),
]


@pytest.mark.parametrize("content,tail", [p[1:] for p in PRECEDENCE], ids=[p[0] for p in PRECEDENCE])
@pytest.mark.parametrize("load", [v.load_vorn_file, v.validate, v.from_vorn_file], ids=["load", "validate", "from"])
def test_load_failures_raise_for_every_loader(tmp_path, content, tail, load):
    path = write(tmp_path, content)
    with pytest.raises(RuntimeError) as info:
        load(path)
    assert str(info.value) == "Failed to load " + path + ": " + tail


@pytest.mark.parametrize("load", [v.load_vorn_file, v.validate, v.from_vorn_file])
def test_missing_file_and_directory_are_io_failures(tmp_path, load):
    for path in (str(tmp_path / "absent.vorn"), str(tmp_path)):
        with pytest.raises(RuntimeError) as info:
            load(path)
        assert str(info.value).startswith("Failed to load " + path + ": IO error: ")


@pytest.mark.parametrize("load", [v.load_vorn_file, v.validate, v.from_vorn_file])
def test_path_must_be_text(load):
    with pytest.raises(TypeError, match="^argument 'filepath': 'bytes' object cannot be converted to 'PyString'$"):
        load(b"net.vorn")


def test_path_appears_as_given(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    write(tmp_path, document(["A", "A"], []), "rel.vorn")
    assert v.validate("./rel.vorn")["filepath"] == "./rel.vorn"
    with pytest.raises(RuntimeError) as info:
        v.load_vorn_file("./rel.vorn")
    assert str(info.value).startswith("Failed to load ./rel.vorn: Validation failed:\n")


def test_load_failure_holds_both_validation_texts(tmp_path):
    path = write(tmp_path, document(["A", "B", "C"], [link("A", "B")]))
    with pytest.raises(RuntimeError) as info:
        v.load_vorn_file(path)
    assert str(info.value) == (
        "Failed to load " + path + ": Validation failed:\nValidation failed.\n\nErrors:\n"
        "   - Graph is disconnected with 2 components\n")


# ---------------------------------------------------------------- docstrings

def test_docstrings():
    assert v.validate.__doc__ == (
        "Validate a .vorn file and return structured results as a Python dict.\n\n"
        "Returns:\n"
        "    dict with keys:\n"
        "        - \"valid\" (bool): True if the file is valid\n"
        "        - \"filepath\" (str): The path that was validated\n"
        "        - \"errors\" (list[dict]): List of error dicts with \"type\" and \"message\" keys\n"
        "        - \"warnings\" (list[dict]): List of warning dicts with \"message\" and optional \"path\" keys")
    assert v.load_vorn_file.__doc__ == (
        "Load a .vorn file from disk and return it as a VornFile object.\n\n"
        "Validates version (must be \"1.0\") and graph connectivity before returning.\n"
        "Raises RuntimeError on IO errors, parse errors, or validation failures.")
    assert v.from_vorn_file.__doc__ == (
        "Classmethod alternative to `VornEngine(config?)`: load a .vorn file and return an initialized engine.\n"
        "This is the \"from_file\" pattern \u2014 one call to start simulating.")
    assert v.save_vorn_file_wrapper.__doc__.splitlines()[0] == (
        "Save a PyVornFile to disk (module-level save alias for PyVornFile.save())")
