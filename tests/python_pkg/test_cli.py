"""The `vorn` command line, run in-process through main(argv)."""
import json
import pathlib

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn
import vorn_core
from vorn import cli

BAD = """{
  "version": "1.0",
  "metadata": {"name": "bad"},
  "nodes": [
    {"id": "A"},
    {"id": "B"},
    {"id": "A"},
    {"id": "C"}
  ],
  "links": [
    {"id": "L1", "from": "A", "to": "A", "distance_km": 5, "base_fidelity": 0.9, "generation_rate_hz": 10},
    {"from": "A", "to": "X", "distance_km": -5, "base_fidelity": 1.2, "generation_rate_hz": 0},
    ["L3", "B", "Y", 3.0, 0.9, 10.0, null, null]
  ]
}"""


@pytest.fixture
def files(tmp_path):
    good = tmp_path / "good.vorn"
    vorn.builtin("telecom_backbone").save(good)
    changed = tmp_path / "changed.vorn"
    changed.write_text(good.read_text().replace('"distance_km": 80.0', '"distance_km": 85.0'))
    (tmp_path / "bad.vorn").write_text(BAD)
    (tmp_path / "parse.vorn").write_text('{\n  "version": "1.0",\n  "metadata": {"name": 3}\n}')
    (tmp_path / "v2.vorn").write_text(good.read_text().replace('"version": "1.0"', '"version": "2.0"'))
    paths = {name: str(tmp_path / f"{name}.vorn") for name in ("good", "changed", "bad", "parse", "v2", "missing")}
    snapshots = {"snap": str(tmp_path / "snap.json"), "snap2": str(tmp_path / "snap2.json")}
    network = vorn.Network.from_file(good)
    vorn_core.save_topology(network.engine(), snapshots["snap"])
    vorn_core.save_topology(network.scaled({"distance_km": 2.0}).engine(), snapshots["snap2"])
    return {**paths, **snapshots, "png": str(tmp_path / "out.png"), "folder": str(tmp_path)}


def run(argv, files, capsys):
    code = cli.main([arg.format(**files) for arg in argv])
    out, err = capsys.readouterr()
    return code, out, err


