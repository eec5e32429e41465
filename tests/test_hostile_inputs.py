"""Python code that runs inside a conversion (a subclass's __len__, __iter__,
__index__, __float__, an exception's __str__) and changes or frees what is
being converted; lengths that lie; long chains of file objects."""
import gc
import subprocess
import sys

import pytest

import vorn_core as v


def node_list():
    return [v.NodeDefinition(n, 1.0) for n in "ABC"]


# ---------------------------------------------------------------- extensions walked while code changes them

def clearing_list(owner):
    """A list subclass whose own protocol methods empty `owner` (the dict
    that holds it) and then behave normally."""
    class Clearing(list):
        def __getitem__(self, i):
            owner.clear()
            return list.__getitem__(self, i)

        def __len__(self):
            owner.clear()
            return list.__len__(self)

        def __iter__(self):
            owner.clear()
            yield from list.__iter__(self)
    return Clearing


def clearing_tuple(owner):
    class Clearing(tuple):
        def __iter__(self):
            owner.clear()
            yield from tuple.__iter__(self)

        def __len__(self):
            owner.clear()
            return tuple.__len__(self)
    return Clearing


def metaclass_name_clearing(owner):
    """An unsupported value whose type name, asked for the error text, empties `owner`."""
    class Meta(type):
        @property
        def __name__(cls):
            owner.clear()
            return "HostileName"
    return Meta("H", (), {})()


# (how to build "custom" given the dict that holds it, the value that reads back or None for an error)
EXTENSION_CASES = {
    "list subclass frees itself": (lambda ext: clearing_list(ext)(range(10000)), list(range(10000))),
    "tuple subclass in a dict": (lambda ext: {"a": clearing_tuple(ext)((1, 2.5, "x"))}, {"a": [1, 2.5, "x"]}),
    "nested in a list": (lambda ext: [[clearing_list(ext)([1, 2])], 3], [[[1, 2]], 3]),
    "unsupported value's type name": (lambda ext: [metaclass_name_clearing(ext)], None),
}


@pytest.mark.parametrize("make,expected", EXTENSION_CASES.values(), ids=EXTENSION_CASES.keys())
@pytest.mark.parametrize("via", ["method", "function"])
def test_custom_value_freed_during_the_walk(tmp_path, make, expected, via):
    ext = {}
    ext["custom"] = make(ext)
    f = v.VornFile("x")
    f.extensions = ext
    del ext  # the file object now holds the only reference
    path = str(tmp_path / "out.vorn")
    save = f.save if via == "method" else (lambda p: v.save(f, p))
    if expected is None:
        with pytest.raises(RuntimeError, match="^JSON parse error: .*HostileName"):
            save(path)
    else:
        save(path)
        assert v.load_vorn_file(path).extensions == {"custom": expected}
    assert f.extensions == {}  # the walk's own callbacks emptied it


# ---------------------------------------------------------------- argument conversions under hostile code

class Index:
    """A whole number whose __index__ runs `action` first."""
    def __init__(self, action, value=1):
        self.action, self.value = action, value

    def __index__(self):
        self.action()
        return self.value


class Real:
    def __init__(self, action, value=1.0):
        self.action, self.value = action, value

    def __float__(self):
        self.action()
        return self.value


def raising_type_error(action):
    """An index that raises a TypeError whose text (asked for the argument
    prefix) runs `action`."""
    class Boom(TypeError):
        def __str__(self):
            action()
            return "boom"

    class Raiser:
        def __index__(self):
            raise Boom()
    return Raiser()


def heatmap_case(make_value):
    heat = {}
    heat.update({f"k{i}": make_value(heat.clear) for i in range(50)})
    return lambda: v.MonteCarloStats(1, 1.0, 1.0, 1.0, 0, heat).link_utilization_heatmap


def self_clearing_sequence_case(method):
    """A node list whose `method` empties the list itself before doing its work."""
    class Hostile(list):
        pass
    setattr(Hostile, method, lambda self, *a: (self.clear(), getattr(list, method)(self, *a))[1])
    nodes = Hostile(node_list())
    return lambda: v.NetworkTopologyPayload(nodes, []).nodes


HOSTILE_CALLS = {
    "map value's __index__ clears the dict": (heatmap_case(Index), {f"k{i}": 1 for i in range(50)}),
    "map value's error text clears the dict": (heatmap_case(raising_type_error), TypeError),
    "sequence __len__ clears itself": (self_clearing_sequence_case("__len__"), []),
    "sequence __iter__ clears itself": (self_clearing_sequence_case("__iter__"), []),
}


@pytest.mark.parametrize("call,expected", HOSTILE_CALLS.values(), ids=HOSTILE_CALLS.keys())
def test_hostile_callbacks_during_argument_conversion(call, expected):
    if isinstance(expected, type):
        with pytest.raises(expected):
            call()
    else:
        assert call() == expected


# ---------------------------------------------------------------- lengths are hints

class Lie(list):
    def __init__(self, length, items):
        super().__init__(items)
        self.length = length

    def __len__(self):
        return self.length


@pytest.mark.parametrize("length", [2**62, 2**31, 10**6, 0, 1])
@pytest.mark.parametrize("make,read", [
    (lambda i: v.NodeDefinition(i, 1.0), lambda seq: v.NetworkTopologyPayload(seq, []).nodes),
    (lambda i: v.VornNode(i), lambda seq: setattr(f := v.VornFile("x"), "nodes", seq) or f.nodes),
], ids=["constructor argument", "attribute"])
def test_a_lying_length_is_only_a_hint(length, make, read):
    assert [n.id for n in read(Lie(length, [make("A"), make("B")]))] == ["A", "B"]


def test_a_lying_length_in_a_method_argument():
    engine = v.VornEngine()
    engine.define_network(Lie(2**62, node_list()), Lie(2**40, [v.LinkDefinition("A", "B", 1.0, 0.99, 1e6)]))
    assert engine.request_entanglement("A", "B", 0.5, 100.0).execution_path == ["A", "B"]
    result = engine.run_distributed_computation(Lie(2**62, ["A", "B"]), "star", "ghz")
    assert [p.node_id for p in result.party_results] == ["A", "B"]


# ---------------------------------------------------------------- long chains of file objects

CHAIN = """
import gc, vorn_core as v
h = None
for _ in range({count}):
    f = v.VornFile("x")
    f.extensions = {wrap}
    h = f
first = h
{close}
del f, h
{collect}
print("released")
"""


@pytest.mark.parametrize("wrap,close,collect", [
    ("h", "", ""),                                              # plain chain, released by reference counts
    ("h", "g = first\nwhile g.extensions is not None: g = g.extensions\ng.extensions = first\ndel g",
     "del first\ngc.collect()"),                                # one long cycle, released by the collector
], ids=["chain", "cycle"])
def test_long_chains_release_without_recursion(wrap, close, collect):
    script = CHAIN.format(count=300_000, wrap=wrap, close=close, collect=collect)
    if not collect:
        script = script.replace("first = h\n", "")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout.strip() == "released"


def test_chain_release_still_frees_everything():
    before = len(gc.get_objects())
    h = None
    for _ in range(2000):
        f = v.VornFile("x")
        f.extensions = [h, {"k": h}]
        h = f
    del f, h
    gc.collect()
    assert len(gc.get_objects()) < before + 100
