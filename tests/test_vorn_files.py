"""The .vorn file classes: construction, reprs, copies, saving byte for byte,
round trips (extensions included), and the bridge from files to engines."""
import json
import math

import pytest

import vorn_core as v

NT = v.VornNodeType
LT = v.VornLinkType


def small_file(name="net"):
    f = v.VornFile(name)
    f.add_node("A")
    f.add_node("B")
    f.add_link("L1", "A", "B", 10.0, 0.9, 100.0)
    return f


def write_json(tmp_path, document, name="net.vorn"):
    path = tmp_path / name
    path.write_text(json.dumps(document), encoding="utf-8")
    return str(path)


def snapshot(engine, tmp_path):
    """The engine's network and configuration as save_topology writes them."""
    path = tmp_path / "snapshot.json"
    v.save_topology(engine, str(path))
    return json.loads(path.read_text(encoding="utf-8"))


# ---------------------------------------------------------------- constructors and defaults

def test_vorn_file_defaults():
    f = v.VornFile("Lab")
    assert f.version == "1.0"
    m = f.metadata
    assert (m.name, m.description, m.author, m.created_at) == ("Lab", None, None, None)
    assert (f.nodes, f.links, f.config, f.constraints, f.extensions) == ([], [], None, None, None)


@pytest.mark.parametrize("make,expected", [
    (lambda: v.VornMetadata("n"), {"name": "n", "description": None, "author": None, "created_at": None}),
    (lambda: v.VornMetadata("n", "d", "a", "c"), {"name": "n", "description": "d", "author": "a", "created_at": "c"}),
    (lambda: v.VornNode("A"), {"id": "A", "memory_lifetime_ms": None, "memory_capacity": None, "node_type": None}),
    (lambda: v.VornNode("A", 5, 4294967295), {"id": "A", "memory_lifetime_ms": 5.0, "memory_capacity": 4294967295}),
    (lambda: v.VornLink("L", "A", "B", 1, 2, 3),
     {"id": "L", "src": "A", "to": "B", "distance_km": 1.0, "base_fidelity": 2.0, "generation_rate_hz": 3.0,
      "link_type": None, "satellite": None}),
    (lambda: v.VornConfig(), {"alpha_loss": None, "beta_fidelity_decay": None, "gamma_swapping": None, "max_attempts": None}),
    (lambda: v.VornConfig(max_attempts=7), {"alpha_loss": None, "max_attempts": 7}),
    (lambda: v.VornConstraints(), {"fidelity_target": None, "max_latency_ms": None}),
    (lambda: v.VornConstraints(max_latency_ms=3), {"fidelity_target": None, "max_latency_ms": 3.0}),
    (lambda: v.VornSatelliteExtension(), {"visibility": 1.0, "weather_factor": 1.0}),
    (lambda: v.VornSatelliteExtension(weather_factor=0.5), {"visibility": 1.0, "weather_factor": 0.5}),
])
def test_constructor_values(make, expected):
    obj = make()
    for name, value in expected.items():
        got = getattr(obj, name)
        assert got == value and type(got) is type(value), name


@pytest.mark.parametrize("args,expected", [
    ((), 100.0),
    ((0.5, 0.8), 40.0),
    ((-1.0,), -100.0),
])
def test_satellite_effective_rate(args, expected):
    ext = v.VornSatelliteExtension(*args)
    assert ext.effective_rate(100.0) == expected
    assert v.VornSatelliteExtension.effective_rate.__doc__ == "Calculate effective generation rate based on conditions"


def test_enumerations_read_back_as_members():
    node = v.VornNode("A", node_type=NT.Satellite)
    link = v.VornLink("L", "A", "B", 1, 1, 1, LT.Satellite, v.VornSatelliteExtension(0.5, 0.25))
    assert repr(node.node_type) == "VornNodeType.Satellite"
    assert repr(link.link_type) == "VornLinkType.Satellite"
    assert (link.satellite.visibility, link.satellite.weather_factor) == (0.5, 0.25)


# ---------------------------------------------------------------- reprs

