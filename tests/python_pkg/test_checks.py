"""Inputs `vorn` owns: unknown nodes, run counts and seeds, unending requests
and scale factors are refused before any work, naming the argument; the
seeded single request is run 0 of the seeded ensemble, checked against the
reference model."""

import math
from concurrent.futures import ThreadPoolExecutor

import pytest
import reference_model as m
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn
import vorn_core
from vorn import Config, Link, Network, Node, UnknownNodeError
from vorn._checks import CLOCK_LIMIT_MS, check_time_limit

CHAIN = vorn.builtin("repeater_chain")  # N0 - N1 - N2 - N3
INF = math.inf


def _entries(net, from_node, to, budget=10.0):
    """Every vorn entry that runs requests, as (name, call)."""
    one = ThreadPoolExecutor(1)
    grid = {"from_node": from_node, "to": to, "fidelity_target": 0.9, "max_latency_ms": budget}
    return [
        ("request", lambda: net.request(from_node, to, 0.9, budget)),
        ("seeded request", lambda: net.request(from_node, to, 0.9, budget, seed=1)),
        ("Network.simulate", lambda: net.simulate(from_node, to, 0.9, budget, 20, seed=0)),
        ("vorn.simulate", lambda: vorn.simulate(net, from_node, to, 0.9, budget, 20, seed=0, executor=one,
                                                progress=False)),
        ("sweep", lambda: vorn.sweep(net, grid, 20, executor=one, progress=False)),
        ("sweep variation", lambda: vorn.sweep(net, grid, 20, variations={"x": {"distance_km": 1.0}},
                                               executor=one, progress=False)),
        ("qkd", lambda: net.qkd(from_node, to, 0.9, budget)),
        ("teleportation", lambda: net.teleportation(from_node, to, classical_bandwidth_ms=budget)),
        ("star", lambda: net.distributed_computation([from_node, to], vorn_core.CoordinationTopology.star(to),
                                                     vorn_core.MeasurementBasis(),
                                                     None if budget == 10.0 else budget / 10.0)),
        ("edges", lambda: net.distributed_computation([from_node], vorn_core.CoordinationTopology.arbitrary(
            [(from_node, to)]), vorn_core.MeasurementBasis(), None if budget == 10.0 else budget / 10.0)),
    ]


@pytest.mark.parametrize("index", range(len(_entries(CHAIN, "N0", "NX"))))
def test_unknown_nodes_are_named_by_every_entry(index):
    for from_node, to in (("N0", "NX"), ("NX", "N3")):
        name, call = _entries(CHAIN, from_node, to)[index]
        with pytest.raises(UnknownNodeError, match="unknown node 'NX'; the network's nodes: N0, N1, N2, N3"):
            call()
    name, call = _entries(CHAIN, "N0", "N3")[index]
    call()  # known nodes still run
    assert issubclass(UnknownNodeError, KeyError) and issubclass(UnknownNodeError, ValueError)


def test_coordination_checks_only_nodes_that_get_requests():
    basis = vorn_core.MeasurementBasis()
    # A star without participants, or a mesh of one, runs no request: nothing to refuse.
    CHAIN.distributed_computation([], vorn_core.CoordinationTopology.star("nowhere"), basis)
    CHAIN.distributed_computation(["N0"], vorn_core.CoordinationTopology.mesh(), basis)
    # An edge list is what runs; participants outside it get no request.
    CHAIN.distributed_computation(["elsewhere"], vorn_core.CoordinationTopology.arbitrary([]), basis)
    with pytest.raises(UnknownNodeError, match="'elsewhere'"):
        CHAIN.distributed_computation(["N0", "elsewhere"], vorn_core.CoordinationTopology.ring(), basis)


node_ids = st.sampled_from(["A", "B", "C", "D", "X"])


@settings(max_examples=60, deadline=None)
@given(st.lists(st.tuples(node_ids, node_ids), min_size=0, max_size=5), st.sets(node_ids, max_size=4),
       node_ids, node_ids)