REQUEST = ["--fidelity", "0.9", "--budget", "50", "--runs", "200", "--seed", "1"]
CASES = [
    (["validate", "{good}"], 0, ["good.vorn: valid"]),
    (["validate", "{parse}"], 1, ["parse.vorn:3:24: JSON parse error: invalid type: integer `3`"]),
    (["validate", "{v2}"], 1, ["v2.vorn:2:14: Unsupported vorn version: 2.0"]),
    (["validate", "{missing}"], 1, ["missing.vorn: IO error: "]),
    (["info", "{good}"], 0, ["6 nodes, 7 links (0 satellite)", "F - E"]),
    (["info", "builtin:hybrid_satellite_fiber"], 0, ["4 nodes, 4 links (2 satellite)"]),
    (["route", "{good}", "A", "E"], 0, ["route A -> B -> F -> E", "3 hops, 6005 km"]),
    (["route", "{good}", "A", "E", "--fidelity", "0.8"], 0, ["route A -> B -> C -> D -> E", "falls back"]),
    (["route", "{good}", "A", "E", "--strategy", "HighestSuccess"], 0, ["A -> B -> F -> C -> D -> E"]),
    (["route", "{good}", "A", "Q"], 2, ["unknown node 'Q'"]),
    (["simulate", "{good}", "A", "C", *REQUEST], 0, ["runs             200 (seeds 1 to 200)", "success rate"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--seed", str(2**64 - 1)], 0, [f"(seeds {2**64 - 1} to 198)"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--json"], 0, ['"total_runs": 200']),
    (["simulate", "{good}", "A", "C", "--fidelity", "0.9", "--budget", "5"], 2, ["required: --runs"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--runs", "-1"], 2, ["-1 is not a run count"]),
    (["simulate", "{bad}", "A", "C", *REQUEST], 1, ["bad.vorn is not a valid network file:\n", "bad.vorn:7:5: Dup"]),
    (["simulate", "builtin:nope", "A", "C", *REQUEST], 2, ["Invalid topology name"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--strategy", "Fastest"], 2, ["invalid choice: 'Fastest'"]),
    (["sweep", "{good}", "A", "C", "--fidelity", "0.8", "0.9", "--budget", "50", "--runs", "20", "--workers", "1"], 0,
     ["from_node,to,fidelity_target,max_latency_ms,strategy,success_rate", "\nA,C,0.9,50.0,,"]),
    (["sweep", "{good}", "A", "C", "--fidelity", "0.8", "0.9", "--budget", "50", "--runs", "20", "--workers", "1",
      "--plot", "{png}"], 0, ["wrote {png}"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--plot", "{png}"], 0, ["wrote {png}"]),
    (["compare", "repeater_chain", "--runs", "20", "--workers", "1", "--plot", "{png}"], 0, ["wrote {png}"]),
    (["sweep", "{good}", "A", "C", "--fidelity", "0.8", "--budget", "50"], 2, ["required: --runs"]),
    (["diff", "{good}", "{changed}"], 0, ["Links modified: 1 (B->C)"]),
    (["diff", "{good}", "{changed}", "--json"], 0, ['"links_modified": [\n    "B->C"']),
    (["diff", "{good}", "{bad}"], 1, ["bad.vorn is not a valid network file:\n", "bad.vorn:11:5: Self-loop"]),
    (["diff", "{snap}", "{snap2}"], 0, ["0 nodes modified. 0 links added, 0 links removed, 7 links modified."]),
    (["diff", "{snap}", "{snap2}", "--json"], 0, ['"links_modified": [\n    "A->B"']),
    (["diff", "{snap}", "{missing}"], 1, ["missing.vorn: Failed to read topology file: "]),
    (["diff", "{good}", "{snap}"], 1, ["good.vorn: Failed to parse topology JSON: "]),
    (["compare", "repeater_chain", "telecom_backbone:A:C", "--runs", "50", "--workers", "1"], 0,
     ["N0->N3", "Evaluated 2 topologies"]),
    (["compare", "telecom_backbone:A:Z", "--runs", "10"], 2, ["unknown node 'Z' in telecom_backbone; its nodes: A, B"]),
    (["compare", "nonsense"], 2, ["no default endpoints for 'nonsense'"]),
    (["frobnicate"], 2, ["invalid choice: 'frobnicate'"]),
    (["--version"], 0, [f"vorn {vorn.__version__}"]),
    (["validate", "builtin:telecom_backbone", "builtin:repeater_chain"], 0,
     ["builtin:telecom_backbone: valid\nbuiltin:repeater_chain: valid"]),
    (["validate", "builtin:nope"], 2, ["Invalid topology name"]),
    (["info", "{bad}"], 1, ["bad.vorn:7:5: Duplicate node ID: A"]),
    (["diff", "builtin:telecom_backbone", "{changed}"], 0,
     ["Diff between 'builtin:telecom_backbone' and '{changed}':\n", "B->C: distance_km 80.0 -> 85.0"]),
    (["diff", "{good}", "{good}"], 0, ["':\n  no differences\n"]),
    (["diff", "builtin:repeater_chain", "{snap}"], 1, ["snap.json:41:5: JSON parse error: missing field `from`"]),
    (["compare", "nope:A:B"], 2, ["unknown topology 'nope'; the built-in topologies: fiber_only, "]),
    (["compare", "repeater_chain:N0"], 2, ["must read NAME or NAME:FROM:TO"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--runs", "0"], 2, ["0 is not a run count of 1 or more"]),
    (["sweep", "{good}", "A", "C", "--fidelity", "0.9", "--budget", "5", "--runs", "0"], 2, ["0 is not a run count"]),
    (["compare", "--runs", "0"], 2, ["0 is not a run count of 1 or more"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--plot", "{folder}"], 2, ["argument --plot: {folder} is a folder"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--plot", "{folder}/no/x.png"], 2, ["there is no folder"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--plot", "{folder}/x.docx"], 2, ["cannot draw .docx files; use one"]),
    (["simulate", "{good}", "A", "C", *REQUEST, "--plot", "{folder}/pic"], 0, ["wrote {folder}/pic.png"]),
    (["sweep", "{good}", "A", "C", "--fidelity", "0.9", "--budget", "5", "--runs", "5", "-o", "{folder}"], 2,
     ["argument --output: {folder} is a folder"]),
    (["compare", "--runs", "5", "--plot", "{folder}/no/x.png"], 2, ["there is no folder"]),
    ([], 2, ["required: COMMAND"]),
]


@pytest.mark.parametrize("argv, code, fragments", CASES, ids=[" ".join(c[0][:2]) for c in CASES])
def test_command(argv, code, fragments, files, capsys):
    got, out, err = run(argv, files, capsys)
    assert got == code, (out, err)
    for fragment in fragments:
        assert fragment.format(**files) in out + err
    assert "Traceback" not in out + err
    if code == 2:  # usage errors: one line on stderr, nothing on stdout
        assert out == "" and len(err.strip().splitlines()) == 1


def test_validate_places_every_finding(files, capsys):
    code, out, _ = run(["validate", "{good}", "{bad}"], files, capsys)
    bad = files["bad"]
    assert code == 1
    assert out.splitlines() == [
        f"{files['good']}: valid",
        f"{bad}:7:5: Duplicate node ID: A",
        f"{bad}:11:5: Self-loop detected in link 'L1'",
        f"{bad}:12:5: Unknown node reference 'X'",
        f"{bad}:12:5: Invalid distance -5 km for link 'unknown' (must be > 0)",
        f"{bad}:12:5: Invalid fidelity 1.2 for link 'unknown' (must be 0 < x <= 1)",
        f"{bad}:12:5: Invalid generation rate 0 Hz for link 'unknown' (must be > 0)",
        f"{bad}:13:5: Unknown node reference 'Y' in link 'L3'",
        f"{bad}:4:12: Graph is disconnected with 4 components",
    ]


@pytest.mark.parametrize("command", [None, "validate", "info", "route", "simulate", "sweep", "diff", "compare"])
def test_help(command, capsys):
    assert cli.main([command, "--help"] if command else ["--help"]) == 0
    assert f"usage: vorn {command or ''}".strip() in capsys.readouterr().out


NODE = st.fixed_dictionaries({"id": st.sampled_from("ABC")})
LINK = st.fixed_dictionaries({
    "id": st.sampled_from([None, "L1", "L2"]), "from": st.sampled_from("ABCX"), "to": st.sampled_from("ABCX"),
    "distance_km": st.sampled_from([5.0, 0.0, -1.0]), "base_fidelity": st.sampled_from([0.9, 1.0, 1.2, 0.0]),
    "generation_rate_hz": st.sampled_from([10.0, 0.0]),
})


def could_cause(finding, record, kind, earlier_ids, node_ids):
    """Whether this record, by the validation rules, raises this finding text."""
    if kind == "node":
        return finding == f"DuplicateNodeId: {record['id']}" and record["id"] in earlier_ids
    label = record["id"] or "unknown"
    suffix = f"[{record['id']}]" if record["id"] else ""
    return (finding == f"SelfLoop: {label}" and record["from"] == record["to"]
            or any(finding == f"UnknownNodeReference: {end}{suffix}" and end not in node_ids
                   for end in (record["from"], record["to"]))
            or finding.startswith("InvalidDistance") and finding.endswith(f"'{label}'") and record["distance_km"] <= 0
            or finding.startswith("InvalidFidelity") and finding.endswith(f"'{label}'")
            and not 0 < record["base_fidelity"] <= 1
            or finding.startswith("InvalidGenerationRate") and finding.endswith(f"'{label}'")
            and record["generation_rate_hz"] <= 0)


@settings(max_examples=40, deadline=None)
@given(nodes=st.lists(NODE, max_size=4), links=st.lists(LINK, max_size=5))
def test_every_finding_points_at_a_record_that_causes_it(nodes, links, tmp_path_factory):
    # One record per line: line 5 + i is node i, the links follow the nodes.
    lines = ['{', '  "version": "1.0",', '  "metadata": {"name": "p"},', '  "nodes": [']
    lines += [json.dumps(node) + ("," if i < len(nodes) - 1 else "") for i, node in enumerate(nodes)]
    lines += ['  ],', '  "links": [']
    lines += [json.dumps({k: v for k, v in link.items() if v is not None}) + ("," if i < len(links) - 1 else "")
              for i, link in enumerate(links)]
    lines += ['  ]', '}']
    path = tmp_path_factory.mktemp("p") / "p.vorn"
    path.write_text("\n".join(lines))
    records = {5 + i: ("node", node) for i, node in enumerate(nodes)}
    records.update({7 + len(nodes) + i: ("link", link) for i, link in enumerate(links)})
    node_ids = {node["id"] for node in nodes}
    errors = vorn_core.validate_with_positions(str(path))["errors"]
    findings = [error["type"] for error in errors]
    places = [(error["line"], error["column"]) for error in errors]
    used = {}
    for finding, place in zip(findings, places):
        assert place is not None, finding
        if finding.startswith("GraphDisconnected"):
            assert place[0] == 4
            continue
        kind, record = records[place[0]]
        earlier = {n["id"] for line, (k, n) in records.items() if k == "node" and line < place[0]}
        assert could_cause(finding, record, kind, earlier, node_ids), (finding, record)
        used[(finding, place)] = used.get((finding, place), 0) + 1
        twice = finding.startswith("UnknownNodeReference") and record.get("from") == record.get("to")
        assert used[(finding, place)] <= (2 if twice else 1)


def test_bad_output_paths_stop_before_any_work(files, capsys, monkeypatch):
    ran = []
    monkeypatch.setattr(vorn.Network, "from_file", lambda *a: ran.append(a))
    for argv in (["simulate", "{good}", "A", "C", *REQUEST, "--plot", "{folder}"],
                 ["sweep", "{good}", "A", "C", "--fidelity", "0.9", "--budget", "5", "--runs", "5", "-o", "{folder}"]):
        assert run(argv, files, capsys)[0] == 2
    assert ran == []
    assert (pathlib.Path(files["folder"]) / "pic.png").exists() is False


def test_json_has_no_nan(files, capsys):
    """JSON has no NaN: a 0 % ensemble's undefined mean is null, and the
    output parses with a strict reader."""
    code, out, _ = run(["simulate", "{good}", "A", "C", "--fidelity", "1", "--budget", "0", "--runs", "3",
                        "--seed", "0", "--json"], files, capsys)
    assert code == 0
    data = json.loads(out, parse_constant=lambda name: pytest.fail(f"{name} in JSON"))
    assert data["total_runs"] == 3
    assert cli._finite({"a": [float("nan"), 1.0, float("inf")], "b": -float("inf")}) == {"a": [None, 1.0, None],
                                                                                           "b": None}


def test_diff_names_every_changed_field(tmp_path, capsys):
    first = vorn.builtin("hybrid_satellite_fiber").to_vorn_file("x")
    second = vorn.builtin("hybrid_satellite_fiber").to_vorn_file("x")
    links = second.links
    satellite = next(link for link in links if link.satellite is not None)
    first_id = satellite.id
    satellite.satellite = vorn_core.VornSatelliteExtension(satellite.satellite.visibility, 0.5)
    satellite.id = "renamed"
    fiber = next(link for link in links if link.satellite is None)
    fiber.link_type = vorn_core.VornLinkType.Satellite
    second.links = links
    nodes = second.nodes
    nodes[0].memory_capacity = 4
    second.nodes = nodes
    first.save(str(tmp_path / "a.vorn"))
    second.save(str(tmp_path / "b.vorn"))
    assert cli.main(["diff", str(tmp_path / "a.vorn"), str(tmp_path / "b.vorn")]) == 0
    out = capsys.readouterr().out
    sat_key, fiber_key = f"{satellite.src}->{satellite.to}", f"{fiber.src}->{fiber.to}"
    assert f"     - {sat_key}: id {first_id!r} -> 'renamed'\n" in out
    assert f"     - {sat_key}: satellite visibility " in out and "weather_factor 0.5\n" in out
    assert f"     - {fiber_key}: link_type fiber -> satellite\n" in out
    assert f"     - {nodes[0].id}: memory_capacity not given -> 4\n" in out
    assert out.count("     - ") == 4
    assert cli.main(["diff", str(tmp_path / "a.vorn"), str(tmp_path / "b.vorn"), "--json"]) == 0
    listed = json.loads(capsys.readouterr().out)["fields_changed"]
    assert {(change["key"], change["field"]) for change in listed} == {
        (sat_key, "id"), (sat_key, "satellite"), (fiber_key, "link_type"), (nodes[0].id, "memory_capacity")}


def test_compare_json_gives_each_topology_its_endpoints(capsys):
    assert cli.main(["compare", "repeater_chain", "telecom_backbone:A:C", "--runs", "5", "--workers", "1",
                     "--json"]) == 0
    data = json.loads(capsys.readouterr().out)
    assert [(r["from_node"], r["to_node"]) for r in data["results"]] == [("N0", "N3"), ("A", "C")]
    assert data["source_node"] is None and data["target_node"] is None
    assert cli.main(["compare", "repeater_chain", "repeater_chain:N0:N3", "--runs", "5", "--workers", "1",
                     "--json"]) == 0
    data = json.loads(capsys.readouterr().out)
    assert (data["source_node"], data["target_node"]) == ("N0", "N3")


MEMBERS = st.sampled_from(["version", "metadata", "nodes", "links", "name", "id", "from", "to", "distance_km",
                           "base_fidelity", "generation_rate_hz", "link_type", "memory_capacity", "node_type"])
VALUES = st.one_of(st.none(), st.booleans(), st.integers(-5, 5), st.floats(-2, 2), st.text("ab\"", max_size=3),
                   st.sampled_from(["Satellite", "Fiber", "Ground", "satellite"]), st.just([1]), st.just({}))
TECHNICAL = ("f64", "u32", "struct", "sequence", "map", "variant", "EOF")


def _mutate(document, member, value, mode):
    """Replace (mode 0) or delete (mode 1) every occurrence of `member`."""
    if isinstance(document, dict):
        out = {}
        for key, item in document.items():
            if key == member:
                if mode == 0:
                    out[key] = value
                continue
            out[key] = _mutate(item, member, value, mode)
        return out
    if isinstance(document, list):
        return [_mutate(item, member, value, mode) for item in document]
    return document


@settings(max_examples=60, deadline=None)
@given(member=MEMBERS, value=VALUES, mode=st.integers(0, 2), cut=st.floats(0, 1))
def test_reader_errors_get_a_plain_sentence(member, value, mode, cut, tmp_path_factory):
    """A file the reader refuses is reported with the engine's message and a
    note in plain words, which never uses the reader's type names."""
    document = json.loads(_builtin_text())
    if mode == 2:
        text = _builtin_text()[:int(cut * len(_builtin_text()))]
    else:
        text = json.dumps(_mutate(document, member, value, mode), indent=1)
    path = tmp_path_factory.mktemp("r") / "r.vorn"
    path.write_text(text)
    try:
        vorn_core.load_vorn_file(str(path))
    except RuntimeError as error:
        message = str(error)
    else:
        return
    report = cli.file_report(str(path))
    assert not report.valid
    if "JSON parse error" not in message:
        return  # validation findings and versions are plain already
    assert len(report.lines) == 2, report.lines
    where, note = report.lines[1].split(": note: ")
    assert report.lines[0].startswith(where + ": JSON parse error: ")
    assert int(where.rsplit(":", 1)[1]) >= 1  # columns count from 1
    assert not any(word in note for word in TECHNICAL), note
    assert ("empty" in note) == (text.strip() == "")


_TEXT = []


def _builtin_text():
    if not _TEXT:
        import tempfile

        with tempfile.TemporaryDirectory() as folder:
            vorn.builtin("hybrid_satellite_fiber").save(f"{folder}/h.vorn")
            _TEXT.append(pathlib.Path(f"{folder}/h.vorn").read_text())
    return _TEXT[0]
