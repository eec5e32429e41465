"""Topology snapshots: the exact document `save_topology` writes, what
`load_topology` accepts and refuses, and round trips of the built-in networks."""
import json
import re

import pytest

import vorn_core as v

N = v.NodeDefinition
L = v.LinkDefinition


def engine_with(nodes, links, config=None):
    engine = v.VornEngine(config) if config is not None else v.VornEngine()
    engine.define_network(nodes, links)
    return engine


def saved(engine, tmp_path, name="snap.json"):
    path = tmp_path / name
    assert v.save_topology(engine, str(path)) is None
    return path.read_bytes().decode("utf-8")


def load_into(engine, tmp_path, content, name="in.json"):
    path = tmp_path / name
    if isinstance(content, bytes):
        path.write_bytes(content)
    else:
        path.write_text(content if isinstance(content, str) else json.dumps(content), encoding="utf-8")
    assert v.load_topology(engine, str(path)) is None


def small_engine():
    # One node only, so the (unordered) node table has a single possible order.
    return engine_with(
        [N("A", 1)],
        [L("A", "B", 10, 0.97, 1000.0),
         L("B", "C", 2.5, 1e-7, 1e16, v.LinkType.Satellite, v.SatelliteConditions(0.5, 0.5))])


SMALL_TEXT = (
    '{\n'
    '  "metadata": {\n'
    '    "name": "exported_topology",\n'
    '    "version": "1.0"\n'
    '  },\n'
    '  "nodes": [\n'
    '    {\n'
    '      "id": "A",\n'
    '      "memoryLifetimeT2": 1.0\n'
    '    }\n'
    '  ],\n'
    '  "links": [\n'
    '    {\n'
    '      "fromNode": "A",\n'
    '      "to": "B",\n'
    '      "distanceKm": 10.0,\n'
    '      "baseFidelity": 0.97,\n'
    '      "generationRateHz": 1000.0,\n'
    '      "linkType": "Fiber",\n'
    '      "satelliteConditions": null\n'
    '    },\n'
    '    {\n'
    '      "fromNode": "B",\n'
    '      "to": "C",\n'
    '      "distanceKm": 2.5,\n'
    '      "baseFidelity": 1e-7,\n'
    '      "generationRateHz": 1e16,\n'
    '      "linkType": "Satellite",\n'
    '      "satelliteConditions": null\n'
    '    }\n'
    '  ],\n'
    '  "config": {\n'
    '    "alphaLoss": 1.2,\n'
    '    "gammaSwapping": 0.12\n'
    '  }\n'
    '}')


def test_save_exact_document(tmp_path):
    assert saved(small_engine(), tmp_path) == SMALL_TEXT


EMPTY_HEAD = '{\n  "metadata": {\n    "name": "exported_topology",\n    "version": "1.0"\n  },\n'


@pytest.mark.parametrize("config,alpha,gamma", [
    (None, "1.2", "0.12"),
    (v.SimulationConfig(), "0.21999999999999997", "0.022"),
    (v.SimulationConfig(alpha_loss_db_km=1.0), "1.0", "0.1"),
    (v.SimulationConfig(alpha_loss_db_km=0.0), "0.0", "0.0"),
])
def test_save_config_from_engine(tmp_path, config, alpha, gamma):
    text = saved(engine_with([], [], config), tmp_path)
    assert text == (EMPTY_HEAD + '  "nodes": [],\n  "links": [],\n  "config": {\n'
                    f'    "alphaLoss": {alpha},\n    "gammaSwapping": {gamma}\n  }}\n}}')


def test_save_escapes_strings(tmp_path):
    engine = engine_with([N('q"\\\n€', 1.5)], [L("é", "\t", 2.0, -0.5, 3.0)])
    text = saved(engine, tmp_path)
    assert '      "id": "q\\"\\\\\\n€",\n      "memoryLifetimeT2": 1.5\n' in text
    assert ('      "fromNode": "é",\n      "to": "\\t",\n      "distanceKm": 2.0,\n      "baseFidelity": -0.5,\n'
            '      "generationRateHz": 3.0,\n') in text
    assert not text.endswith("\n")


def test_save_two_nodes_in_either_order(tmp_path):
    text = saved(engine_with([N("A", 0.5), N("B", 2)], []), tmp_path)
    a = '    {\n      "id": "A",\n      "memoryLifetimeT2": 0.5\n    }'
    b = '    {\n      "id": "B",\n      "memoryLifetimeT2": 2.0\n    }'
    tail = '\n  ],\n  "links": [],\n  "config": {\n    "alphaLoss": 1.2,\n    "gammaSwapping": 0.12\n  }\n}'
    assert text in (EMPTY_HEAD + '  "nodes": [\n' + a + ",\n" + b + tail,
                    EMPTY_HEAD + '  "nodes": [\n' + b + ",\n" + a + tail)