def test_refused_nodes_are_those_the_engine_cannot_route_to(edges, defined, from_node, to):
    """vorn refuses exactly the endpoints without a node entry; the engine
    gives those an empty path, and every other request the engine's result."""
    net = Network(tuple(Node(n) for n in sorted(defined)),
                  tuple(Link(a, b, 10.0, 0.95, 100.0) for a, b in edges))
    engine_result = net.engine().request_entanglement(from_node, to, 0.9, 5.0)
    if {from_node, to} <= defined:
        assert list(net.request(from_node, to, 0.9, 5.0).execution_path) == list(engine_result.execution_path)
    else:
        with pytest.raises(UnknownNodeError):
            net.request(from_node, to, 0.9, 5.0)
        assert list(engine_result.execution_path) == []


@pytest.mark.parametrize("name,call", [
    ("runs", lambda value: CHAIN.simulate("N0", "N3", 0.9, 10.0, value)),
    ("seed", lambda value: CHAIN.simulate("N0", "N3", 0.9, 10.0, 10, seed=value)),
    ("seed", lambda value: CHAIN.request("N0", "N3", 0.9, 10.0, seed=value)),
    ("rounds", lambda value: CHAIN.qkd("N0", "N3", 0.9, 10.0, rounds=value)),
    ("runs", lambda value: vorn.simulate(CHAIN, "N0", "N3", 0.9, 10.0, value, seed=0)),
    ("seed", lambda value: vorn.simulate(CHAIN, "N0", "N3", 0.9, 10.0, 10, seed=value)),
    ("runs", lambda value: vorn.sweep(CHAIN, {"from_node": "N0", "to": "N3", "fidelity_target": 0.9,
                                              "max_latency_ms": 10.0}, value)),
    ("runs", lambda value: vorn.compare([("repeater_chain", "N0", "N3")], 0.9, 10.0, value)),
    ("seed", lambda value: vorn.compare([("repeater_chain", "N0", "N3")], 0.9, 10.0, 10, seed=value)),
])
@pytest.mark.parametrize("value", [-1, 2**64])
def test_counts_and_seeds_out_of_range_name_the_argument(name, call, value):
    with pytest.raises(OverflowError, match=rf"^{name} must be a whole number from 0 to 2\*\*64 - 1, not {value}$"):
        call(value)
    with pytest.raises(TypeError, match=rf"^{name} must be a whole number from 0 to 2\*\*64 - 1, not 2.5$"):
        call(2.5)


def test_clock_stops_advancing_at_the_limit():
    """The rule's bound: adding the 2.5 ms back-off no longer moves a clock at 2**55 ms."""
    clock = CLOCK_LIMIT_MS - 40.0
    for _ in range(20):
        clock += 2.5
    assert clock == CLOCK_LIMIT_MS and clock + 2.5 == clock
    assert math.nextafter(CLOCK_LIMIT_MS, 0.0) + 2.5 == CLOCK_LIMIT_MS


@given(st.floats(allow_nan=True), st.floats(allow_nan=True))
def test_time_limit_rule(budget, cutoff):
    unending = budget > CLOCK_LIMIT_MS and cutoff > CLOCK_LIMIT_MS
    if unending:
        with pytest.raises(ValueError, match="could end after a failed attempt"):
            check_time_limit(budget, cutoff)
    else:
        check_time_limit(budget, cutoff)


def test_unending_requests_are_refused_by_every_entry():
    # A target no route can reach returns at once, so a missing check fails
    # the test instead of hanging it.
    endless = Network(CHAIN.nodes, CHAIN.links, Config(total_time_cutoff_ms=INF))
    for _name, call in _entries(endless, "N0", "N3", budget=INF):
        with pytest.raises(ValueError, match=r"max_latency_ms=inf and total_time_cutoff_ms=inf"):
            call()
    # One infinite limit is bounded by the other: the request ends.
    assert CHAIN.request("N0", "N3", 0.9, INF).latency_ms <= CHAIN.config.total_time_cutoff_ms + 2.5
    grid = {"from_node": "N0", "to": "N3", "fidelity_target": 0.9, "max_latency_ms": INF}
    with pytest.raises(ValueError, match="could end"):
        vorn.sweep(CHAIN, grid, 5, variations={"endless": lambda net: endless}, executor=ThreadPoolExecutor(1))