REPRS = [
    (lambda: v.VornFile("Lab"), "VornFile(version='1.0', metadata={name:'Lab'}, nodes=0, links=0)"),
    (lambda: small_file("x"), "VornFile(version='1.0', metadata={name:'x'}, nodes=2, links=1)"),
    (lambda: v.VornMetadata("Lab"), "VornMetadata(name='Lab', description=None, author=None)"),
    (lambda: v.VornMetadata("Lab", "Lab", "Ann", "2024"),
     'VornMetadata(name=\'Lab\', description=Some("Lab"), author=Some("Ann"))'),
    (lambda: v.VornMetadata("it's", 'say "hi"\n\t\\'),
     'VornMetadata(name=\'it\'s\', description=Some("say \\"hi\\"\\n\\t\\\\"), author=None)'),
    (lambda: v.VornNode("A", 100.0, 4, NT.Ground), "VornNode(id='A', memory=Some(100.0), capacity=Some(4), type=Some(Ground))"),
    (lambda: v.VornNode("A"), "VornNode(id='A', memory=None, capacity=None, type=None)"),
    (lambda: v.VornNode("A", 1e-5), "VornNode(id='A', memory=Some(1e-5), capacity=None, type=None)"),
    (lambda: v.VornNode("A", 0.0001), "VornNode(id='A', memory=Some(0.0001), capacity=None, type=None)"),
    (lambda: v.VornNode("A", 2.5e-5), "VornNode(id='A', memory=Some(2.5e-5), capacity=None, type=None)"),
    (lambda: v.VornNode("A", -1e-7, 0, NT.Satellite), "VornNode(id='A', memory=Some(-1e-7), capacity=Some(0), type=Some(Satellite))"),
    (lambda: v.VornNode("A", 1e16), "VornNode(id='A', memory=Some(1e16), capacity=None, type=None)"),
    (lambda: v.VornNode("A", 1e15), "VornNode(id='A', memory=Some(1000000000000000.0), capacity=None, type=None)"),
    (lambda: v.VornNode("A", 0.0, None, NT.Repeater), "VornNode(id='A', memory=Some(0.0), capacity=None, type=Some(Repeater))"),
    (lambda: v.VornNode("A", 123456.789), "VornNode(id='A', memory=Some(123456.789), capacity=None, type=None)"),
    (lambda: v.VornLink("L1", "A", "B", 10, 0.955, 1000),
     "VornLink(id=\"L1\", src='A', to='B', dist=10km, fid=0.95, rate=1000Hz)"),
    (lambda: v.VornLink('L"1', "A", "B", 0.5, 0.999, 1e-7),
     "VornLink(id=\"L\\\"1\", src='A', to='B', dist=0.5km, fid=1.00, rate=0.0000001Hz)"),
    (lambda: v.VornLink("", "A", "B", 1e20, 0.5, 2.5),
     "VornLink(id=\"\", src='A', to='B', dist=100000000000000000000km, fid=0.50, rate=2.5Hz)"),
    (lambda: v.VornConfig(), "VornConfig(alpha_loss=None, beta_fidelity_decay=None, gamma_swapping=None, max_attempts=None)"),
    (lambda: v.VornConfig(0.2, 1, 1e-7, 40),
     "VornConfig(alpha_loss=Some(0.2), beta_fidelity_decay=Some(1.0), gamma_swapping=Some(1e-7), max_attempts=Some(40))"),
    (lambda: v.VornConstraints(), "VornConstraints(fidelity_target=None, max_latency_ms=None)"),
    (lambda: v.VornConstraints(0.9, 1e16), "VornConstraints(fidelity_target=Some(0.9), max_latency_ms=Some(1e16))"),
]


@pytest.mark.parametrize("make,expected", REPRS, ids=[e for _, e in REPRS])
def test_reprs(make, expected):
    assert repr(make()) == expected


def test_satellite_extension_has_the_default_repr():
    assert repr(v.VornSatelliteExtension()).startswith("<builtins.VornSatelliteExtension object at 0x")


# ---------------------------------------------------------------- copies

def test_attribute_reads_are_copies():
    f = small_file()
    f.nodes.append(v.VornNode("C"))
    f.links.clear()
    f.metadata.name = "changed"
    assert ([n.id for n in f.nodes], len(f.links), f.metadata.name) == (["A", "B"], 1, "net")
    f.config = v.VornConfig()
    f.config.alpha_loss = 1.0
    assert f.config.alpha_loss is None
    link = f.links[0]
    link.satellite = v.VornSatelliteExtension()
    assert f.links[0].satellite is None
    sat = link.satellite
    sat.visibility = 0.1
    assert link.satellite.visibility == 1.0


