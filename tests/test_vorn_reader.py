"""Reading .vorn documents through `load_vorn_file`: accepted forms and the exact
reader messages, with the position (line, column of the last character read) that
the Python user sees inside "Failed to load <path>: JSON parse error: ..."."""
import pytest

import vorn_core as v

# Line 1 of most documents below; the part under test starts at line 2, column 1.
HEAD = '{"version": "1.0", "metadata": {"name": "n"},\n'
# A link whose distance_km value follows directly (line 2, the value starts at column 64).
DIST = HEAD + '"nodes": [], "links": [{"from": "A", "to": "B", "distance_km": '
# A complete link head; the member under test follows (line 2, column 114).
LINK = HEAD + ('"nodes": [], "links": [{"from": "A", "to": "B", "distance_km": 1, '
               '"base_fidelity": 0.9, "generation_rate_hz": 1, ')
TOP = '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [], "links": []'


def write(tmp_path, text):
    path = tmp_path / "net.vorn"
    if isinstance(text, bytes):
        path.write_bytes(text)
    else:
        path.write_bytes(text.encode("utf-8"))
    return str(path)


def load_failure(tmp_path, text):
    """The load error text after the "Failed to load <path>: " prefix."""
    path = write(tmp_path, text)
    with pytest.raises(RuntimeError) as info:
        v.load_vorn_file(path)
    message = str(info.value)
    prefix = "Failed to load " + path + ": "
    assert message.startswith(prefix), message
    return message[len(prefix):]


