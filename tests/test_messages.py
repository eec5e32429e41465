"""Exact texts of the binding layer's errors: one row per call."""
import os

import pytest

import vorn_core as v

E = v.VornEngine
N = v.NodeDefinition
L = v.LinkDefinition


def link():
    return L("A", "B", 1.0, 0.9, 10.0)


def result():
    engine = E()
    engine.define_network([], [])
    return engine.request_entanglement("A", "B", 0.9, 10.0)


def non_finite_file():
    f = v.VornFile("x")
    f.add_link("L", "A", "B", float("inf"), 0.9, 10.0)
    return f


def non_finite_engine():
    engine = E()
    engine.define_network([N("A", float("nan"))], [])
    return engine


def with_threads(value, call):
    """Runs `call` with VORN_NUM_THREADS set to `value`."""
    def run():
        saved = os.environ.get("VORN_NUM_THREADS")
        os.environ["VORN_NUM_THREADS"] = value
        try:
            return call()
        finally:
            if saved is None:
                del os.environ["VORN_NUM_THREADS"]
            else:
                os.environ["VORN_NUM_THREADS"] = saved
    return run


CASES = [
    # arity and keywords
    (lambda: N("A"), TypeError, "NodeDefinition.__new__() missing 1 required positional argument: 'memory_lifetime_t2'"),
    (lambda: N(), TypeError, "NodeDefinition.__new__() missing 2 required positional arguments: 'id' and 'memory_lifetime_t2'"),
    (lambda: L(), TypeError, "LinkDefinition.__new__() missing 5 required positional arguments: 'from_node', 'to', 'distance_km', 'base_fidelity', and 'generation_rate_hz'"),
    (lambda: N("A", 1.0, 2.0), TypeError, "NodeDefinition.__new__() takes 2 positional arguments but 3 were given"),
    (lambda: v.PhysicalConfig(1.0, 2.0), TypeError, "PhysicalConfig.__new__() takes from 0 to 1 positional arguments but 2 were given"),
    (lambda: L("A", "B", 1, 1, 1, None, None, None), TypeError, "LinkDefinition.__new__() takes from 5 to 7 positional arguments but 8 were given"),
    (lambda: N("A", 1.0, colour=1), TypeError, "NodeDefinition.__new__() got an unexpected keyword argument 'colour'"),
    (lambda: N("A", 1.0, id="B"), TypeError, "NodeDefinition.__new__() got multiple values for argument 'id'"),
    (lambda: E().request_entanglement("A"), TypeError, "VornEngine.request_entanglement() missing 3 required positional arguments: 'to', 'fidelity_target', and 'max_latency_ms'"),
    (lambda: E().define_network([], [], []), TypeError, "VornEngine.define_network() takes 2 positional arguments but 3 were given"),
    (lambda: E().simulate("A", "B", 0.9, 1.0, 10), RuntimeError, "No network defined. Call define_network() first."),
    (lambda: v.MonteCarloStats(1, 1.0, 1.0, 1.0, 0, {}).sensitivity_analysis(3), ValueError, "No simulation context available. Pass store_context=True to simulate()."),
    (lambda: v.MonteCarloStats(1, 1.0, 1.0, 1.0, 0, []), TypeError, "argument 'link_utilization_heatmap': 'list' object cannot be converted to 'PyDict'"),
    (lambda: v.MonteCarloStats(1, 1.0, 1.0, 1.0, 0, {"a": -1}), OverflowError, "can't convert negative int to unsigned"),
    (lambda: v.generate_topology(5), TypeError, "argument 'name': 'int' object cannot be converted to 'PyString'"),
    (lambda: v.generate_topology("fiber_only"), ValueError, "Invalid topology name. Use: 'telecom_backbone', 'repeater_chain', or 'hybrid_satellite_fiber'"),
    (lambda: v.compare_topologies("AB", 0.9, 1.0, 1), TypeError, "argument 'endpoints': Can't extract `str` to `Vec`"),
    (lambda: v.compare_topologies([("telecom_backbone", "A", "B")], 0.9, 1.0, 1), TypeError, "argument 'endpoints': 'tuple' object cannot be converted to 'TopologyEndpoints'"),
    (lambda: v.compare_topologies([], 0.9, 1.0, -1), OverflowError, "can't convert negative int to unsigned"),
    (lambda: v.compare_topologies([], 0.9, 1.0, 0), ValueError, "runs must be at least 1"),
    (with_threads("0", lambda: v.compare_topologies([], 0.9, 1.0, 1)), ValueError, "VORN_NUM_THREADS must be a whole number of threads from 1 to 1024, got '0'"),
    (lambda: v.compare_topologies([v.TopologyEndpoints("telecom_backbone", "A", "Z")], 0.9, 1.0, 1), ValueError, "Target node 'Z' not found in topology 'telecom_backbone'. Available nodes: [\"A\", \"B\", \"C\", \"D\", \"E\", \"F\"]"),
    (lambda: v.compare_topologies([v.TopologyEndpoints("repeater_chain", "Q", "Z")], 0.9, 1.0, 1), ValueError, "Source node 'Q' not found in topology 'repeater_chain'. Available nodes: [\"N0\", \"N1\", \"N2\", \"N3\"]"),
    (lambda: v.compare_topologies([v.TopologyEndpoints("telecom_backbone", "A", "Z"), v.TopologyEndpoints("Fiber_Only", "A", "B")], 0.9, 1.0, 1), ValueError, "Unknown topology in endpoints: 'Fiber_Only'. Supported: fiber_only, telecom_backbone, repeater_chain, hybrid_satellite_fiber, hybrid"),
    (lambda: E().run_distributed_computation(["A"], "Star", "ghz"), ValueError, "coordination_topology must be one of: 'star', 'ring', 'mesh'"),
    (lambda: E().run_distributed_computation(["A"], "star", "GHZ"), ValueError, "basis_type must be one of: 'ghz', 'cluster', 'graph'"),
    (lambda: E().run_distributed_computation("AB", "star", "ghz"), TypeError, "argument 'participants': Can't extract `str` to `Vec`"),
    (lambda: E().run_qkd(v.TeleportationParameters("A", "B")), TypeError, "argument 'params': 'TeleportationParameters' object cannot be converted to 'QKDParameters'"),
    (lambda: v.qkd(None, "A", "B", 0.9, 1.0), TypeError, "argument 'engine': 'NoneType' object cannot be converted to 'VornEngine'"),
    (lambda: v.CoordinationTopology.arbitrary([["A", "B"]]), TypeError, "argument 'edges': 'list' object cannot be converted to 'PyTuple'"),
    (lambda: v.CoordinationTopology.arbitrary([("A", "B", "C")]), ValueError, "expected tuple of length 2, but got tuple of length 3"),
    (lambda: v.CoordinationTopology.star(), TypeError, "CoordinationTopology.star() missing 1 required positional argument: 'center_node'"),
    (lambda: v.qkd(E(), "A", "B", 0.9, 1.0, 1, 0.1, 3), TypeError, "qkd() takes from 5 to 7 positional arguments but 8 were given"),
    (lambda: v.StrategyType.LowestLatency.to_u8(1), TypeError, "StrategyType.to_u8() takes 0 positional arguments but 1 was given"),
    # conversions, with the argument prefix for calls
    (lambda: N(5, 1.0), TypeError, "argument 'id': 'int' object cannot be converted to 'PyString'"),
    (lambda: N("A", "x"), TypeError, "argument 'memory_lifetime_t2': must be real number, not str"),
    (lambda: N("A", None), TypeError, "argument 'memory_lifetime_t2': must be real number, not NoneType"),
    (lambda: L("A", "B", 1, 1, 1, link_type=0), TypeError, "argument 'link_type': 'int' object cannot be converted to 'LinkType'"),
    (lambda: L("A", "B", 1, 1, 1, satellite_conditions=(1, 1)), TypeError, "argument 'satellite_conditions': 'tuple' object cannot be converted to 'SatelliteConditions'"),
    (lambda: E(v.PhysicalConfig()), TypeError, "argument 'config': 'PhysicalConfig' object cannot be converted to 'SimulationConfig'"),
    (lambda: E().define_network("AB", []), TypeError, "argument 'nodes': Can't extract `str` to `Vec`"),
    (lambda: E().define_network(5, []), TypeError, "argument 'nodes': 'int' object cannot be converted to 'Sequence'"),
    (lambda: E().define_network([], [N("A", 1.0)]), TypeError, "argument 'links': 'NodeDefinition' object cannot be converted to 'LinkDefinition'"),
    (lambda: v.NetworkTopologyPayload([], [N("A", 1.0)]), TypeError, "argument 'links': 'NodeDefinition' object cannot be converted to 'LinkDefinition'"),
    (lambda: E().request_entanglement("A", "B", 0.9, 1.0, strategy=1), TypeError, "argument 'strategy': 'int' object cannot be converted to 'StrategyType'"),
    # snapshots as objects
    (lambda: v.snapshot_topology(E()), RuntimeError, "No network topology to save"),
    (lambda: v.snapshot_topology("e"), TypeError, "argument 'engine': 'str' object cannot be converted to 'VornEngine'"),
    (lambda: v.read_topology(None), TypeError, "argument 'filepath': 'NoneType' object cannot be converted to 'PyString'"),
    (lambda: v.read_topology(), TypeError, "read_topology() missing 1 required positional argument: 'filepath'"),
    (lambda: v.snapshot_topology(E(), E()), TypeError, "snapshot_topology() takes 1 positional arguments but 2 were given"),
    # reals that JSON cannot hold, refused before the (here unreachable) target is opened
    (lambda: non_finite_file().save("/nonexistent-dir/x.vorn"), RuntimeError, "JSON parse error: cannot write VornLink member `distance_km`: inf is not a finite number"),
    (lambda: v.save_topology(non_finite_engine(), "/nonexistent-dir/x.json"), RuntimeError, "Failed to write topology file: cannot write NodeDefinition member `memoryLifetimeT2`: NaN is not a finite number"),
    # classes without a constructor
    (lambda: v.LinkType(), TypeError, "No constructor defined"),
    (lambda: v.StrategyType(), TypeError, "No constructor defined"),
]