def test_attribute_assignment_replaces():
    f = small_file()
    f.nodes = f.nodes + [v.VornNode("C")]
    f.links = (v.VornLink("L9", "C", "A", 1, 1, 1),)
    meta = f.metadata
    meta.name = "renamed"
    f.metadata = meta
    assert [n.id for n in f.nodes] == ["A", "B", "C"]
    assert [link.id for link in f.links] == ["L9"]
    assert f.metadata.name == "renamed"
    with pytest.raises(TypeError, match="^Can't extract `str` to `Vec`$"):
        f.nodes = "AB"
    with pytest.raises(TypeError, match="'VornLink' object cannot be converted to 'VornNode'"):
        f.nodes = [v.VornLink("L", "A", "B", 1, 1, 1)]
    assert [n.id for n in f.nodes] == ["A", "B", "C"]


def test_extensions_is_held_by_reference():
    f = v.VornFile("x")
    d = {"custom": [1]}
    f.extensions = d
    assert f.extensions is d


def test_add_node_and_add_link_append_without_checks():
    f = v.VornFile("x")
    f.add_node("A", 1.5, 2, NT.Repeater)
    f.add_node("A")
    f.add_link("L", "A", "Z", -1.0, 7.0, 0.0, LT.Fiber, v.VornSatelliteExtension(0.5))
    assert [repr(n) for n in f.nodes] == [
        "VornNode(id='A', memory=Some(1.5), capacity=Some(2), type=Some(Repeater))",
        "VornNode(id='A', memory=None, capacity=None, type=None)",
    ]
    (link,) = f.links
    assert (link.src, link.to, link.distance_km, repr(link.link_type), link.satellite.visibility) == (
        "A", "Z", -1.0, "VornLinkType.Fiber", 0.5)


def test_method_docstrings():
    assert v.VornFile.add_node.__doc__ == (
        "Add a node with optional fields.\n"
        "If optional args are None, the .vorn file will write null for that field.")
    assert v.VornFile.add_link.__doc__ == (
        "Add a link with optional fields.\n"
        "link_type and satellite default to None (writes null in .vorn JSON).")
    assert v.VornFile.save.__doc__ == "Save this .vorn file to disk as pretty-printed JSON."
    assert v.VornEngine.define_network_from_vorn.__doc__ == (
        "Load a topology from a loaded .vorn file directly into the engine.\n"
        "Bridges both type systems \u2014 no manual NodeDefinition / LinkDefinition needed.")


# ---------------------------------------------------------------- VornConstraints equality

NAN = float("nan")


@pytest.mark.parametrize("a,b,equal", [
    ((0.9, None), (0.9, None), True),
    ((), (), True),
    ((0.9,), (0.8,), False),
    ((0.9,), (), False),
    ((None, 1.0), (None, 1), True),
    ((None, 1.0), (None, None), False),
    ((NAN,), (NAN,), False),
    ((0.9, NAN), (0.9, NAN), False),
])
def test_constraints_equality(a, b, equal):
    x, y = v.VornConstraints(*a), v.VornConstraints(*b)
    assert (x == y) is equal
    assert (x != y) is (not equal)


def test_constraints_nan_is_not_equal_to_itself():
    c = v.VornConstraints(NAN)
    assert not (c == c)
    assert c != c


def test_constraints_other_comparisons():
    c = v.VornConstraints(0.9)
    assert (c == 0.9) is False
    assert (c != 0.9) is True
    assert (c == v.VornConfig()) is False
    with pytest.raises(TypeError):
        hash(c)
    for op in ("__lt__", "__le__", "__gt__", "__ge__"):
        assert getattr(c, op)(v.VornConstraints(0.9)) is NotImplemented
    assert c.__eq__(0.9) is NotImplemented
    with pytest.raises(TypeError):
        c < v.VornConstraints(0.9)  # noqa: B015
    with pytest.raises(TypeError):
        c >= v.VornConstraints(0.9)  # noqa: B015


def test_other_file_classes_compare_by_identity():
    assert v.VornConfig() != v.VornConfig()
    node = v.VornNode("A")
    assert node == node
    assert hash(node) == hash(node)


# ---------------------------------------------------------------- saving: exact bytes

def saved_text(f, tmp_path, name="out.vorn"):
    path = tmp_path / name
    assert f.save(str(path)) is None
    return path.read_bytes().decode("utf-8")


def test_save_new_file(tmp_path):
    assert saved_text(v.VornFile("Lab"), tmp_path) == (
        '{\n'
        '  "version": "1.0",\n'
        '  "metadata": {\n'
        '    "name": "Lab"\n'
        '  },\n'
        '  "nodes": [],\n'
        '  "links": []\n'
        '}')


