"""`diff` of two .vorn files: the result dict, the summary text for every kind of
change, and the error dict when a file does not load."""
import copy
import json

import pytest

import vorn_core as v

LIST_KEYS = ["nodes_added", "nodes_removed", "nodes_modified", "links_added", "links_removed", "links_modified"]
HEADINGS = {
    "nodes_added": "  Nodes added: ",
    "nodes_removed": "  Nodes removed: ",
    "nodes_modified": "  Nodes modified: ",
    "links_added": "  Links added: ",
    "links_removed": "  Links removed: ",
    "links_modified": "  Links modified: ",
}


def link(src, to, link_id=None, distance=1.0, **extra):
    record = {"from": src, "to": to, "distance_km": distance, "base_fidelity": 0.9, "generation_rate_hz": 1.0}
    if link_id is not None:
        record["id"] = link_id
    record.update(extra)
    return record


BASE = {
    "version": "1.0",
    "metadata": {"name": "net"},
    "nodes": [{"id": "A"}, {"id": "B"}, {"id": "C"}],
    "links": [link("A", "B"), link("B", "C", "L2")],
}


def write(tmp_path, name, document):
    path = tmp_path / name
    path.write_text(document if isinstance(document, str) else json.dumps(document), encoding="utf-8")
    return str(path)


def variant(change, base=BASE):
    doc = copy.deepcopy(base)
    change(doc)
    return doc


def set_in(*keys_and_value):
    """A change that sets doc[k1][k2]... = value."""
    *keys, value = keys_and_value

    def change(doc):
        target = doc
        for key in keys[:-1]:
            target = target[key]
        target[keys[-1]] = value
    return change


def run(tmp_path, first, second):
    p1 = write(tmp_path, "first.vorn", first)
    p2 = write(tmp_path, "second.vorn", second)
    return p1, p2, v.diff(p1, p2)


def expected_summary(p1, p2, result, lines):
    """The summary for `lines`: literal texts, or list names filled in from the
    returned lists (whose order the summary must follow)."""
    out = f"Diff between '{p1}' and '{p2}':\n"
    for line in lines:
        if line in HEADINGS:
            entries = result[line]
            out += f"{HEADINGS[line]}{len(entries)} ({', '.join(entries)})\n"
        else:
            out += line
    return out


CONFIG = "  Config changes:\n"
CONSTRAINTS = "  Constraints changes:\n"
METADATA = "  Metadata changes:\n"
EXTENSIONS = "  Extensions changed\n"


def add_nodes_d_e(doc):
    doc["nodes"] += [{"id": "D"}, {"id": "E"}]
    doc["links"] += [link("C", "D"), link("D", "E")]