SCHEMA_ERRORS = [
    # required members absent: reported at the closing brace of their object
    ("no version", "{}", "missing field `version` at line 1 column 2"),
    ("no node id", HEAD + '"nodes": [{"memory_capacity": 1}], "links": []}',
     "missing field `id` at line 2 column 32"),
    ("no links", HEAD + '"nodes": []}', "missing field `links` at line 2 column 12"),
    ("no links, brace on line 3", HEAD + '"nodes": []\n  }', "missing field `links` at line 3 column 3"),
    ("no metadata name", '{"version": "1.0", "metadata": {}, "nodes": [], "links": []}',
     "missing field `name` at line 1 column 33"),
    ("no link from", HEAD + '"nodes": [], "links": [{"to": "B", "distance_km": 1, '
     '"base_fidelity": 0.9, "generation_rate_hz": 1}]}', "missing field `from` at line 2 column 99"),
    ("no generation rate", DIST + '1, "base_fidelity": 0.9}]}',
     "missing field `generation_rate_hz` at line 2 column 87"),
    ("satellite without weather_factor", LINK + '"satellite": {"visibility": 0.5}}]}',
     "missing field `weather_factor` at line 2 column 145"),
    # members given twice: reported right after the second key's closing quote
    ("version twice", '{"version": "1.0", "version": "1.0"}', "duplicate field `version` at line 1 column 28"),
    ("optional null then value", HEAD + '"nodes": [{"id": "A", "memory_lifetime_ms": null, '
     '"memory_lifetime_ms": 1}], "links": []}', "duplicate field `memory_lifetime_ms` at line 2 column 70"),
    ("space before the colon", HEAD + '"nodes": [{"id": "A", "id" : "B"}], "links": []}',
     "duplicate field `id` at line 2 column 27"),
    # wrong JSON types for a number member
    ("string for f64", DIST + '"10", "base_fidelity": 0.9}]}',
     'invalid type: string "10", expected f64 at line 2 column 67'),
    ("null for required f64", DIST + 'null, "base_fidelity": 0.9}]}',
     "invalid type: null, expected f64 at line 2 column 67"),
    ("boolean for f64", DIST + 'true, "base_fidelity": 0.9}]}',
     "invalid type: boolean `true`, expected f64 at line 2 column 67"),
    ("boolean for optional f64", HEAD + '"nodes": [{"id": "A", "memory_lifetime_ms": false}], "links": []}',
     "invalid type: boolean `false`, expected f64 at line 2 column 49"),
    # a map or sequence is seen but not read: the position is the character before it
    ("map for f64", DIST + '{}, "base_fidelity": 0.9}]}',
     "invalid type: map, expected f64 at line 2 column 63"),
    ("sequence for f64", DIST + '[1], "base_fidelity": 0.9}]}',
     "invalid type: sequence, expected f64 at line 2 column 63"),
    ("sequence for f64 after two spaces", DIST + ' [1], "base_fidelity": 0.9}]}',
     "invalid type: sequence, expected f64 at line 2 column 64"),
    ("sequence for f64 without space", DIST[:-1] + '[1], "base_fidelity": 0.9}]}',
     "invalid type: sequence, expected f64 at line 2 column 62"),
    # wrong JSON types for a string member
    ("integer for string", HEAD + '"nodes": [{"id": 5}], "links": []}',
     "invalid type: integer `5`, expected a string at line 2 column 18"),
    ("negative float for string", HEAD + '"nodes": [{"id": -2.5}], "links": []}',
     "invalid type: floating point `-2.5`, expected a string at line 2 column 21"),
    ("null for required string", '{"version": "1.0", "metadata": {"name": null}, "nodes": [], "links": []}',
     "invalid type: null, expected a string at line 1 column 44"),
    ("sequence for string", '{"version": "1.0", "metadata": {"name": []}, "nodes": [], "links": []}',
     "invalid type: sequence, expected a string at line 1 column 40"),
    ("map for string", '{"version": "1.0", "metadata": {"name": {"a": 1}}, "nodes": [], "links": []}',
     "invalid type: map, expected a string at line 1 column 40"),
    ("integer for version", '{"version": 1}', "invalid type: integer `1`, expected a string at line 1 column 13"),
    # u32 members
    ("4.0 for u32", HEAD + '"nodes": [{"id": "A", "memory_capacity": 4.0}], "links": []}',
     "invalid type: floating point `4.0`, expected u32 at line 2 column 44"),
    ("exponent for u32", HEAD + '"nodes": [{"id": "A", "memory_capacity": 1e3}], "links": []}',
     "invalid type: floating point `1000.0`, expected u32 at line 2 column 44"),
    ("string for u32", HEAD + '"nodes": [{"id": "A", "memory_capacity": "4"}], "links": []}',
     'invalid type: string "4", expected u32 at line 2 column 44'),
    ("negative u32", HEAD + '"nodes": [{"id": "A", "memory_capacity": -1}], "links": []}',
     "invalid value: integer `-1`, expected u32 at line 2 column 43"),
    ("u32 just too large", HEAD + '"nodes": [{"id": "A", "memory_capacity": 4294967296}], "links": []}',
     "invalid value: integer `4294967296`, expected u32 at line 2 column 51"),
    ("max_attempts too large", HEAD + '"nodes": [], "links": [], "config": {"max_attempts": 99999999999}}',
     "invalid value: integer `99999999999`, expected u32 at line 2 column 64"),
    # sequences and records
    ("map for nodes", HEAD + '"nodes": {}, "links": []}', "invalid type: map, expected a sequence at line 2 column 9"),
    ("string for links", HEAD + '"nodes": [], "links": "x"}',
     'invalid type: string "x", expected a sequence at line 2 column 25'),
    ("null for nodes", HEAD + '"nodes": null, "links": []}',
     "invalid type: null, expected a sequence at line 2 column 13"),
    ("string for metadata", '{"version": "1.0", "metadata": "x", "nodes": [], "links": []}',
     'invalid type: string "x", expected struct VornMetadata at line 1 column 34'),
    ("null for metadata", '{"version": "1.0", "metadata": null, "nodes": [], "links": []}',
     "invalid type: null, expected struct VornMetadata at line 1 column 35"),
    ("integer node", HEAD + '"nodes": [5], "links": []}',
     "invalid type: integer `5`, expected struct VornNode at line 2 column 11"),
    ("string link", HEAD + '"nodes": [], "links": ["L"]}',
     'invalid type: string "L", expected struct VornLink at line 2 column 26'),
    ("boolean config", HEAD + '"nodes": [], "links": [], "config": true}',
     "invalid type: boolean `true`, expected struct VornConfig at line 2 column 40"),
    ("float constraints", HEAD + '"nodes": [], "links": [], "constraints": 0.5}',
     "invalid type: floating point `0.5`, expected struct VornConstraints at line 2 column 44"),
    ("string extensions", HEAD + '"nodes": [], "links": [], "extensions": "x"}',
     'invalid type: string "x", expected struct VornExtensions at line 2 column 43'),
    ("integer satellite", LINK + '"satellite": 1}]}',
     "invalid type: integer `1`, expected struct VornSatelliteExtension at line 2 column 127"),
    ("document is a number", "7", "invalid type: integer `7`, expected struct VornFile at line 1 column 1"),
    ("document is a number inside spaces", " 7 ",
     "invalid type: integer `7`, expected struct VornFile at line 1 column 2"),
    # enumerations: reported at the closing quote of the value
    ("unknown node kind", HEAD + '"nodes": [{"id": "A", "node_type": "router"}], "links": []}',
     "unknown variant `router`, expected one of `ground`, `satellite`, `repeater` at line 2 column 43"),
    ("capitalised node kind", HEAD + '"nodes": [{"id": "A", "node_type": "Ground", "x": 1}], "links": []}',
     "unknown variant `Ground`, expected one of `ground`, `satellite`, `repeater` at line 2 column 43"),
    ("capitalised link kind", LINK + '"link_type": "Fiber"}]}',
     "unknown variant `Fiber`, expected `fiber` or `satellite` at line 2 column 133"),
    ("empty link kind", LINK + '"link_type": "" }]}',
     "unknown variant ``, expected `fiber` or `satellite` at line 2 column 128"),
    # records given as arrays that are too short: reported at the closing bracket
    ("short node array", HEAD + '"nodes": [["A"]], "links": []}',
     "invalid length 1, expected struct VornNode with 4 elements at line 2 column 15"),
    ("short link array", HEAD + '"nodes": [], "links": [["L1", "A", "B", 10, 0.9, 1000]]}',
     "invalid length 6, expected struct VornLink with 8 elements at line 2 column 54"),
    ("short metadata array", '{"version": "1.0", "metadata": ["n"], "nodes": [], "links": []}',
     "invalid length 1, expected struct VornMetadata with 4 elements at line 1 column 36"),
    ("empty config array", HEAD + '"nodes": [], "links": [], "config": []}',
     "invalid length 0, expected struct VornConfig with 4 elements at line 2 column 38"),
    ("short constraints array", HEAD + '"nodes": [], "links": [], "constraints": [0.9]}',
     "invalid length 1, expected struct VornConstraints with 2 elements at line 2 column 46"),
    ("empty extensions array", HEAD + '"nodes": [], "links": [], "extensions": []}',
     "invalid length 0, expected struct VornExtensions with 1 element at line 2 column 42"),
    ("short satellite array", LINK + '"satellite": [0.5]}]}',
     "invalid length 1, expected struct VornSatelliteExtension with 2 elements at line 2 column 131"),
    ("empty document array", "[]", "invalid length 0, expected struct VornFile with 7 elements at line 1 column 2"),
]


