"""Key distribution, teleportation and distributed computation.

Every protocol request runs with the all-zero-key generator. Its first draw
(about 0.33) is below every hop probability (at least 0.5), so a request over
a one-hop route whose link meets the target always succeeds in the first
round; on one-hop routes memory loss cannot change the outcome. The networks
below use such routes so that the expected numbers are exact.
"""
import math

import pytest

import vorn_core as v

NO_NETWORK_QKD = dict(success=False, secret_key_length_bits=0, efficiency_rate=0.0, qber=1.0, latency_ms=0.0,
                      execution_path=[], rounds_completed=0, rounds_failed=0)


def engine_with(nodes, links, config=None):
    engine = v.VornEngine(config)
    engine.define_network([v.NodeDefinition(n, 1.0) for n in nodes], [v.LinkDefinition(*link) for link in links])
    return engine


def fields(obj, names):
    return {name: getattr(obj, name) for name in names}


QKD_FIELDS = list(NO_NETWORK_QKD)


@pytest.fixture
def pair_engine():
    """A-B at 0 km, fidelity 0.9: a request with a target of at most 0.9
    succeeds at once, one up to 0.999 after one purification (0.85 ms)."""
    return engine_with("AB", [("A", "B", 0.0, 0.9, 10.0)])


# ---------------------------------------------------------------------------
# key distribution
# ---------------------------------------------------------------------------

@pytest.mark.parametrize("run", [
    lambda e: e.run_qkd(v.QKDParameters("A", "B", 0.9, 100.0)),
    lambda e: v.qkd(e, "A", "B", 0.9, 100.0),
])
def test_qkd_without_network(run):
    assert fields(run(v.VornEngine()), QKD_FIELDS) == NO_NETWORK_QKD


def test_qkd_zero_rounds(pair_engine):
    assert fields(pair_engine.run_qkd(v.QKDParameters("A", "B", 0.9, 100.0, rounds=0)), QKD_FIELDS) == NO_NETWORK_QKD


@pytest.mark.parametrize("budget,rounds,failed,latency", [
    (10.0, 100, 5, 10.0),   # four failures spend the budget, the fifth check stops
    (10.1, 100, 6, 12.5),
    (10.0, 3, 3, 7.5),      # rounds run out first: no stop is counted
    (0.0, 100, 1, 0.0),
])
def test_qkd_failed_rounds_cost_the_back_off(pair_engine, budget, rounds, failed, latency):
    result = pair_engine.run_qkd(v.QKDParameters("A", "unknown", 0.9, budget, rounds=rounds))
    assert fields(result, QKD_FIELDS) == dict(NO_NETWORK_QKD, rounds_failed=failed, latency_ms=latency)


def test_qkd_failed_round_ignores_the_reported_latency():
    # each request fails on its 5 ms of signalling (budget 4 ms) but costs 2.5 ms
    engine = engine_with("AB", [("A", "B", 1000.0, 0.99, 1.0)])
    result = engine.run_qkd(v.QKDParameters("A", "B", 0.9, 4.0))
    assert (result.rounds_completed, result.rounds_failed, result.latency_ms) == (0, 3, 5.0)


def test_qkd_gives_each_round_the_remaining_budget():
    # rounds take 0.85 ms (one purification); the route needs 0.5 ms of
    # signalling, which the fourth round's remaining 0.45 ms cannot cover
    engine = engine_with("AB", [("A", "B", 100.0, 0.9, 10.0)])
    result = engine.run_qkd(v.QKDParameters("A", "B", 0.95, 3.0))
    assert (result.rounds_completed, result.rounds_failed) == (3, 2)
    assert result.latency_ms == 0.85 + 0.85 + 0.85 + 2.5
    assert result.execution_path == ["A", "B"]


def test_qkd_successful_rounds_and_the_stop(pair_engine):
    result = pair_engine.run_qkd(v.QKDParameters("A", "B", 0.95, 3.0))
    assert (result.rounds_completed, result.rounds_failed) == (4, 1)
    assert result.latency_ms == 0.85 + 0.85 + 0.85 + 0.85
    assert result.qber == (1.0 - (0.999 + 0.999 + 0.999 + 0.999) / 4) * 0.5
    assert (result.success, result.secret_key_length_bits, result.efficiency_rate) == (True, 1, 1 / 100)