fidelities = st.floats(0.0, 1.0)


@settings(max_examples=80, deadline=None)
@given(st.lists(fidelities, min_size=1, max_size=5), st.floats(0.0, 3.0))
def test_scaled_fidelities_stay_within_0_and_1(values, factor):
    net = Network((Node("A"), Node("B")), tuple(Link("A", "B", 1.0, f, 1.0) for f in values))
    if any(f * factor > 1.0 for f in values):
        with pytest.raises(ValueError, match=r"scaling base_fidelity by .* takes link \d \(A-B\) from .* to .*"
                                             r"; a fidelity must stay within \[0, 1\]"):
            net.scaled({"base_fidelity": factor})
    else:
        scaled = net.scaled({"base_fidelity": factor})
        assert [link.base_fidelity for link in scaled.links] == [f * factor for f in values]


@pytest.mark.parametrize("factor", [-0.5, INF, math.nan])
def test_scale_factors_are_finite_and_not_negative(factor):
    with pytest.raises(ValueError, match="the factor for distance_km must be a finite number of 0 or more"):
        CHAIN.scaled({"distance_km": factor})
    with pytest.raises(TypeError, match="must be a real number"):
        CHAIN.scaled({"distance_km": "2"})


def test_sweep_variation_above_one_is_refused_before_any_run():
    grid = {"from_node": "N0", "to": "N3", "fidelity_target": 0.9, "max_latency_ms": 10.0}
    with pytest.raises(ValueError, match=r"from 0.92 to 1.1"):
        vorn.sweep(CHAIN, grid, 5, variations={"better": {"base_fidelity": 1.2}})


# --------------------------------------------------------------------------- seeded single request


def _model_request(net, from_node, to, target, budget, strategy, seed):
    """The reference model's request with generation and memory loss keyed by `seed`."""
    network = m.Network(tuple((n.id, n.memory_lifetime_t2_s) for n in net.nodes),
                        tuple((k.from_node, k.to, k.distance_km, k.base_fidelity, k.generation_rate_hz)
                              for k in net.links))
    config = m.Config(*(getattr(net.config, name) for name in ("baseline_purify_factor",
                                                                "speed_of_light_in_fiber_km_ms",
                                                                "total_time_cutoff_ms", "step_resolution_ms")))
    key = m.seed_key(seed)
    code = None if strategy is None else ["LowestLatency", "HighestFidelity", "HighestSuccess"].index(strategy)
    outcome, _ = m.simulate_request(network, config, from_node, to, target, budget, code,
                                    m.ChaCha12(key, stream=0), m.ChaCha12(key, stream=1))
    return outcome


@settings(max_examples=60, deadline=None)
@given(st.sampled_from(["repeater_chain", "telecom_backbone"]), st.integers(0, 2**64 - 1),
       st.floats(0.5, 1.0), st.sampled_from([0.0, 2.5, 10.0, 60.0]),
       st.sampled_from([None, "LowestLatency", "HighestFidelity", "HighestSuccess"]))
def test_seeded_request_is_the_models_seeded_request(name, seed, target, budget, strategy):
    net = vorn.builtin(name)
    ids = net.node_ids()
    from_node, to = ids[0], ids[-1]
    result = net.request(from_node, to, target, budget, strategy, seed=seed)
    expected = _model_request(net, from_node, to, target, budget, strategy, seed)
    assert (result.success, result.latency_ms, result.final_fidelity, list(result.execution_path)) == (
        expected.success, expected.latency_ms, expected.fidelity, expected.path)
    again = net.request(from_node, to, target, budget, strategy, seed=seed)
    assert (again.success, again.latency_ms, again.final_fidelity) == (result.success, result.latency_ms,
                                                                      result.final_fidelity)


def test_seeds_vary_a_single_request():
    outcomes = {CHAIN.request("N0", "N3", 0.95, 50.0, seed=seed).latency_ms for seed in range(40)}
    assert len(outcomes) > 1  # the designed request repeats its draws; seeds give other outcomes
    path = CHAIN.request("N0", "N3", 0.95, 50.0, seed=3).execution_path
    assert list(path) == list(CHAIN.request("N0", "N3", 0.95, 50.0).execution_path)