def full_file():
    name = 'Q "net"\\\n\t\r\x01/é€😀'
    f = v.VornFile(name)
    f.metadata = v.VornMetadata(name, "desc", None, "2024-01-01")
    f.add_node("A", 2, 4, NT.Ground)
    f.add_node("B", 0.00001, None, NT.Satellite)
    f.add_node("C", 1e300)
    f.add_node("D", node_type=NT.Repeater)
    f.add_link("L1", "A", "B", 1e16, 0.95, 1e-7, LT.Satellite, v.VornSatelliteExtension(0.5, 1))
    f.add_link("", "B", "C", 1e15, 1e-6, 2.5, LT.Fiber)
    f.config = v.VornConfig()
    f.constraints = v.VornConstraints(0.9)
    return f


FULL_TEXT = (
    '{\n'
    '  "version": "1.0",\n'
    '  "metadata": {\n'
    '    "name": "Q \\"net\\"\\\\\\n\\t\\r\\u0001/é€😀",\n'
    '    "description": "desc",\n'
    '    "created_at": "2024-01-01"\n'
    '  },\n'
    '  "nodes": [\n'
    '    {\n'
    '      "id": "A",\n'
    '      "memory_lifetime_ms": 2.0,\n'
    '      "memory_capacity": 4,\n'
    '      "node_type": "ground"\n'
    '    },\n'
    '    {\n'
    '      "id": "B",\n'
    '      "memory_lifetime_ms": 0.00001,\n'
    '      "node_type": "satellite"\n'
    '    },\n'
    '    {\n'
    '      "id": "C",\n'
    '      "memory_lifetime_ms": 1e300\n'
    '    },\n'
    '    {\n'
    '      "id": "D",\n'
    '      "node_type": "repeater"\n'
    '    }\n'
    '  ],\n'
    '  "links": [\n'
    '    {\n'
    '      "id": "L1",\n'
    '      "from": "A",\n'
    '      "to": "B",\n'
    '      "distance_km": 1e16,\n'
    '      "base_fidelity": 0.95,\n'
    '      "generation_rate_hz": 1e-7,\n'
    '      "link_type": "satellite",\n'
    '      "satellite": {\n'
    '        "visibility": 0.5,\n'
    '        "weather_factor": 1.0\n'
    '      }\n'
    '    },\n'
    '    {\n'
    '      "id": "",\n'
    '      "from": "B",\n'
    '      "to": "C",\n'
    '      "distance_km": 1000000000000000.0,\n'
    '      "base_fidelity": 1e-6,\n'
    '      "generation_rate_hz": 2.5,\n'
    '      "link_type": "fiber"\n'
    '    }\n'
    '  ],\n'
    '  "config": {},\n'
    '  "constraints": {\n'
    '    "fidelity_target": 0.9\n'
    '  }\n'
    '}')


def test_save_every_member_kind(tmp_path):
    assert saved_text(full_file(), tmp_path) == FULL_TEXT


def test_save_with_extensions_after_constraints(tmp_path):
    f = full_file()
    f.extensions = {"custom": {"k": [1, 2.0, -3, None, True, "é"]}}
    expected = FULL_TEXT[:-2] + (
        ',\n'
        '  "extensions": {\n'
        '    "custom": {\n'
        '      "k": [\n'
        '        1,\n'
        '        2.0,\n'
        '        -3,\n'
        '        null,\n'
        '        true,\n'
        '        "é"\n'
        '      ]\n'
        '    }\n'
        '  }\n'
        '}')
    assert saved_text(f, tmp_path) == expected


@pytest.mark.parametrize("extensions,member", [
    ({}, '  "extensions": {}\n'),
    ({"custom": []}, '  "extensions": {\n    "custom": []\n  }\n'),
    ({"custom": {}}, '  "extensions": {\n    "custom": {}\n  }\n'),
    ({"custom": 1e-7}, '  "extensions": {\n    "custom": 1e-7\n  }\n'),
    ({"custom": 2**64 - 1}, '  "extensions": {\n    "custom": 18446744073709551615\n  }\n'),
    ({"custom": -2**63}, '  "extensions": {\n    "custom": -9223372036854775808\n  }\n'),
    ({"custom": (False, "a\"b")}, '  "extensions": {\n    "custom": [\n      false,\n      "a\\"b"\n    ]\n  }\n'),
])
def test_save_extensions_forms(tmp_path, extensions, member):
    f = v.VornFile("x")
    f.extensions = extensions
    assert saved_text(f, tmp_path) == (
        '{\n  "version": "1.0",\n  "metadata": {\n    "name": "x"\n  },\n  "nodes": [],\n  "links": [],\n'
        + member + '}')