@pytest.mark.parametrize("rounds,sifting,amplification,key", [
    (5, None, None, 1),        # 2.5 -> 2, then 1.6 -> 1
    (100, None, None, 40),
    (10, 0.25, 0.5, 3),        # 7.5 -> 7, then 3.5 -> 3
    (10, 1.5, None, 0),        # negative sifted length -> 0
    (10, None, 1e30, 2**64 - 1),
    (10, None, float("nan"), 0),
])
def test_qkd_key_length(rounds, sifting, amplification, key):
    engine = engine_with("AB", [("A", "B", 0.0, 0.95, 10.0)])
    result = engine.run_qkd(v.QKDParameters("A", "B", 0.9, 100.0, rounds, None, sifting, amplification))
    assert (result.success, result.rounds_completed, result.rounds_failed) == (True, rounds, 0)
    assert result.secret_key_length_bits == key
    assert result.efficiency_rate == key / rounds
    assert result.qber == pytest.approx(0.025, abs=1e-12)
    assert (result.latency_ms, result.execution_path) == (0.0, ["A", "B"])


def test_qkd_tolerance_is_strict():
    engine = engine_with("AB", [("A", "B", 0.0, 0.95, 10.0)])
    qber = engine.run_qkd(v.QKDParameters("A", "B", 0.9, 100.0, 10)).qber
    at = engine.run_qkd(v.QKDParameters("A", "B", 0.9, 100.0, 10, error_rate_tolerance=qber))
    above = engine.run_qkd(v.QKDParameters("A", "B", 0.9, 100.0, 10, error_rate_tolerance=math.nextafter(qber, 1.0)))
    assert (at.success, at.secret_key_length_bits, at.efficiency_rate) == (True, 0, 0.0)
    assert above.secret_key_length_bits == 4


@pytest.mark.parametrize("extra,params", [
    ((), dict()),
    ((7,), dict(rounds=7)),
    ((7, 0.0), dict(rounds=7, error_rate_tolerance=0.0)),
    ((None, None), dict()),
])
def test_qkd_function_matches_engine_method(pair_engine, extra, params):
    by_function = v.qkd(pair_engine, "A", "B", 0.95, 3.0, *extra)
    by_method = pair_engine.run_qkd(v.QKDParameters("A", "B", 0.95, 3.0, **params))
    assert fields(by_function, QKD_FIELDS) == fields(by_method, QKD_FIELDS)


def test_qkd_parameter_defaults():
    for params in (v.QKDParameters("A", "B", 0.9, 10.0), v.QKDParameters("A", "B", 0.9, 10.0, None, None, None, None)):
        assert (params.rounds, params.error_rate_tolerance, params.sifting_overhead_ratio,
                params.privacy_amplification_factor) == (100, 0.11, 0.5, 0.8)
        assert (params.from_node, params.to_node, params.fidelity_target, params.max_latency_ms) == ("A", "B", 0.9, 10.0)


# ---------------------------------------------------------------------------
# teleportation
# ---------------------------------------------------------------------------

TELE_FIELDS = ["success", "teleportation_fidelity", "resource_entanglement_fidelity", "latency_ms", "path",
               "classical_bits_transferred"]


@pytest.fixture
def tele_engine():
    return engine_with("ABCD", [
        ("A", "B", 0.0, 1.0, 10.0),
        ("A", "C", 0.0, 0.5, 10.0),
        ("B", "D", 1000.0, 0.99, 10.0),  # 5 ms of signalling; its hop probability is below the second draw
    ])


@pytest.mark.parametrize("relays,path", [([], ["S"]), (["R1", "R2"], ["S", "R1", "R2"])])
def test_teleportation_without_network(relays, path):
    params = v.TeleportationParameters("S", "T")
    params.relay_nodes = relays
    outcome = v.VornEngine().execute_teleportation(params)
    assert fields(outcome, TELE_FIELDS) == dict(success=False, teleportation_fidelity=0.0,
                                                resource_entanglement_fidelity=0.0, latency_ms=0.0, path=path,
                                                classical_bits_transferred=2)