def test_save_without_network(tmp_path):
    target = tmp_path / "snap.json"
    with pytest.raises(RuntimeError) as info:
        v.save_topology(v.VornEngine(), str(target))
    assert str(info.value) == "No network topology to save"
    assert not target.exists()
    target.write_text("keep")
    with pytest.raises(RuntimeError, match="^No network topology to save$"):
        v.save_topology(v.VornEngine(), str(target))
    assert target.read_text() == "keep"


@pytest.mark.parametrize("where", ["directory", "missing parent"])
def test_save_write_failure(tmp_path, where):
    target = str(tmp_path) if where == "directory" else str(tmp_path / "no" / "snap.json")
    with pytest.raises(RuntimeError) as info:
        v.save_topology(small_engine(), target)
    message = str(info.value)
    assert message.startswith("Failed to write topology file: ") and len(message) > 31


def test_save_overwrites_an_existing_file(tmp_path):
    (tmp_path / "snap.json").write_text("x" * 10000)
    assert saved(small_engine(), tmp_path) == SMALL_TEXT


# ---------------------------------------------------------------- loading

def node(i, t2):
    return {"id": i, "memoryLifetimeT2": t2}


def slink(a, b, **extra):
    record = {"fromNode": a, "to": b, "distanceKm": 1.0, "baseFidelity": 0.9, "generationRateHz": 5.0,
              "linkType": "Fiber", "satelliteConditions": None}
    record.update(extra)
    return record


def snapshot_doc(nodes, links, **extra):
    doc = {"metadata": {"name": "m", "version": "1.0"}, "nodes": nodes, "links": links,
           "config": {"alphaLoss": 1.0, "gammaSwapping": 0.1}}
    doc.update(extra)
    return doc


def reloaded(tmp_path, content):
    """Load `content` into a fresh engine and return that engine's snapshot as JSON."""
    engine = v.VornEngine()
    load_into(engine, tmp_path, content)
    return json.loads(saved(engine, tmp_path, "out.json"))


def test_load_keys_in_any_order_and_extra_keys(tmp_path):
    text = """{
      "zzz": [1, {"deep": null}],
      "config": {"gammaSwapping": 5, "extra": true, "alphaLoss": 50},
      "links": [{"satelliteConditions": {"weatherFactor": 0.5, "visibility": 0.25}, "linkType": "Satellite",
                 "generationRateHz": 3, "baseFidelity": 1, "distanceKm": 7, "to": "B", "fromNode": "A", "note": "x"}],
      "nodes": [{"memoryLifetimeT2": 2, "id": "A", "other": {}}],
      "metadata": {"version": "9", "name": "ignored", "more": 1}
    }"""
    doc = reloaded(tmp_path, text)
    assert doc["nodes"] == [node("A", 2.0)]
    assert doc["links"] == [slink("A", "B", distanceKm=7.0, baseFidelity=1.0, generationRateHz=3.0, linkType="Satellite")]
    # metadata and config of the file are not used
    assert doc["metadata"] == {"name": "exported_topology", "version": "1.0"}
    assert doc["config"] == {"alphaLoss": 1.2, "gammaSwapping": 0.12}


@pytest.mark.parametrize("record,link_type", [
    ({"fromNode": "A", "to": "B", "distanceKm": 1, "baseFidelity": 0.9, "generationRateHz": 5}, "Fiber"),
    ({"fromNode": "A", "to": "B", "distanceKm": 1, "baseFidelity": 0.9, "generationRateHz": 5,
      "linkType": "Satellite"}, "Satellite"),
    ({"fromNode": "A", "to": "B", "distanceKm": 1, "baseFidelity": 0.9, "generationRateHz": 5,
      "satelliteConditions": None}, "Fiber"),
    (["A", "B", 1, 0.9, 5, "Satellite", None], "Satellite"),
    (["A", "B", 1, 0.9, 5, "Fiber", [0.5, 0.5]], "Fiber"),
])
def test_load_optional_link_keys_and_array_records(tmp_path, record, link_type):
    doc = reloaded(tmp_path, snapshot_doc([["A", 1]], [record]))
    assert doc["nodes"] == [node("A", 1.0)]
    assert doc["links"] == [slink("A", "B", distanceKm=1.0, generationRateHz=5.0, linkType=link_type)]