def test_save_writes_the_held_version_and_keeps_the_object(tmp_path):
    f = small_file()
    f.version = "2.0"
    text = saved_text(f, tmp_path)
    assert text.startswith('{\n  "version": "2.0",\n')
    assert repr(f) == "VornFile(version='2.0', metadata={name:'net'}, nodes=2, links=1)"


def test_save_truncates_an_existing_file(tmp_path):
    path = tmp_path / "out.vorn"
    path.write_text("x" * 5000)
    v.VornFile("Lab").save(str(path))
    assert path.read_text() == saved_text(v.VornFile("Lab"), tmp_path, "other.vorn")


def test_save_wrapper_is_save(tmp_path):
    assert v.save is v.save_vorn_file_wrapper
    f = full_file()
    f.extensions = {"custom": [1]}
    a, b = tmp_path / "a.vorn", tmp_path / "b.vorn"
    assert v.save_vorn_file_wrapper(f, str(a)) is None
    f.save(str(b))
    assert a.read_bytes() == b.read_bytes()
    assert v.save_vorn_file_wrapper.__doc__.splitlines()[0] == (
        "Save a PyVornFile to disk (module-level save alias for PyVornFile.save())")
    with pytest.raises(TypeError, match="^argument 'qf': 'VornNode' object cannot be converted to 'VornFile'$"):
        v.save(v.VornNode("A"), str(a))


@pytest.mark.parametrize("save", [
    lambda f, p: f.save(p),
    lambda f, p: v.save_vorn_file_wrapper(f, p),
])
def test_save_io_errors_carry_no_load_prefix(tmp_path, save):
    for target in (str(tmp_path), str(tmp_path / "missing" / "x.vorn")):
        with pytest.raises(RuntimeError) as info:
            save(v.VornFile("x"), target)
        assert str(info.value).startswith("IO error: ")
        assert len(str(info.value)) > len("IO error: ")


# ---------------------------------------------------------------- loading and round trips

def test_loaded_link_without_id(tmp_path):
    path = write_json(tmp_path, {
        "version": "1.0", "metadata": {"name": "n"}, "nodes": [{"id": "A"}, {"id": "B"}],
        "links": [{"from": "A", "to": "B", "distance_km": 1, "base_fidelity": 0.5, "generation_rate_hz": 2}]})
    f = v.load_vorn_file(path)
    assert f.links[0].id == ""
    assert '      "id": "",\n      "from": "A",\n' in saved_text(f, tmp_path)
    assert v.load is v.load_vorn_file


ROUND_TRIP = """{
  "version": "1.0",
  "metadata": {"name": "Round", "description": "d", "author": "a\\u00e9", "created_at": "c"},
  "nodes": [
    {"id": "A", "memory_lifetime_ms": 250, "memory_capacity": 4294967295, "node_type": "ground"},
    {"id": "B", "memory_lifetime_ms": 1e-7, "node_type": "satellite"},
    {"id": "C", "memory_capacity": 0, "node_type": "repeater"},
    {"id": "D"}
  ],
  "links": [
    {"id": "L1", "from": "A", "to": "B", "distance_km": 12.5, "base_fidelity": 1,
     "generation_rate_hz": 1e16, "link_type": "satellite", "satellite": {"visibility": 0.7, "weather_factor": 0.25}},
    {"from": "B", "to": "C", "distance_km": 0.1, "base_fidelity": 0.95, "generation_rate_hz": 3, "link_type": "fiber"},
    {"id": "L3", "from": "C", "to": "D", "distance_km": 1e15, "base_fidelity": 0.00001, "generation_rate_hz": 1e-6}
  ],
  "config": {"alpha_loss": 0.2, "beta_fidelity_decay": 1e-7, "gamma_swapping": 2, "max_attempts": 40},
  "constraints": {"fidelity_target": 0.9, "max_latency_ms": 100},
  "extensions": {"custom": {"int": 1, "float": 1.0, "neg": -7, "big": 18446744073709551615,
                            "list": [[], {}, null, true, false, "s\\n\\u0001\\u20ac"], "frac": 0.1}}
}"""


def file_state(f):
    """Every attribute of a VornFile as plain values."""
    def opt_enum(e):
        return None if e is None else repr(e)

    m = f.metadata
    config, constraints = f.config, f.constraints
    return {
        "version": f.version,
        "metadata": (m.name, m.description, m.author, m.created_at),
        "nodes": [(n.id, n.memory_lifetime_ms, n.memory_capacity, opt_enum(n.node_type)) for n in f.nodes],
        "links": [(link.id, link.src, link.to, link.distance_km, link.base_fidelity, link.generation_rate_hz,
                   opt_enum(link.link_type),
                   None if link.satellite is None else (link.satellite.visibility, link.satellite.weather_factor))
                  for link in f.links],
        "config": None if config is None else (
            config.alpha_loss, config.beta_fidelity_decay, config.gamma_swapping, config.max_attempts),
        "constraints": None if constraints is None else (constraints.fidelity_target, constraints.max_latency_ms),
        # repr keeps int and float apart
        "extensions": repr(f.extensions),
    }