@pytest.mark.parametrize("source,target,state,bandwidth,relays,expected", [
    # the product is capped below 1
    ("A", "B", 1.0, 100.0, [], (True, 0.999, 1.0, 0.0, ["A", "B"])),
    ("A", "B", 0.9, 100.0, [], (True, 0.9, 1.0, 0.0, ["A", "B"])),
    # a resource fidelity of exactly 0.5 is not a success
    ("A", "C", 0.5, 100.0, [], (False, 0.25, 0.5, 0.0, ["A", "C"])),
    # relays lengthen the path and add 0.25 ms each
    ("A", "B", 0.9, 100.0, ["R1", "R2", "R3"], (True, 0.9, 1.0, 0.75, ["A", "R1", "R2", "R3", "B"])),
    # the request's own path (A, B, D) is not reported; it fails when its budget runs out
    ("A", "D", 0.95, 100.0, [], (False, 0.0, 0.0, 100.0, ["A", "D"])),
    # the bandwidth is the request's budget: 5 ms of signalling against 4 ms
    ("A", "D", 0.95, 4.0, [], (False, 0.0, 0.0, 5.0, ["A", "D"])),
    ("A", "D", 0.95, 4.0, ["X", "Y"], (False, 0.0, 0.0, 5.5, ["A", "X", "Y", "D"])),
    # unknown nodes: no route, but source and target are still reported
    ("A", "Q", 0.95, 100.0, [], (False, 0.0, 0.0, 0.0, ["A", "Q"])),
])
def test_teleportation_outcomes(tele_engine, source, target, state, bandwidth, relays, expected):
    params = v.TeleportationParameters(source, target, state, bandwidth)
    params.relay_nodes = relays
    outcome = tele_engine.execute_teleportation(params)
    success, fidelity, resource, latency, path = expected
    assert fields(outcome, TELE_FIELDS) == dict(success=success, teleportation_fidelity=fidelity,
                                                resource_entanglement_fidelity=resource, latency_ms=latency,
                                                path=path, classical_bits_transferred=2)


@pytest.mark.parametrize("args,params", [
    ((), ("A", "B")),
    ((0.5,), ("A", "B", 0.5)),
    ((None, 4.0), ("A", "B", None, 4.0)),
    ((0.99, 1.0), ("A", "B", 0.99, 1.0)),
])
def test_teleportation_function_matches_engine_method(tele_engine, args, params):
    by_function = v.teleportation(tele_engine, "A", "B", *args)
    by_method = tele_engine.execute_teleportation(v.TeleportationParameters(*params))
    assert fields(by_function, TELE_FIELDS) == fields(by_method, TELE_FIELDS)


def test_teleportation_parameter_defaults():
    params = v.TeleportationParameters("S", "T")
    assert (params.source_node, params.target_node, params.relay_nodes, params.state_fidelity,
            params.classical_bandwidth_ms) == ("S", "T", [], 0.95, 100.0)


# ---------------------------------------------------------------------------
# distributed computation
# ---------------------------------------------------------------------------

DC_FIELDS = ["success", "computation_fidelity", "resource_links_used", "total_latency_ms", "coordination_overhead_ms"]
F = 0.97  # fidelity of every mesh link


@pytest.fixture
def mesh_engine():
    """A full mesh A-D of 0 km links, F (10 km away from A, 0.05 ms of
    signalling) and E, a node without links."""
    links = [(a, b, 0.0, F, 100.0) for i, a in enumerate("ABCD") for b in "ABCD"[i + 1:]]
    links.append(("A", "F", 10.0, 0.99, 100.0))
    return engine_with("ABCDEF", links)


def parties(result):
    return [(p.node_id, p.successful_measurement, p.local_fidelity) for p in result.party_results]


def product(values):
    total = 1.0
    for x in values:
        total *= x
    return total


def test_star_with_participant_center(mesh_engine):
    result = mesh_engine.run_distributed_computation(["A", "B", "C"], "star", "ghz")
    locals_ = [(F + F) / 2 * 0.85, F * 0.85, F * 0.85]
    assert parties(result) == [("A", True, locals_[0]), ("B", True, locals_[1]), ("C", True, locals_[2])]
    assert fields(result, DC_FIELDS) == dict(success=True, computation_fidelity=product(locals_),
                                             resource_links_used=["B->A", "C->A"], total_latency_ms=0.0,
                                             coordination_overhead_ms=10.0)


def test_star_with_outside_center(mesh_engine):
    result = v.distributed_computation(mesh_engine, ["A", "B"], v.CoordinationTopology.star("C"),
                                       v.MeasurementBasis(None, 0.5), 2.0)
    assert parties(result) == [("A", True, F * 0.5), ("B", True, F * 0.5)]
    assert fields(result, DC_FIELDS) == dict(success=True, computation_fidelity=F * 0.5 * (F * 0.5),
                                             resource_links_used=["A->C", "B->C"], total_latency_ms=0.0,
                                             coordination_overhead_ms=4.0)