def test_load_whole_document_as_arrays(tmp_path):
    doc = reloaded(tmp_path, [["m", "1.0"], [["A", 3]], [["A", "Z", 2, 0.5, 1, "Fiber", None]], [1, 2]])
    assert doc["nodes"] == [node("A", 3.0)]
    assert doc["links"] == [slink("A", "Z", distanceKm=2.0, baseFidelity=0.5, generationRateHz=1.0)]


def test_load_last_node_id_wins_and_links_keep_file_order(tmp_path):
    doc = reloaded(tmp_path, snapshot_doc(
        [node("A", 1.0), node("B", 2.0), node("A", 3.0)],
        [slink("B", "A"), slink("A", "Ghost", distanceKm=-4), slink("B", "A", linkType="Satellite")]))
    assert sorted(doc["nodes"], key=lambda n: n["id"]) == [node("A", 3.0), node("B", 2.0)]
    assert doc["links"] == [slink("B", "A"), slink("A", "Ghost", distanceKm=-4.0), slink("B", "A", linkType="Satellite")]


def test_load_replaces_the_network(tmp_path):
    engine = small_engine()
    load_into(engine, tmp_path, snapshot_doc([node("X", 1)], []))
    assert json.loads(saved(engine, tmp_path, "out.json"))["nodes"] == [node("X", 1.0)]
    result = engine.request_entanglement("A", "B", 0.5, 100.0)
    assert (result.success, result.execution_path) == (False, [])


def test_load_keeps_the_engine_configuration(tmp_path):
    engine = v.VornEngine(v.SimulationConfig(alpha_loss_db_km=1.0))
    load_into(engine, tmp_path, snapshot_doc([], [], config={"alphaLoss": 99.0, "gammaSwapping": 9.9}))
    assert json.loads(saved(engine, tmp_path, "out.json"))["config"] == {"alphaLoss": 1.0, "gammaSwapping": 0.1}


GOOD = snapshot_doc([node("A", 1)], [slink("A", "B")])


def without(doc_path, key):
    doc = json.loads(json.dumps(GOOD))
    target = doc
    for step in doc_path:
        target = target[step]
    del target[key]
    return doc


BAD_SNAPSHOTS = [
    ("node without memoryLifetimeT2", without(["nodes", 0], "memoryLifetimeT2")),
    ("link without fromNode", without(["links", 0], "fromNode")),
    ("link without distanceKm", without(["links", 0], "distanceKm")),
    ("no metadata", without([], "metadata")),
    ("no config", without([], "config")),
    ("no nodes", without([], "nodes")),
    ("metadata without version", without(["metadata"], "version")),
    ("config without gammaSwapping", without(["config"], "gammaSwapping")),
    ("lower-case link type", snapshot_doc([], [slink("A", "B", linkType="fiber")])),
    ("null link type", snapshot_doc([], [slink("A", "B", linkType=None)])),
    ("satellite conditions without weatherFactor", snapshot_doc([], [slink("A", "B", satelliteConditions={"visibility": 1})])),
    ("string for a real", snapshot_doc([node("A", "1")], [])),
    ("null for a real", snapshot_doc([node("A", None)], [])),
    ("number for an id", snapshot_doc([node(1, 1.0)], [])),
    ("short node array", snapshot_doc([["A"]], [])),
    ("long node array", snapshot_doc([["A", 1.0, 2.0]], [])),
    ("short link array", snapshot_doc([], [["A", "B", 1, 0.9, 5]])),
    ("nodes as an object", snapshot_doc({}, [])),
    ("duplicate key", '{"metadata": {"name": "a", "name": "b", "version": "1"}, "nodes": [], "links": [], '
                      '"config": {"alphaLoss": 1, "gammaSwapping": 1}}'),
    ("syntax error", '{"metadata": '),
    ("trailing text", json.dumps(GOOD) + " x"),
    ("empty file", ""),
]


PARSE_FAILED = "Failed to parse topology JSON: "
READ_FAILED = "Failed to read topology file: "


def writes(content):
    return lambda path: path.write_text(content if isinstance(content, str) else json.dumps(content),
                                        encoding="utf-8")


LOAD_FAILURES = [(name, writes(content), PARSE_FAILED) for name, content in BAD_SNAPSHOTS] + [
    ("missing file", lambda path: None, READ_FAILED),
    ("a directory", lambda path: path.mkdir(), READ_FAILED),
    ("not UTF-8", lambda path: path.write_bytes(b'{"metadata": "\xff"}'), READ_FAILED),
]