@pytest.mark.parametrize("text", [
    ROUND_TRIP,
    '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [], "links": []}',
    '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [], "links": [], "config": {}, "extensions": {}}',
    '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [], "links": [], "extensions": {"custom": null}}',
], ids=["full", "minimal", "empty records", "null custom"])
def test_load_save_load_round_trip(tmp_path, text):
    first = tmp_path / "first.vorn"
    first.write_text(text, encoding="utf-8")
    loaded = v.load_vorn_file(str(first))
    saved = saved_text(loaded, tmp_path, "second.vorn")
    again = v.load_vorn_file(str(tmp_path / "second.vorn"))
    assert file_state(again) == file_state(loaded)
    # saving the reloaded object gives the same bytes
    assert saved_text(again, tmp_path, "third.vorn") == saved


def test_round_trip_values(tmp_path):
    path = tmp_path / "rt.vorn"
    path.write_text(ROUND_TRIP, encoding="utf-8")
    f = v.load_vorn_file(str(path))
    state = file_state(f)
    assert state["metadata"] == ("Round", "d", "aé", "c")
    assert state["nodes"][0] == ("A", 250.0, 4294967295, "VornNodeType.Ground")
    assert state["links"][1] == ("", "B", "C", 0.1, 0.95, 3.0, "VornLinkType.Fiber", None)
    assert state["config"] == (0.2, 1e-7, 2.0, 40)
    assert f.extensions == {"custom": {"int": 1, "float": 1.0, "neg": -7, "big": 18446744073709551615,
                                       "list": [[], {}, None, True, False, "s\n\x01€"], "frac": 0.1}}
    custom = f.extensions["custom"]
    assert [type(custom[k]) for k in ("int", "float", "neg", "big")] == [int, float, int, int]


def test_loaded_extensions_are_a_fresh_dict(tmp_path):
    path = tmp_path / "rt.vorn"
    path.write_text(ROUND_TRIP, encoding="utf-8")
    f = v.load_vorn_file(str(path))
    g = v.load_vorn_file(str(path))
    assert f.extensions == g.extensions and f.extensions is not g.extensions
    f.extensions["custom"]["int"] = 2
    assert f.extensions["custom"]["int"] == 2  # held by reference
    assert '"int": 2' in saved_text(f, tmp_path)


def test_file_without_extensions_loads_none(tmp_path):
    path = write_json(tmp_path, {"version": "1.0", "metadata": {"name": "n"}, "nodes": [], "links": []})
    assert v.load_vorn_file(path).extensions is None


def test_saving_custom_none_reloads_as_no_custom(tmp_path):
    f = v.VornFile("x")
    f.extensions = {"custom": None}
    saved_text(f, tmp_path)
    assert v.load_vorn_file(str(tmp_path / "out.vorn")).extensions == {}


class Opaque:
    pass


BAD_EXTENSIONS = [
    ("set", {"custom": {1, 2}}, "set"),
    ("object", {"custom": [object()]}, "object"),
    ("class instance", {"custom": {"a": Opaque()}}, "Opaque"),
    ("int 2**64", {"custom": 2**64}, "integer"),
    ("int below -2**63", {"custom": [-2**63 - 1]}, "integer"),
    ("non-str key", {"custom": {1: 2}}, "key"),
    ("non-str key deep", {"custom": [{"a": {(1,): 2}}]}, "key"),
    ("extra key", {"custom": 1, "other": 2}, "custom"),
    ("only another key", {"k": 1}, "custom"),
    ("list extensions", [1], "dict"),
    ("str extensions", "custom", "dict"),
    ("bytes value", {"custom": b"x"}, "bytes"),
]


@pytest.mark.parametrize("extensions,word", [c[1:] for c in BAD_EXTENSIONS], ids=[c[0] for c in BAD_EXTENSIONS])
@pytest.mark.parametrize("via", ["method", "function"])
def test_unwritable_extensions(tmp_path, extensions, word, via):
    f = small_file()
    f.extensions = extensions

    def save(path):
        if via == "method":
            f.save(str(path))
        else:
            v.save(f, str(path))

    fresh = tmp_path / "fresh.vorn"
    with pytest.raises(RuntimeError) as info:
        save(fresh)
    message = str(info.value)
    assert message.startswith("JSON parse error: ")
    assert word in message[len("JSON parse error: "):]
    assert not fresh.exists()
    existing = tmp_path / "existing.vorn"
    existing.write_text("keep me")
    with pytest.raises(RuntimeError, match="^JSON parse error: "):
        save(existing)
    assert existing.read_text() == "keep me"