@pytest.mark.parametrize("participants,links,mean", [
    (["A"], ["A->A"], 1.0),                 # the self-edge counts once
    (["A", "B"], ["A->B", "B->A"], F),
    (["A", "B", "C"], ["A->B", "B->C", "C->A"], F),
])
def test_ring(mesh_engine, participants, links, mean):
    result = mesh_engine.run_distributed_computation(participants, "ring", "cluster", 0.9, 1.0)
    assert parties(result) == [(p, True, mean * 0.9) for p in participants]
    assert result.resource_links_used == links
    assert result.coordination_overhead_ms == len(links) * 1.0
    assert result.computation_fidelity == product([mean * 0.9] * len(participants))


def test_mesh_edges_and_overhead(mesh_engine):
    result = mesh_engine.run_distributed_computation(["A", "B", "C", "D"], "mesh", "graph")
    assert result.resource_links_used == ["A->B", "A->C", "A->D", "B->C", "B->D", "C->D"]
    assert result.coordination_overhead_ms == 30.0
    assert parties(result) == [(p, True, (F + F + F) / 3 * 0.85) for p in "ABCD"]
    assert result.success is True


def test_failed_edge_marks_both_parties(mesh_engine):
    result = mesh_engine.run_distributed_computation(["A", "E", "B"], "mesh", "ghz")
    assert result.resource_links_used == ["A->E", "A->B", "E->B"]
    assert parties(result) == [("A", False, (0.0 + F) / 2 * 0.85), ("E", False, 0.0), ("B", False, (F + 0.0) / 2 * 0.85)]
    assert (result.success, result.computation_fidelity) == (False, 0.0)


@pytest.mark.parametrize("participants,correlation,shape,expected_parties,expected_fidelity", [
    # party values are capped, the product uses the uncapped ones
    (["A", "B"], 1.03, "ring", [("A", True, 0.999), ("B", True, 0.999)], (F * 1.03) * (F * 1.03)),
    (["A", "B"], 2.0, "ring", [("A", True, 0.999), ("B", True, 0.999)], 0.999),
    # a NaN correlation: the minimum with 0.999 takes the number
    (["A", "B"], math.nan, "ring", [("A", True, 0.999), ("B", True, 0.999)], 0.999),
    # repeated participants: a self-edge counts once in its party's list
    (["A", "A", "B"], 0.85, "mesh", [("A", True, (1.0 + F + F) / 3 * 0.85)] * 2 + [("B", True, (F + F) / 2 * 0.85)],
     (1.0 + F + F) / 3 * 0.85 * ((1.0 + F + F) / 3 * 0.85) * ((F + F) / 2 * 0.85)),
])
def test_local_fidelities_and_caps(mesh_engine, participants, correlation, shape, expected_parties, expected_fidelity):
    result = mesh_engine.run_distributed_computation(participants, shape, "ghz", correlation)
    assert parties(result) == expected_parties
    assert result.computation_fidelity == expected_fidelity
    assert result.success is True


@pytest.mark.parametrize("relay,success,latency", [
    (0.004, False, 0.05),  # a budget of 0.04 ms cannot cover 0.05 ms of signalling; the latency still counts
    (0.006, True, 0.0),
])
def test_edge_budget_is_ten_relay_latencies(mesh_engine, relay, success, latency):
    result = mesh_engine.run_distributed_computation(["A", "F"], "mesh", "ghz", 1.0, relay)
    assert (result.success, result.total_latency_ms, result.coordination_overhead_ms) == (success, latency, relay)


@pytest.mark.parametrize("kind", ["Star", "RING", "custom", "arbitrary"])
def test_other_kinds_are_arbitrary_edge_lists(mesh_engine, kind):
    no_edges = v.distributed_computation(mesh_engine, ["A", "B", "C"], v.CoordinationTopology(kind),
                                         v.MeasurementBasis(v.BasisType.GHZ, 0.8))
    assert parties(no_edges) == [(p, True, 0.8) for p in "ABC"]
    assert fields(no_edges, DC_FIELDS) == dict(success=True, computation_fidelity=0.8 * 0.8 * 0.8,
                                               resource_links_used=[], total_latency_ms=0.0,
                                               coordination_overhead_ms=0.0)
    with_edges = v.distributed_computation(mesh_engine, ["A", "B"], v.CoordinationTopology(kind, "A", [("B", "C"), ("C", "A")]),
                                           v.MeasurementBasis(v.BasisType.GHZ, 0.8))
    assert with_edges.resource_links_used == ["B->C", "C->A"]
    assert parties(with_edges) == [("A", True, F * 0.8), ("B", True, F * 0.8)]