CASES = [
    # (id, first, second, expected lists (as sets), summary lines)
    ("self", BASE, BASE, {}, []),
    ("node D added", BASE, variant(lambda d: (d["nodes"].append({"id": "D"}), d["links"].append(link("C", "D")))),
     {"nodes_added": {"D"}, "links_added": {"C->D"}},
     ["  Nodes added: 1 (D)\n", "  Links added: 1 (C->D)\n"]),
    ("two nodes added", BASE, variant(add_nodes_d_e),
     {"nodes_added": {"D", "E"}, "links_added": {"C->D", "D->E"}}, ["nodes_added", "links_added"]),
    ("two nodes removed", variant(add_nodes_d_e), BASE,
     {"nodes_removed": {"D", "E"}, "links_removed": {"C->D", "D->E"}}, ["nodes_removed", "links_removed"]),
    ("capacity given", BASE, variant(set_in("nodes", 0, "memory_capacity", 4)),
     {"nodes_modified": {"A"}}, ["  Nodes modified: 1 (A)\n"]),
    ("lifetime changed", variant(set_in("nodes", 1, "memory_lifetime_ms", 1.5)),
     variant(set_in("nodes", 1, "memory_lifetime_ms", 2)), {"nodes_modified": {"B"}}, ["  Nodes modified: 1 (B)\n"]),
    ("lifetime 250 vs 250.0", variant(set_in("nodes", 1, "memory_lifetime_ms", 250)),
     variant(set_in("nodes", 1, "memory_lifetime_ms", 250.0)), {}, []),
    ("kind given", BASE, variant(set_in("nodes", 2, "node_type", "ground")),
     {"nodes_modified": {"C"}}, ["  Nodes modified: 1 (C)\n"]),
    ("kind changed", variant(set_in("nodes", 2, "node_type", "ground")),
     variant(set_in("nodes", 2, "node_type", "repeater")), {"nodes_modified": {"C"}}, ["  Nodes modified: 1 (C)\n"]),
    ("three nodes modified", BASE,
     variant(lambda d: [n.update(memory_capacity=1) for n in d["nodes"]]),
     {"nodes_modified": {"A", "B", "C"}}, ["nodes_modified"]),
    ("link reversed", BASE, variant(set_in("links", 0, link("B", "A"))),
     {"links_added": {"B->A"}, "links_removed": {"A->B"}},
     ["  Links added: 1 (B->A)\n", "  Links removed: 1 (A->B)\n"]),
    ("link id given", BASE, variant(set_in("links", 0, "id", "L1")),
     {"links_modified": {"A->B"}}, ["  Links modified: 1 (A->B)\n"]),
    ("link id changed", BASE, variant(set_in("links", 1, "id", "L9")),
     {"links_modified": {"B->C"}}, ["  Links modified: 1 (B->C)\n"]),
    ("link kind given", BASE, variant(set_in("links", 0, "link_type", "fiber")),
     {"links_modified": {"A->B"}}, ["  Links modified: 1 (A->B)\n"]),
    ("link kind changed", variant(set_in("links", 0, "link_type", "fiber")),
     variant(set_in("links", 0, "link_type", "satellite")), {"links_modified": {"A->B"}}, ["  Links modified: 1 (A->B)\n"]),
    ("satellite block given", BASE,
     variant(set_in("links", 0, "satellite", {"visibility": 1, "weather_factor": 1})),
     {"links_modified": {"A->B"}}, ["  Links modified: 1 (A->B)\n"]),
    ("satellite weather changed", variant(set_in("links", 0, "satellite", {"visibility": 1, "weather_factor": 1})),
     variant(set_in("links", 0, "satellite", {"visibility": 1, "weather_factor": 0.5})),
     {"links_modified": {"A->B"}}, ["  Links modified: 1 (A->B)\n"]),
    ("distance changed", BASE, variant(set_in("links", 1, "distance_km", 2)),
     {"links_modified": {"B->C"}}, ["  Links modified: 1 (B->C)\n"]),
    ("fidelity changed", BASE, variant(set_in("links", 1, "base_fidelity", 0.91)),
     {"links_modified": {"B->C"}}, ["  Links modified: 1 (B->C)\n"]),
    ("rate changed", BASE, variant(set_in("links", 1, "generation_rate_hz", 3)),
     {"links_modified": {"B->C"}}, ["  Links modified: 1 (B->C)\n"]),
    ("integer and float distance agree", BASE, variant(set_in("links", 1, "distance_km", 1)), {}, []),
    ("later parallel link counts", variant(lambda d: d["links"].insert(0, link("A", "B", distance=5))), BASE, {}, []),
    ("earlier parallel link ignored", BASE, variant(lambda d: d["links"].append(link("A", "B", distance=5))),
     {"links_modified": {"A->B"}}, ["  Links modified: 1 (A->B)\n"]),
    ("two links modified", BASE, variant(lambda d: [x.update(distance_km=9) for x in d["links"]]),
     {"links_modified": {"A->B", "B->C"}}, ["links_modified"]),
    # metadata
    ("name changed", BASE, variant(set_in("metadata", "name", "other")), {},
     [METADATA, "     - name: 'net' -> 'other'\n"]),
    ("description given", BASE, variant(set_in("metadata", "description", "d")), {}, [METADATA]),
    ("author changed", variant(set_in("metadata", "author", "x")), variant(set_in("metadata", "author", "y")), {},
     [METADATA]),
    ("created_at removed", variant(set_in("metadata", "created_at", "2024")), BASE, {}, [METADATA]),
    ("empty description is given", BASE, variant(set_in("metadata", "description", "")), {}, [METADATA]),
    # config
    ("config only in second", BASE, variant(set_in("config", {})), {},
     [CONFIG, "     - alpha_loss: None -> None\n"]),
    ("config with beta only in second", BASE, variant(set_in("config", {"beta_fidelity_decay": 0.1})), {},
     [CONFIG, "     - alpha_loss: None -> None\n"]),
    ("config only in first", variant(set_in("config", {"alpha_loss": 0.2})), BASE, {},
     [CONFIG, "     - alpha_loss: Some(0.2) -> None\n"]),
    ("config with alpha only in second", BASE, variant(set_in("config", {"alpha_loss": 1})), {},
     [CONFIG, "     - alpha_loss: None -> Some(1.0)\n"]),
    ("beta changed alone", variant(set_in("config", {"alpha_loss": 0.2, "beta_fidelity_decay": 1})),
     variant(set_in("config", {"alpha_loss": 0.2, "beta_fidelity_decay": 2})), {}, [CONFIG]),
    ("max_attempts given alone", variant(set_in("config", {})), variant(set_in("config", {"max_attempts": 3})), {},
     [CONFIG]),
    ("alpha changed", variant(set_in("config", {"alpha_loss": 0.2})), variant(set_in("config", {"alpha_loss": 1e-7})), {},
     [CONFIG, "     - alpha_loss: Some(0.2) -> Some(1e-7)\n"]),
    ("alpha 1 vs 1.0", variant(set_in("config", {"alpha_loss": 1})), variant(set_in("config", {"alpha_loss": 1.0})), {},
     []),
    ("both configs empty", variant(set_in("config", {})), variant(set_in("config", {})), {}, []),
    # constraints
    ("constraints only in second", BASE, variant(set_in("constraints", {"fidelity_target": 0.9})), {},
     [CONSTRAINTS, "     - fidelity_target: None -> Some(0.9)\n"]),
    ("empty constraints only in second", BASE, variant(set_in("constraints", {})), {},
     [CONSTRAINTS, "     - fidelity_target: None -> None\n"]),
    ("target changed", variant(set_in("constraints", {"fidelity_target": 0.9})),
     variant(set_in("constraints", {"fidelity_target": 1e16})), {},
     [CONSTRAINTS, "     - fidelity_target: Some(0.9) -> Some(1e16)\n"]),
    ("latency changed alone", variant(set_in("constraints", {"fidelity_target": 0.9, "max_latency_ms": 1})),
     variant(set_in("constraints", {"fidelity_target": 0.9, "max_latency_ms": 2})), {}, [CONSTRAINTS]),
    # extensions
    ("extensions only in second", BASE, variant(set_in("extensions", {})), {}, [EXTENSIONS]),
    ("null custom only in first", variant(set_in("extensions", {"custom": None})), BASE, {}, [EXTENSIONS]),
    ("null custom and no custom agree", variant(set_in("extensions", {"custom": None})),
     variant(set_in("extensions", {})), {}, []),
    ("custom given", variant(set_in("extensions", {})), variant(set_in("extensions", {"custom": 0})), {}, [EXTENSIONS]),
    ("1 vs 1.0", variant(set_in("extensions", {"custom": 1})), variant(set_in("extensions", {"custom": 1.0})), {},
     [EXTENSIONS]),
    ("1.0 vs 1e0", variant(set_in("extensions", {"custom": 1.0})), '{"version": "1.0", "metadata": {"name": "net"}, '
     '"nodes": [{"id": "A"}, {"id": "B"}, {"id": "C"}], "links": [{"from": "A", "to": "B", "distance_km": 1, '
     '"base_fidelity": 0.9, "generation_rate_hz": 1}, {"id": "L2", "from": "B", "to": "C", "distance_km": 1, '
     '"base_fidelity": 0.9, "generation_rate_hz": 1}], "extensions": {"custom": 1e0}}', {}, []),
    ("member order does not matter", variant(set_in("extensions", {"custom": {"a": 1, "b": [True, None]}})),
     variant(set_in("extensions", {"custom": {"b": [True, None], "a": 1}})), {}, []),
    ("nested value differs", variant(set_in("extensions", {"custom": {"a": {"b": [1, 2]}}})),
     variant(set_in("extensions", {"custom": {"a": {"b": [2, 1]}}})), {}, [EXTENSIONS]),
    ("extra member", variant(set_in("extensions", {"custom": {"a": 1}})),
     variant(set_in("extensions", {"custom": {"a": 1, "b": 1}})), {}, [EXTENSIONS]),
    ("string vs number", variant(set_in("extensions", {"custom": "1"})), variant(set_in("extensions", {"custom": 1})),
     {}, [EXTENSIONS]),
    ("false vs null inside", variant(set_in("extensions", {"custom": [False]})),
     variant(set_in("extensions", {"custom": [None]})), {}, [EXTENSIONS]),
]