@pytest.mark.parametrize("text,expected", [c[1:] for c in SCHEMA_ERRORS], ids=[c[0] for c in SCHEMA_ERRORS])
def test_schema_messages(tmp_path, text, expected):
    assert load_failure(tmp_path, text) == "JSON parse error: " + expected


SYNTAX_ERRORS = [
    ("empty file", "", "EOF while parsing a value at line 1 column 0"),
    ("whitespace only", "  \n  ", "EOF while parsing a value at line 2 column 2"),
    ("object cut after a member", '{"version": "1.0"', "EOF while parsing an object at line 1 column 17"),
    ("object cut after a newline", '{"version": "1.0"\n', "EOF while parsing an object at line 2 column 0"),
    ("list cut after an element", '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [{"id": "A"}',
     "EOF while parsing a list at line 1 column 67"),
    ("list cut after its bracket", '{"version": "1.0", "metadata": {"name": "n"}, "nodes": [',
     "EOF while parsing a list at line 1 column 56"),
    ("string cut", '{"version": "1.0", "metadata": {"name": "n', "EOF while parsing a string at line 1 column 42"),
    ("value cut after a colon", '{"version": ', "EOF while parsing a value at line 1 column 12"),
    ("value cut after a comma", '{"version": "1.0",', "EOF while parsing a value at line 1 column 18"),
    # the offending character is the last one read
    ("missing colon", '{"version" "1.0"}', "expected `:` at line 1 column 12"),
    ("missing colon in a skipped member", HEAD + '"nodes": [], "links": [], "zz": {"a" 1}}',
     "expected `:` at line 2 column 38"),
    ("missing comma in a list", HEAD + '"nodes": [{"id": "A"} {"id": "B"}], "links": []}',
     "expected `,` or `]` at line 2 column 23"),
    ("missing comma in an object", '{"version": "1.0" "metadata": {}}', "expected `,` or `}` at line 1 column 19"),
    ("no value before a brace", '{"version": }', "expected value at line 1 column 13"),
    ("bare word", '{"version": x}', "expected value at line 1 column 13"),
    ("number key", "{1: 2}", "key must be a string at line 1 column 2"),
    ("trailing comma in an object", '{"version": "1.0",}', "trailing comma at line 1 column 19"),
    ("trailing comma in a list", HEAD + '"nodes": [{"id": "A"},], "links": []}', "trailing comma at line 2 column 23"),
    ("text after the document", HEAD + '"nodes": [], "links": []} x', "trailing characters at line 2 column 27"),
    ("second document", HEAD + '"nodes": [], "links": []}\n{}', "trailing characters at line 3 column 1"),
    ("leading zero", DIST + "01}]}", "invalid number at line 2 column 65"),
    ("no digit after the point", DIST + "1.}]}", "invalid number at line 2 column 66"),
    ("no digit after the minus", DIST + "-x}]}", "invalid number at line 2 column 65"),
    ("no digit in the exponent", DIST + "1e}]}", "invalid number at line 2 column 66"),
    ("float overflow", DIST + "1e400}]}", "number out of range at line 2 column 68"),
    ("float overflow inside custom", HEAD + '"nodes": [], "links": [], "extensions": {"custom": [1, 2.5e400]}}',
     "number out of range at line 2 column 62"),
    ("tab inside a string", '{"version": "1.\t0"}',
     "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 16"),
    ("unknown escape", '{"version": "1.\\q0"}', "invalid escape at line 1 column 17"),
]