def test_plain_star_without_center_uses_the_empty_id(mesh_engine):
    result = v.distributed_computation(mesh_engine, ["A", "B"], v.CoordinationTopology("star"), v.MeasurementBasis())
    assert result.resource_links_used == ["A->", "B->"]
    assert parties(result) == [("A", False, 0.0), ("B", False, 0.0)]
    assert (result.success, result.computation_fidelity) == (False, 0.0)


@pytest.mark.parametrize("run,links,overhead", [
    (lambda e: e.run_distributed_computation([], "star", "ghz"), [], 0.0),
    (lambda e: e.run_distributed_computation([], "mesh", "ghz"), [], 0.0),
    (lambda e: v.distributed_computation(e, [], v.CoordinationTopology.arbitrary([("A", "B")]), v.MeasurementBasis()), ["A->B"], 5.0),
])
def test_no_participants(mesh_engine, run, links, overhead):
    result = run(mesh_engine)
    assert (result.success, result.computation_fidelity, result.party_results) == (False, 0.999, [])
    assert (result.resource_links_used, result.coordination_overhead_ms) == (links, overhead)


@pytest.mark.parametrize("engine", [v.VornEngine(), engine_with("AB", [("A", "B", 0.0, 0.9, 1.0)])])
@pytest.mark.parametrize("topology,basis,message", [
    ("Star", "ghz", "coordination_topology must be one of: 'star', 'ring', 'mesh'"),
    ("arbitrary", "ghz", "coordination_topology must be one of: 'star', 'ring', 'mesh'"),
    ("bad", "bad", "coordination_topology must be one of: 'star', 'ring', 'mesh'"),
    ("ring", "GHZ", "basis_type must be one of: 'ghz', 'cluster', 'graph'"),
    ("mesh", "GraphGraph", "basis_type must be one of: 'ghz', 'cluster', 'graph'"),
])
def test_argument_errors_come_before_the_network(engine, topology, basis, message):
    with pytest.raises(ValueError) as info:
        engine.run_distributed_computation(["A", "B"], topology, basis)
    assert str(info.value) == message


@pytest.mark.parametrize("run", [
    lambda e: e.run_distributed_computation(["A", "B"], "mesh", "ghz"),
    lambda e: v.distributed_computation(e, ["A", "B"], v.CoordinationTopology.ring(), v.MeasurementBasis()),
])
def test_distributed_without_network(run):
    result = run(v.VornEngine())
    assert fields(result, DC_FIELDS) == dict(success=False, computation_fidelity=0.0, resource_links_used=[],
                                             total_latency_ms=0.0, coordination_overhead_ms=0.0)
    assert result.party_results == []


@pytest.mark.parametrize("topology,kind,basis_type,basis", [
    (v.CoordinationTopology.mesh(), "mesh", v.BasisType.Cluster, "cluster"),
    (v.CoordinationTopology.ring(), "ring", v.BasisType.GraphGraph, "graph"),
    (v.CoordinationTopology.star("B"), "star", v.BasisType.GHZ, "ghz"),  # the first participant is the center
])
def test_distributed_function_matches_engine_method(mesh_engine, topology, kind, basis_type, basis):
    participants = ["B", "E", "C", "A"]
    by_function = v.distributed_computation(mesh_engine, participants, topology, v.MeasurementBasis(basis_type, 0.7), 2.0)
    by_method = mesh_engine.run_distributed_computation(participants, kind, basis, 0.7, 2.0)
    assert fields(by_function, DC_FIELDS) == fields(by_method, DC_FIELDS)
    assert parties(by_function) == parties(by_method)
    defaults = mesh_engine.run_distributed_computation(participants, kind, basis)
    explicit = mesh_engine.run_distributed_computation(participants, kind, basis, 0.85, 5.0)
    assert fields(defaults, DC_FIELDS) == fields(explicit, DC_FIELDS)


def test_distributed_parameter_defaults():
    basis = v.MeasurementBasis()
    assert (repr(basis.basis_type), basis.correlation_strength) == ("BasisType.GHZ", 0.85)
    params = v.DistributedComputingParameters(["A"], v.CoordinationTopology.ring())
    assert (repr(params.measurement_basis.basis_type), params.measurement_basis.correlation_strength) == ("BasisType.GHZ", 0.85)
    assert (params.participants, params.coordination_topology.kind, params.classical_relay_latency_ms) == (["A"], "ring", 5.0)