# ---------------------------------------------------------------- NUL characters in paths

def test_nul_paths_for_loading_functions(tmp_path):
    good = write_json(tmp_path, {"version": "1.0", "metadata": {"name": "n"}, "nodes": [], "links": []})
    nul = good + "\0.junk"
    expected = "Failed to load " + nul + ": IO error: file name contained an unexpected NUL byte"
    for load in (v.load_vorn_file, v.validate, v.from_vorn_file):
        with pytest.raises(RuntimeError) as info:
            load(nul)
        assert str(info.value) == expected
    assert v.diff(nul, good) == {"error": expected}
    assert v.diff(good, nul) == {"error": expected}


@pytest.mark.parametrize("save", [
    lambda f, p: f.save(p),
    lambda f, p: v.save_vorn_file_wrapper(f, p),
])
def test_nul_paths_for_saving(tmp_path, save):
    target = tmp_path / "out.vorn"
    with pytest.raises(RuntimeError) as info:
        save(small_file(), str(target) + "\0tail")
    assert str(info.value) == "IO error: file name contained an unexpected NUL byte"
    assert list(tmp_path.iterdir()) == []


def test_nul_paths_for_snapshots(tmp_path, chain_engine):
    target = tmp_path / "snap.json"
    with pytest.raises(RuntimeError) as info:
        v.save_topology(chain_engine, str(target) + "\0tail")
    assert str(info.value) == "Failed to write topology file: file name contained an unexpected NUL byte"
    assert not target.exists()
    v.save_topology(chain_engine, str(target))
    before = target.read_bytes()
    engine = v.VornEngine()
    with pytest.raises(RuntimeError) as info:
        v.load_topology(engine, str(target) + "\0tail")
    assert str(info.value) == "Failed to read topology file: file name contained an unexpected NUL byte"
    with pytest.raises(RuntimeError, match="^No network topology to save$"):
        v.save_topology(engine, str(tmp_path / "none.json"))
    assert target.read_bytes() == before


# ---------------------------------------------------------------- engine bridge

def test_define_network_from_vorn_checks_nothing(tmp_path):
    f = v.VornFile("x")
    f.version = "2.0"
    f.add_node("A", 250.0, 3, NT.Satellite)
    f.add_link("L1", "A", "Ghost", -1.0, 7.0, 0.0)
    f.add_link("", "A", "A", 2.0, 0.5, 1.0, LT.Satellite, v.VornSatelliteExtension(0.5, 0.5))
    f.config = v.VornConfig(alpha_loss=9.0, max_attempts=1)
    engine = v.VornEngine()
    assert engine.define_network_from_vorn(f) is None
    f.add_node("B")  # later changes do not reach the engine
    doc = snapshot(engine, tmp_path)
    assert doc["nodes"] == [{"id": "A", "memoryLifetimeT2": 0.25}]
    assert doc["links"] == [
        {"fromNode": "A", "to": "Ghost", "distanceKm": -1.0, "baseFidelity": 7.0, "generationRateHz": 0.0,
         "linkType": "Fiber", "satelliteConditions": None},
        {"fromNode": "A", "to": "A", "distanceKm": 2.0, "baseFidelity": 0.5, "generationRateHz": 1.0,
         "linkType": "Satellite", "satelliteConditions": None},
    ]
    # the engine's configuration is untouched by the file's config
    assert doc["config"] == {"alphaLoss": 1.2, "gammaSwapping": 0.12}


def test_define_network_from_vorn_replaces_the_network(tmp_path, chain_engine):
    f = v.VornFile("x")
    f.add_node("Z")
    chain_engine.define_network_from_vorn(f)
    doc = snapshot(chain_engine, tmp_path)
    assert (doc["nodes"], doc["links"]) == ([{"id": "Z", "memoryLifetimeT2": 1.0}], [])
    with pytest.raises(TypeError, match="^argument 'qf': 'VornNode' object cannot be converted to 'VornFile'$"):
        chain_engine.define_network_from_vorn(v.VornNode("A"))