@pytest.mark.parametrize("call,kind,text", CASES, ids=[c[2][:60] for c in CASES])
def test_exact_error_text(call, kind, text):
    with pytest.raises(kind) as info:
        call()
    assert type(info.value) is kind
    assert str(info.value) == text


SETTER_CASES = [
    (lambda: N("A", 1.0), "id", 5, TypeError, "'int' object cannot be converted to 'PyString'"),
    (lambda: N("A", 1.0), "memory_lifetime_t2", "x", TypeError, "must be real number, not str"),
    (lambda: link(), "link_type", None, TypeError, "'NoneType' object cannot be converted to 'LinkType'"),
    (lambda: v.SimulationConfig(), "physical", None, TypeError, "'NoneType' object cannot be converted to 'PhysicalConfig'"),
    (lambda: v.NetworkTopologyPayload([], []), "nodes", "AB", TypeError, "Can't extract `str` to `Vec`"),
    (lambda: v.NetworkTopologyPayload([], []), "links", {}, TypeError, "'dict' object cannot be converted to 'Sequence'"),
    (result, "success", 1, TypeError, "'int' object cannot be converted to 'PyBool'"),
    (result, "execution_path", [1], TypeError, "'int' object cannot be converted to 'PyString'"),
    (lambda: v.EntanglementRequest("A", "B", 1, 1), "strategy", 2, TypeError, "'int' object cannot be converted to 'StrategyType'"),
]