@pytest.mark.parametrize("topology,expected", [
    (v.CoordinationTopology.star("Z"), ("star", "Z", None)),
    (v.CoordinationTopology.ring(), ("ring", None, None)),
    (v.CoordinationTopology.mesh(), ("mesh", None, None)),
    (v.CoordinationTopology.arbitrary([("A", "B")]), ("arbitrary", None, [("A", "B")])),
    (v.CoordinationTopology("anything"), ("anything", None, None)),
])
def test_coordination_topology_constructors(topology, expected):
    assert (topology.kind, topology.center_node, topology.edges) == expected


# ---------------------------------------------------------------------------
# representations
# ---------------------------------------------------------------------------

REPRS = [
    (v.QKDResult(True, 40, 0.4, 0.025, 1.0, [], 100, 0), "QKDResult(success=true, key_bits=40, qber=0.0250)"),
    (v.QKDResult(False, 0, 0.0, 1.0, 0.0, [], 0, 5), "QKDResult(success=false, key_bits=0, qber=1.0000)"),
    (v.QKDStats(10, 0.8, 36.5, 0.3, 0.02), "QKDStats(runs=10, success=80, mean_key_len=36.5)"),
    # exact halves after the multiplication round to even
    (v.QKDStats(3, 0.125, 0.25, 0.0, 0.0), "QKDStats(runs=3, success=12, mean_key_len=0.2)"),
    (v.QKDStats(3, 0.135, 0.35, 0.0, 0.0), "QKDStats(runs=3, success=14, mean_key_len=0.3)"),
    (v.QKDStats(3, 0.115, 1.0, 0.0, 0.0), "QKDStats(runs=3, success=12, mean_key_len=1.0)"),
    (v.QKDStats(3, 0.145, 1.0, 0.0, 0.0), "QKDStats(runs=3, success=14, mean_key_len=1.0)"),
    (v.QKDStats(3, 0.005, 1.0, 0.0, 0.0), "QKDStats(runs=3, success=0, mean_key_len=1.0)"),
    (v.QKDStats(3, 0.015, 1.0, 0.0, 0.0), "QKDStats(runs=3, success=2, mean_key_len=1.0)"),
    (v.QKDStats(3, 0.875, 1.0, 0.0, 0.0), "QKDStats(runs=3, success=88, mean_key_len=1.0)"),
    (v.QKDStats(3, 0.995, 1.0, 0.0, 0.0), "QKDStats(runs=3, success=100, mean_key_len=1.0)"),
    (v.TeleportationOutcome(True, 0.855, 0.9, 12.34, [], 2), "TeleportationOutcome(success=true, fidelity=0.8550, latency=12.3ms)"),
    (v.TeleportationOutcome(False, 0.0, 0.0, 0.05, [], 2), "TeleportationOutcome(success=false, fidelity=0.0000, latency=0.1ms)"),
    (v.TeleportationStats(50, 0.9, 0.8123, 0.021, 3.0), "TeleportationStats(runs=50, fidelity=0.8123\u00b10.0210)"),
    (v.PartyOutcome("A", True, 0.765), "PartyOutcome(A, success=true, fidelity=0.7650)"),
    (v.PartyOutcome('x "y"', False, 0.0), 'PartyOutcome(x "y", success=false, fidelity=0.0000)'),
    (v.DistributedComputingResult(False, 0.999, [v.PartyOutcome("A", True, 1.0)] * 2, [], 0.0, 0.0),
     "DistributedComputingResult(success=false, fidelity=0.9990, parties=2)"),
    (v.DistributedComputingStats(3, 0.125, 0.5, 1.0), "DistributedComputingStats(runs=3, success=12, fidelity=0.5000)"),
    (v.DistributedComputingStats(4, 0.135, 0.12345, 1.0), "DistributedComputingStats(runs=4, success=14, fidelity=0.1235)"),
]


@pytest.mark.parametrize("obj,text", REPRS, ids=[t for _, t in REPRS])
def test_repr(obj, text):
    assert repr(obj) == text


def test_protocol_results_repr_their_own_values(pair_engine):
    result = pair_engine.run_qkd(v.QKDParameters("A", "B", 0.95, 3.0))
    assert repr(result) == f"QKDResult(success=true, key_bits=1, qber={result.qber:.4f})"
    dc = pair_engine.run_distributed_computation(["A", "B"], "ring", "ghz")
    assert repr(dc) == f"DistributedComputingResult(success=true, fidelity={dc.computation_fidelity:.4f}, parties=2)"