@pytest.mark.parametrize("text,expected", [c[1:] for c in SYNTAX_ERRORS], ids=[c[0] for c in SYNTAX_ERRORS])
def test_syntax_messages(tmp_path, text, expected):
    assert load_failure(tmp_path, text) == "JSON parse error: " + expected


CUSTOM_HEAD = TOP + ', "extensions": {"custom": '
SKIPPED_HEAD = TOP + ', "zz": '


@pytest.mark.parametrize("head,tail,arrays", [
    # The document object is level 1, extensions level 2, so custom holds 126 more levels.
    (CUSTOM_HEAD, "}}", 126),
    # An unknown member of the document holds 127 levels.
    (SKIPPED_HEAD, "}", 127),
], ids=["custom", "skipped member"])
def test_nesting_limit_is_128_levels(tmp_path, head, tail, arrays):
    ok = head + "[" * arrays + "]" * arrays + tail
    assert v.load_vorn_file(write(tmp_path, ok)).version == "1.0"
    objects = head + '{"a": ' * arrays + "1" + "}" * arrays + tail
    assert v.load_vorn_file(write(tmp_path, objects)).version == "1.0"
    deep = head + "[" * (arrays + 1) + "]" * (arrays + 1) + tail
    # Reported at the bracket that opens level 129.
    column = len(head) + arrays + 1
    assert load_failure(tmp_path, deep) == f"JSON parse error: recursion limit exceeded at line 1 column {column}"


