"""Where `validate_with_positions` places each finding (the record it is about
and where that record starts in the file), and the load failures it returns
instead of raising."""
import pytest

import vorn_core as v

APPENDED = ["record", "line", "column"]

# Records as objects and as arrays, CRLF line ends, a tab and characters of
# several bytes before the records.
MIXED = (
    '{"version": "1.0", "metadata": {"name": "ü"},\r\n'
    ' "nodes": [{"id": "é"}, ["B", null, null, null],\r\n'
    '\t{"id": "é"}],\r\n'
    ' "links": [\r\n'
    '  ["L1", "é", "é", 1, 0.9, 1, null, null],\r\n'
    '  {"from": "B", "to": "Z", "distance_km": -1, "base_fidelity": 0.9, "generation_rate_hz": 1}]}'
)


def write(tmp_path, text, name="net.vorn"):
    path = tmp_path / name
    path.write_bytes(text.encode("utf-8"))
    return str(path)


def designed_part(result):
    """The result with the appended keys taken out: what `validate` returns."""
    errors = [{key: value for key, value in entry.items() if key not in APPENDED} for entry in result["errors"]]
    return {key: errors if key == "errors" else value for key, value in result.items() if key != "load_error"}


def test_each_finding_names_its_record_and_where_it_starts(tmp_path):
    path = write(tmp_path, MIXED)
    result = v.validate_with_positions(path)
    assert designed_part(result) == v.validate(path)
    assert list(result) == ["valid", "filepath", "errors", "warnings", "load_error"]
    assert result["load_error"] is None
    for entry in result["errors"]:
        assert list(entry) == ["type", "message", *APPENDED]
    # Counted by hand: (record, line, column) of each finding in the rules' order.
    assert [(e["type"].split(":")[0], e["record"], e["line"], e["column"]) for e in result["errors"]] == [
        ("DuplicateNodeId", 2, 3, 2),
        ("SelfLoop", 0, 5, 3),
        ("UnknownNodeReference", 1, 6, 3),
        ("InvalidDistance", 1, 6, 3),
        ("GraphDisconnected", None, 2, 11),
    ]


def test_a_valid_file_has_nothing_to_place(tmp_path):
    path = write(tmp_path, '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [{"id": "A"}], "links": []}')
    assert v.validate_with_positions(path) == {**v.validate(path), "load_error": None}


FAILURES = [
    ("empty file", "", 1, 0),
    ("wrong type", '{\n  "version": 5}', 2, 14),
    ("after CRLF", '{\r\n"version": "1.0", "metadata": {}}', 2, 32),
    ("other version", '{"metadata": {"name": "n"},\n  "version": "2.0", "nodes": [], "links": []}', 2, 14),
]


@pytest.mark.parametrize("text,line,column", [f[1:] for f in FAILURES], ids=[f[0] for f in FAILURES])
def test_load_failures_are_returned_with_their_place(tmp_path, text, line, column):
    path = write(tmp_path, text)
    with pytest.raises(RuntimeError) as raised:
        v.validate(path)
    result = v.validate_with_positions(path)
    assert result == {"valid": False, "filepath": path, "errors": [], "warnings": [], "load_error": {
        "message": str(raised.value).removeprefix(f"Failed to load {path}: "), "line": line, "column": column}}


def test_a_file_that_cannot_be_read_has_no_place(tmp_path):
    path = str(tmp_path / "missing.vorn")
    failure = v.validate_with_positions(path)["load_error"]
    assert failure["message"].startswith("IO error: ")
    assert failure["line"] is None and failure["column"] is None