@pytest.mark.parametrize("first,second,lists,lines", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_diff(tmp_path, first, second, lists, lines):
    p1, p2, result = run(tmp_path, first, second)
    assert list(result) == ["summary"] + LIST_KEYS
    for key in LIST_KEYS:
        assert isinstance(result[key], list)
        assert len(result[key]) == len(set(result[key])), key
        assert set(result[key]) == lists.get(key, set()), key
    assert result["summary"] == expected_summary(p1, p2, result, lines)


def test_every_kind_of_change_in_summary_order(tmp_path):
    def change(doc):
        doc["metadata"]["name"] = "new"
        doc["nodes"][0]["memory_capacity"] = 2          # A modified
        doc["nodes"][2] = {"id": "D"}                   # C removed, D added
        doc["links"] = [link("B", "A", "L0"), link("B", "D", "L2"), link("A", "B", distance=7)]
        doc["config"] = {"alpha_loss": 0.5}
        doc["constraints"] = {"fidelity_target": 0.75}
        doc["extensions"] = {"custom": [1]}
    first = variant(lambda d: (d.update(config={"alpha_loss": 0.25}), d.update(constraints={})))
    p1, p2, result = run(tmp_path, first, variant(change))
    assert {k: set(result[k]) for k in LIST_KEYS} == {
        "nodes_added": {"D"}, "nodes_removed": {"C"}, "nodes_modified": {"A"},
        "links_added": {"B->A", "B->D"}, "links_removed": {"B->C"}, "links_modified": {"A->B"},
    }
    assert result["summary"] == expected_summary(p1, p2, result, [
        METADATA, "     - name: 'net' -> 'new'\n",
        "  Nodes added: 1 (D)\n", "  Nodes removed: 1 (C)\n", "  Nodes modified: 1 (A)\n",
        "links_added", "  Links removed: 1 (B->C)\n", "  Links modified: 1 (A->B)\n",
        CONFIG, "     - alpha_loss: Some(0.25) -> Some(0.5)\n",
        CONSTRAINTS, "     - fidelity_target: None -> Some(0.75)\n",
        EXTENSIONS,
    ])


def test_paths_appear_as_given(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    write(tmp_path, "x.vorn", BASE)
    assert v.diff("x.vorn", "./x.vorn")["summary"] == "Diff between 'x.vorn' and './x.vorn':\n"


# ---------------------------------------------------------------- load failures become the error dict

DISCONNECTED = variant(lambda d: d["nodes"].append({"id": "Z"}))
FAILURES = [
    ("first missing, second bad", None, "{", 1, "IO error: "),
    ("first missing, second fine", None, BASE, 1, "IO error: "),
    ("second missing", BASE, None, 2, "IO error: "),
    ("first breaks a rule", DISCONNECTED, BASE, 1,
     "Validation failed:\nValidation failed.\n\nErrors:\n   - Graph is disconnected with 2 components\n"),
    ("second breaks a rule", BASE, DISCONNECTED, 2,
     "Validation failed:\nValidation failed.\n\nErrors:\n   - Graph is disconnected with 2 components\n"),
    ("second has another version", BASE, variant(set_in("version", "1.1")), 2, "Unsupported vorn version: 1.1"),
    ("first does not parse, second has another version", '{"version": "1.0"}', variant(set_in("version", "1.1")), 1,
     "JSON parse error: missing field `metadata` at line 1 column 18"),
    ("second is not UTF-8", BASE, b"\xff", 2, "IO error: stream did not contain valid UTF-8"),
]


@pytest.mark.parametrize("first,second,failing,tail", [f[1:] for f in FAILURES], ids=[f[0] for f in FAILURES])
def test_error_dict(tmp_path, first, second, failing, tail):
    paths = []
    for name, content in (("first.vorn", first), ("second.vorn", second)):
        path = tmp_path / name
        if isinstance(content, bytes):
            path.write_bytes(content)
        elif content is not None:
            write(tmp_path, name, content)
        paths.append(str(path))
    result = v.diff(*paths)
    assert list(result) == ["error"]
    prefix = "Failed to load " + paths[failing - 1] + ": "
    message = result["error"]
    if tail.endswith(": "):
        assert message.startswith(prefix + tail) and len(message) > len(prefix + tail)
    else:
        assert message == prefix + tail


@pytest.mark.parametrize("args,name", [((1, "b"), "file1"), (("a", None), "file2")])
def test_paths_must_be_text(args, name):
    with pytest.raises(TypeError, match=f"^argument '{name}': '[a-zA-Z]+' object cannot be converted to 'PyString'$"):
        v.diff(*args)