@pytest.mark.parametrize("data", [
    b'{"version": "1.0\xff"}',
    b"\xc3",
    # not UTF-8 and not JSON either: still a read failure
    b'\xfe{{{',
])
def test_invalid_utf8_is_a_read_failure(tmp_path, data):
    assert load_failure(tmp_path, data) == "IO error: stream did not contain valid UTF-8"


def test_records_as_arrays(tmp_path):
    text = (
        '["1.0", ["n", "d", "a", "c"],\n'
        ' [["A", 100.0, 4, "ground"], ["B", null, null, null]],\n'
        ' [["L1", "A", "B", 10, 0.9, 1000, "satellite", [0.5, 0.8]],\n'
        '  [null, "B", "A", 1, 1, 1, null, null]],\n'
        ' [0.1, 0.2, 0.3, 7], [0.9, 50], [{"k": [1, 2]}]]'
    )
    f = v.load_vorn_file(write(tmp_path, text))
    assert f.version == "1.0"
    m = f.metadata
    assert (m.name, m.description, m.author, m.created_at) == ("n", "d", "a", "c")
    a, b = f.nodes
    assert (a.id, a.memory_lifetime_ms, a.memory_capacity, repr(a.node_type)) == ("A", 100.0, 4, "VornNodeType.Ground")
    assert (b.id, b.memory_lifetime_ms, b.memory_capacity, b.node_type) == ("B", None, None, None)
    l1, l2 = f.links
    assert (l1.id, l1.src, l1.to, l1.distance_km, l1.base_fidelity, l1.generation_rate_hz) == ("L1", "A", "B", 10.0, 0.9, 1000.0)
    assert repr(l1.link_type) == "VornLinkType.Satellite"
    assert (l1.satellite.visibility, l1.satellite.weather_factor) == (0.5, 0.8)
    assert (l2.id, l2.src, l2.to, l2.link_type, l2.satellite) == ("", "B", "A", None, None)
    c = f.config
    assert (c.alpha_loss, c.beta_fidelity_decay, c.gamma_swapping, c.max_attempts) == (0.1, 0.2, 0.3, 7)
    assert (f.constraints.fidelity_target, f.constraints.max_latency_ms) == (0.9, 50.0)
    assert f.extensions == {"custom": {"k": [1, 2]}}


@pytest.mark.parametrize("text", [
    # a record array one element too long
    HEAD + '"nodes": [["A", null, null, null, 5]], "links": []}',
    HEAD + '"nodes": [], "links": [], "extensions": [1, 2]}',
])
def test_too_long_record_arrays_fail(tmp_path, text):
    assert load_failure(tmp_path, text).startswith("JSON parse error: trailing characters at line 2 column ")


def test_unknown_members_are_skipped_at_every_level(tmp_path):
    text = """{
  "zz": {"a": [1, {"b": null, "c": [true, false, "x\\"y"]}], "d": -1.5e300},
  "version": "1.0",
  "metadata": {"name": "n", "title": ["t"], "created": {"y": 2024}},
  "nodes": [
    {"id": "A", "memoryLifetimeT2": 2.0, "memory_lifetime_ms": 5, "extra": {}},
    {"memoryLifetimeT2": 1.0, "id": "B"}
  ],
  "links": [
    {"fromNode": "X", "from": "A", "to": "B", "distanceKm": 9, "distance_km": 1,
     "base_fidelity": 0.9, "generation_rate_hz": 1, "satellite": {"visibility": 1, "weather_factor": 1, "weatherFactor": 3},
     "linkType": "Satellite"}
  ],
  "config": {"alpha": 1, "max_attempts": 3},
  "constraints": {"latency": 1},
  "extensions": {"other": [1], "custom": 5},
  "zz": 1, "zz": 1e400
}"""
    f = v.load_vorn_file(write(tmp_path, text))
    a, b = f.nodes
    assert (a.id, a.memory_lifetime_ms) == ("A", 5.0)
    assert (b.id, b.memory_lifetime_ms) == ("B", None)
    (link,) = f.links
    assert (link.src, link.distance_km, link.link_type) == ("A", 1.0, None)
    assert (link.satellite.visibility, link.satellite.weather_factor) == (1.0, 1.0)
    c = f.config
    assert (c.alpha_loss, c.beta_fidelity_decay, c.gamma_swapping, c.max_attempts) == (None, None, None, 3)
    assert (f.constraints.fidelity_target, f.constraints.max_latency_ms) == (None, None)
    assert f.extensions == {"custom": 5}