def vorn_document(config=None, nodes=None, chain=2, distance=1.0):
    doc = {
        "version": "1.0", "metadata": {"name": "n"},
        "nodes": nodes if nodes is not None else [{"id": f"N{i}"} for i in range(chain)],
        "links": [{"from": f"N{i}", "to": f"N{i + 1}", "distance_km": distance, "base_fidelity": 0.99,
                   "generation_rate_hz": 10} for i in range(chain - 1)],
    }
    if config is not None:
        doc["config"] = config
    return doc


@pytest.mark.parametrize("config,alpha,gamma", [
    (None, 1.2, 0.12),
    ({}, 2.2, 0.22),
    ({"alpha_loss": None}, 2.2, 0.22),
    ({"beta_fidelity_decay": 5, "gamma_swapping": 7, "max_attempts": 3}, 2.2, 0.22),
    ({"alpha_loss": 0.5}, 0.5, 0.05),
    ({"alpha_loss": 3}, 3.0, 0.3),
    ({"alpha_loss": 0}, 0.0, 0.0),
])
def test_from_vorn_file_purify_factor(tmp_path, config, alpha, gamma):
    engine = v.from_vorn_file(write_json(tmp_path, vorn_document(config)))
    assert type(engine) is v.VornEngine
    assert snapshot(engine, tmp_path)["config"] == {"alphaLoss": alpha, "gammaSwapping": gamma}


@pytest.mark.parametrize("config,cutoff", [
    (None, 5000.0),
    ({}, 5000.0),
    ({"alpha_loss": 1.0}, 5000.0),
    ({"max_attempts": 40}, 2000.0),
    ({"max_attempts": 1}, 50.0),
    ({"max_attempts": 0}, 0.0),
])
def test_from_vorn_file_time_cutoff(tmp_path, config, cutoff):
    # A long chain whose first round drops a pair: the request then runs until the
    # time cutoff (the latency budget is far larger) and ends unsuccessful at it.
    engine = v.from_vorn_file(write_json(tmp_path, vorn_document(config, chain=10, distance=500.0)))
    result = engine.request_entanglement("N0", "N9", 0.0, 1e9)
    assert (result.success, result.latency_ms) == (False, cutoff)


def test_from_vorn_file_memory_lifetime(tmp_path):
    nodes = [{"id": "A", "memory_lifetime_ms": 250}, {"id": "B"}, {"id": "C", "memory_lifetime_ms": 1500.0}]
    doc = vorn_document(nodes=nodes)
    doc["links"] = [{"from": "A", "to": "B", "distance_km": 1, "base_fidelity": 0.9, "generation_rate_hz": 1},
                    {"from": "B", "to": "C", "distance_km": 1, "base_fidelity": 0.9, "generation_rate_hz": 1,
                     "link_type": "satellite", "satellite": {"visibility": 0.5, "weather_factor": 0.5}}]
    engine = v.from_vorn_file(write_json(tmp_path, doc))
    snap = snapshot(engine, tmp_path)
    assert sorted((n["id"], n["memoryLifetimeT2"]) for n in snap["nodes"]) == [("A", 0.25), ("B", 1.0), ("C", 1.5)]
    assert [(link["linkType"], link["satelliteConditions"]) for link in snap["links"]] == [
        ("Fiber", None), ("Satellite", None)]


@pytest.mark.parametrize("document,tail", [
    (dict(vorn_document(), version="2.0"), "Unsupported vorn version: 2.0"),
    (vorn_document(nodes=[{"id": "N0"}, {"id": "N1"}, {"id": "X"}]),
     "Validation failed:\nValidation failed.\n\nErrors:\n   - Graph is disconnected with 2 components\n"),
])
def test_from_vorn_file_load_failures(tmp_path, document, tail):
    path = write_json(tmp_path, document)
    with pytest.raises(RuntimeError) as info:
        v.from_vorn_file(path)
    assert str(info.value) == "Failed to load " + path + ": " + tail


def test_from_vorn_file_docstring():
    assert v.from_vorn_file.__doc__ == (
        "Classmethod alternative to `VornEngine(config?)`: load a .vorn file and return an initialized engine.\n"
        "This is the \"from_file\" pattern \u2014 one call to start simulating.")


def test_non_finite_optional_numbers_are_refused_not_lost(tmp_path):
    f = v.VornFile("x")
    f.add_node("A", 1.0)
    f.constraints = v.VornConstraints(-math.inf, math.nan)
    with pytest.raises(RuntimeError, match="^JSON parse error: cannot write VornConstraints member `fidelity_target`"):
        saved_text(f, tmp_path)
    assert not (tmp_path / "out.vorn").exists()