@pytest.mark.parametrize("make, prefix", [f[1:] for f in LOAD_FAILURES], ids=[f[0] for f in LOAD_FAILURES])
def test_load_failures_keep_the_previous_network(tmp_path, make, prefix):
    engine = small_engine()
    path = tmp_path / "in.json"
    make(path)
    with pytest.raises(RuntimeError) as info:
        v.load_topology(engine, str(path))
    message = str(info.value)
    assert message.startswith(prefix) and len(message) > len(prefix)
    assert saved(engine, tmp_path) == SMALL_TEXT


def test_missing_field_message_names_the_field(tmp_path):
    engine = v.VornEngine()
    path = tmp_path / "bad.json"
    path.write_text(json.dumps(without(["nodes", 0], "memoryLifetimeT2")))
    with pytest.raises(RuntimeError, match="^Failed to parse topology JSON: .*memoryLifetimeT2"):
        v.load_topology(engine, str(path))


def test_load_into_an_engine_without_network(tmp_path):
    engine = v.VornEngine()
    with pytest.raises(RuntimeError, match="^Failed to read topology file: "):
        v.load_topology(engine, str(tmp_path / "absent.json"))
    with pytest.raises(RuntimeError, match="^No network topology to save$"):
        v.save_topology(engine, str(tmp_path / "x.json"))


# ---------------------------------------------------------------- round trips of the built-in networks

NODE_BLOCK = re.compile(r'\n    \{\n      "id": [^\n]*,\n      "memoryLifetimeT2": [^\n]*\n    \}')


def with_sorted_nodes(text):
    """The document with its node records in sorted order (the node table has no order)."""
    head, rest = text.split('\n  "nodes": [', 1)
    nodes, tail = rest.split('\n  ],\n  "links": [', 1)
    blocks = NODE_BLOCK.findall(nodes)
    assert ",".join(blocks) == nodes
    return head + '\n  "nodes": [' + ",".join(sorted(blocks)) + '\n  ],\n  "links": [' + tail


@pytest.mark.parametrize("name", ["telecom_backbone", "repeater_chain", "hybrid_satellite_fiber"])
def test_builtin_topology_round_trip(tmp_path, name):
    topology = v.generate_topology(name)
    first = v.VornEngine()
    first.define_network(topology.nodes, topology.links)
    text = saved(first, tmp_path, "first.json")
    doc = json.loads(text)
    assert sorted((n["id"], n["memoryLifetimeT2"]) for n in doc["nodes"]) == sorted(
        (n.id, n.memory_lifetime_t2) for n in topology.nodes)
    assert [(x["fromNode"], x["to"], x["distanceKm"], x["baseFidelity"], x["generationRateHz"], x["linkType"],
             x["satelliteConditions"]) for x in doc["links"]] == [
        (x.from_node, x.to, x.distance_km, x.base_fidelity, x.generation_rate_hz,
         repr(x.link_type).split(".")[1], None) for x in topology.links]
    second = v.VornEngine()
    v.load_topology(second, str(tmp_path / "first.json"))
    again = saved(second, tmp_path, "second.json")
    assert with_sorted_nodes(again) == with_sorted_nodes(text)


def test_hybrid_satellite_links_keep_their_type(tmp_path):
    topology = v.generate_topology("hybrid_satellite_fiber")
    engine = v.VornEngine()
    engine.define_network(topology.nodes, topology.links)
    doc = json.loads(saved(engine, tmp_path))
    assert [x["linkType"] for x in doc["links"]] == ["Fiber", "Fiber", "Satellite", "Satellite"]
    assert all(x["satelliteConditions"] is None for x in doc["links"])


# ---------------------------------------------------------------- argument conversion

class Something:
    pass


@pytest.mark.parametrize("value,type_name", [
    (None, "NoneType"),
    (1, "int"),
    ({"metadata": {}}, "dict"),
    (Something(), "Something"),
    (v.NetworkTopologyPayload([], []), "NetworkTopologyPayload"),
    (v.VornFile("x"), "VornFile"),
])
def test_diff_topologies_takes_only_snapshots(value, type_name):
    with pytest.raises(TypeError) as info:
        v.diff_topologies(value, value)
    assert str(info.value) == f"argument 'snapshot1': '{type_name}' object cannot be converted to 'TopologySnapshot'"
    assert not hasattr(v, "TopologySnapshot")