def test_null_means_not_given_for_optional_members(tmp_path):
    text = """{"version": "1.0",
"metadata": {"name": "n", "description": null, "author": null, "created_at": null},
"nodes": [{"id": "B"}, {"id": "A", "memory_lifetime_ms": null, "memory_capacity": null, "node_type": null}],
"links": [{"id": null, "from": "A", "to": "B", "distance_km": 1, "base_fidelity": 1, "generation_rate_hz": 1,
  "link_type": null, "satellite": null}],
"config": {"alpha_loss": null, "beta_fidelity_decay": null, "gamma_swapping": null, "max_attempts": null},
"constraints": null, "extensions": null}"""
    f = v.load_vorn_file(write(tmp_path, text))
    m = f.metadata
    assert (m.description, m.author, m.created_at) == (None, None, None)
    node = f.nodes[1]
    assert (node.memory_lifetime_ms, node.memory_capacity, node.node_type) == (None, None, None)
    link = f.links[0]
    assert (link.id, link.link_type, link.satellite) == ("", None, None)
    c = f.config
    assert (c.alpha_loss, c.beta_fidelity_decay, c.gamma_swapping, c.max_attempts) == (None, None, None, None)
    assert (f.constraints, f.extensions) == (None, None)
    assert v.load_vorn_file(write(tmp_path, text.replace('"config": {', '"config": null, "x": {'))).config is None


@pytest.mark.parametrize("extensions,expected", [
    ('{}', {}),
    ('{"custom": null}', {}),
    ('{"custom": {"a": [1, -2, 2.5, 1.0, null, true, false, "s\\u00e9"], "b": {}}}',
     {"custom": {"a": [1, -2, 2.5, 1.0, None, True, False, "sé"], "b": {}}}),
    ('{"custom": [18446744073709551615, -9223372036854775808, 18446744073709551616]}',
     {"custom": [18446744073709551615, -9223372036854775808, 18446744073709551616.0]}),
    ('{"custom": "text"}', {"custom": "text"}),
    ('{"custom": 1e2}', {"custom": 100.0}),
    ('[[]]', {"custom": []}),
])
def test_extensions_are_read_as_python_values(tmp_path, extensions, expected):
    f = v.load_vorn_file(write(tmp_path, TOP + ', "extensions": ' + extensions + "}"))
    assert f.extensions == expected
    # int and float kinds are kept apart (1 == 1.0 in Python, so compare the types too)
    assert repr(f.extensions) == repr(expected)


@pytest.mark.parametrize("member,value,attribute,expected", [
    ("memory_capacity", "4294967295", "memory_capacity", 4294967295),
    ("memory_capacity", "0", "memory_capacity", 0),
    ("memory_lifetime_ms", "10", "memory_lifetime_ms", 10.0),
    ("memory_lifetime_ms", "-0.5e-3", "memory_lifetime_ms", -0.0005),
    ("node_type", '"repeater"', "node_type", "VornNodeType.Repeater"),
    ("node_type", '"satellite"', "node_type", "VornNodeType.Satellite"),
])
def test_node_member_values(tmp_path, member, value, attribute, expected):
    text = HEAD + '"nodes": [{"id": "A", "' + member + '": ' + value + '}], "links": []}'
    got = getattr(v.load_vorn_file(write(tmp_path, text)).nodes[0], attribute)
    if attribute == "node_type":
        got = repr(got)
    assert got == expected
    if isinstance(expected, (int, float)) and not isinstance(expected, bool):
        assert type(got) is type(expected)