def plain(value):
    """A comparable projection of a value: records become tuples of their attributes."""
    if value is None or isinstance(value, (str, float, int, bool)):
        return value
    if isinstance(value, (list, tuple)):
        return [plain(item) for item in value]
    if isinstance(value, dict):
        return {key: plain(item) for key, item in value.items()}
    cls = type(value)
    names = [n for n in dir(value) if not n.startswith("__") and not callable(getattr(value, n))]
    if any(isinstance(getattr(cls, n, None), cls) for n in names):  # an enumeration member
        return repr(value)
    return (cls.__name__, tuple((n, plain(getattr(value, n))) for n in names))


@pytest.mark.parametrize("make,name,value,kind,text", SETTER_CASES, ids=[c[1] for c in SETTER_CASES])
def test_setter_rejects_and_keeps_old_value(make, name, value, kind, text):
    obj = make()
    before = plain(getattr(obj, name))
    with pytest.raises(kind) as info:
        setattr(obj, name, value)
    assert str(info.value) == text
    assert plain(getattr(obj, name)) == before


@pytest.mark.parametrize("value,kind,text", [
    (-1, OverflowError, None),
    (2**64, OverflowError, None),
    (True, None, None),
    (1.5, TypeError, "'float' object cannot be interpreted as an integer"),
    ("1", TypeError, "'str' object cannot be interpreted as an integer"),
])
def test_whole_number_conversion_errors(value, kind, text):
    engine = E()
    engine.define_network([N("A", 1.0)], [])
    if kind is None:  # bool is an int: accepted as a whole number
        assert engine.simulate("A", "A", 0.5, 10.0, 1, seed=value)._context.seed == 1
        return
    with pytest.raises(kind) as info:
        engine.simulate("A", "A", 0.5, 10.0, 1, seed=value)
    if text is not None:
        assert str(info.value) == "argument 'seed': " + text