@pytest.mark.parametrize("call,message", [
    (lambda: v.save_topology("e", "p"), "argument 'engine': 'str' object cannot be converted to 'VornEngine'"),
    (lambda: v.load_topology(None, "p"), "argument 'engine': 'NoneType' object cannot be converted to 'VornEngine'"),
    (lambda: v.save_topology(small_engine(), 5), "argument 'filepath': 'int' object cannot be converted to 'PyString'"),
    (lambda: v.load_topology(v.VornEngine(), b"p"),
     "argument 'filepath': 'bytes' object cannot be converted to 'PyString'"),
])
def test_argument_conversion(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


# ---------------------------------------------------------------- snapshots as objects

def conditions(c):
    return None if c is None else (c.visibility, c.weather_factor)


def snapshot_values(s):
    """A comparable projection of a TopologySnapshot (the node table has no order)."""
    return (s.metadata.name, s.metadata.version, sorted((n.id, n.memory_lifetime_t2) for n in s.nodes),
            [(x.from_node, x.to, x.distance_km, x.base_fidelity, x.generation_rate_hz, repr(x.link_type),
              conditions(x.satellite_conditions)) for x in s.links],
            (s.config.alpha_loss, s.config.gamma_swapping))


def diff_values(d):
    return (d.name, d.summary) + tuple(sorted(getattr(d, k)) for k in (
        "nodes_added", "nodes_removed", "nodes_modified", "links_added", "links_removed", "links_modified"))


def builtin_engine(name, config=None):
    topology = v.generate_topology(name)
    return engine_with(topology.nodes, topology.links, config)


@pytest.mark.parametrize("name", ["telecom_backbone", "repeater_chain", "hybrid_satellite_fiber"])
def test_snapshot_topology_is_what_save_topology_writes(tmp_path, name):
    engine = builtin_engine(name, v.SimulationConfig(alpha_loss_db_km=0.3))
    path = str(tmp_path / "snap.json")
    v.save_topology(engine, path)
    snapshot = v.snapshot_topology(engine)
    assert snapshot_values(snapshot) == snapshot_values(v.read_topology(path))
    assert (snapshot.metadata.name, snapshot.config.gamma_swapping) == ("exported_topology", 0.03)
    # A saved-and-reloaded engine has the same snapshot: the diff is empty.
    reloaded_engine = v.VornEngine()
    v.load_topology(reloaded_engine, path)
    assert v.diff_topologies(snapshot, v.snapshot_topology(reloaded_engine)).summary == (
        "Diff for 'exported_topology vs exported_topology': 0 nodes added, 0 nodes removed, 0 nodes modified. "
        "0 links added, 0 links removed, 0 links modified.")


def test_diff_of_snapshot_objects_agrees_with_saved_files(tmp_path):
    topology = v.generate_topology("telecom_backbone")
    nodes, links = topology.nodes, topology.links
    nodes[0].memory_lifetime_t2 += 1.0
    links[1].distance_km *= 2
    changed = engine_with(nodes[:-1] + [N("Z", 1.0)], links[:-1] + [L(nodes[0].id, "Z", 5.0, 0.9, 10.0)])
    original = builtin_engine("telecom_backbone")
    a, b = str(tmp_path / "a.json"), str(tmp_path / "b.json")
    v.save_topology(original, a)
    v.save_topology(changed, b)
    from_files = diff_values(v.diff_topologies(v.read_topology(a), v.read_topology(b)))
    assert diff_values(v.diff_topologies(v.snapshot_topology(original), v.read_topology(b))) == from_files
    assert diff_values(v.diff_topologies(v.snapshot_topology(original), v.snapshot_topology(changed))) == from_files
    removed_link = f"{links[-1].from_node}->{links[-1].to}"
    assert from_files[2:] == (["Z"], [nodes[-1].id], [nodes[0].id], [f"{nodes[0].id}->Z"], [removed_link],
                              [f"{links[1].from_node}->{links[1].to}"])


def test_read_topology_keeps_the_file_metadata_and_config(tmp_path):
    path = tmp_path / "in.json"
    path.write_text(json.dumps([["m", "7"], [["A", 3]], [["A", "Z", 2, 0.5, 1, "Satellite", [0.5, 0.25]]], [1, 2]]))
    snapshot = v.read_topology(str(path))
    assert snapshot_values(snapshot) == ("m", "7", [("A", 3.0)],
                                         [("A", "Z", 2.0, 0.5, 1.0, "LinkType.Satellite", (0.5, 0.25))], (1.0, 2.0))


@pytest.mark.parametrize("make", [f[1] for f in LOAD_FAILURES], ids=[f[0] for f in LOAD_FAILURES])
def test_read_topology_fails_as_load_topology_does(tmp_path, make):
    path = tmp_path / "bad.json"
    make(path)
    with pytest.raises(RuntimeError) as read_info:
        v.read_topology(str(path))
    with pytest.raises(RuntimeError) as load_info:
        v.load_topology(v.VornEngine(), str(path))
    assert str(read_info.value) == str(load_info.value)
    assert str(read_info.value).startswith(("Failed to parse topology JSON: ", "Failed to read topology file: "))
