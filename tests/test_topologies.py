"""Built-in reference networks and the comparison of one request across them."""
import math

import pytest
import reference_model as m

import vorn_core as v

E = v.TopologyEndpoints

TELECOM = (
    [("A", 120.0), ("B", 150.0), ("C", 200.0), ("D", 200.0), ("E", 250.0), ("F", 180.0)],
    [
        ("A", "B", 5.0, 0.97, 2000.0, "LinkType.Fiber", None),
        ("B", "C", 80.0, 0.93, 1200.0, "LinkType.Fiber", None),
        ("C", "D", 600.0, 0.88, 600.0, "LinkType.Fiber", None),
        ("D", "E", 5500.0, 0.75, 150.0, "LinkType.Fiber", None),
        ("C", "F", 900.0, 0.91, 500.0, "LinkType.Fiber", None),
        ("F", "E", 4800.0, 0.8, 200.0, "LinkType.Fiber", None),
        ("B", "F", 1200.0, 0.85, 400.0, "LinkType.Fiber", None),
    ],
)
CHAIN = (
    [("N0", 150.0), ("N1", 150.0), ("N2", 150.0), ("N3", 150.0)],
    [(f"N{i}", f"N{i + 1}", 100.0, 0.92, 800.0, "LinkType.Fiber", None) for i in range(3)],
)
HYBRID = (
    [("Toronto", 150.0), ("Montreal", 180.0), ("London", 220.0), ("SAT-1", 300.0)],
    [
        ("Toronto", "Montreal", 500.0, 0.9, 1000.0, "LinkType.Fiber", None),
        ("Montreal", "London", 5500.0, 0.75, 200.0, "LinkType.Fiber", None),
        ("Toronto", "SAT-1", 1000.0, 0.98, 50.0, "LinkType.Satellite", (0.95, 0.98)),
        ("SAT-1", "London", 6000.0, 0.97, 50.0, "LinkType.Satellite", (0.85, 0.9)),
    ],
)
TABLES = {"telecom_backbone": TELECOM, "repeater_chain": CHAIN, "hybrid_satellite_fiber": HYBRID}


def as_tables(payload):
    nodes = [(n.id, n.memory_lifetime_t2) for n in payload.nodes]
    links = []
    for link in payload.links:
        sat = link.satellite_conditions
        links.append((link.from_node, link.to, link.distance_km, link.base_fidelity, link.generation_rate_hz,
                      repr(link.link_type), None if sat is None else (sat.visibility, sat.weather_factor)))
    return nodes, links


def model_network(name):
    nodes, links = TABLES[name]
    return m.Network(tuple(nodes), tuple(link[:5] for link in links))


@pytest.mark.parametrize("name", list(TABLES))
def test_generated_tables(name):
    nodes, links = TABLES[name]
    assert as_tables(v.generate_topology(name)) == (nodes, links)


def test_every_call_builds_fresh_records():
    first = v.generate_topology("telecom_backbone")
    second = v.generate_topology("telecom_backbone")
    assert first is not second
    changed = first.nodes
    changed[0].id = "Z"
    first.nodes = changed
    first.links = []
    assert first.nodes[0].id == "Z"
    assert as_tables(v.generate_topology("telecom_backbone")) == (TELECOM[0], TELECOM[1])
    assert as_tables(second) == (TELECOM[0], TELECOM[1])


@pytest.mark.parametrize("name", ["fiber_only", "hybrid", "", "Telecom_Backbone", " telecom_backbone",
                                  "repeater_chain ", "REPEATER_CHAIN", "unknown"])
def test_generate_topology_rejects_other_names(name):
    with pytest.raises(ValueError) as info:
        v.generate_topology(name)
    assert str(info.value) == ("Invalid topology name. Use: 'telecom_backbone', 'repeater_chain', or "
                               "'hybrid_satellite_fiber'")


def test_generated_network_installs_in_an_engine():
    payload = v.generate_topology("repeater_chain")
    engine = v.VornEngine()
    engine.define_network(payload.nodes, payload.links)
    assert engine.request_entanglement("N0", "N3", 0.5, 1000.0).execution_path == ["N0", "N1", "N2", "N3"]


# ---------------------------------------------------------------------------
# comparison: errors
# ---------------------------------------------------------------------------

UNKNOWN = "Unknown topology in endpoints: '{}'. Supported: fiber_only, telecom_backbone, repeater_chain, hybrid_satellite_fiber, hybrid"
TELECOM_IDS = '["A", "B", "C", "D", "E", "F"]'
CHAIN_IDS = '["N0", "N1", "N2", "N3"]'
HYBRID_IDS = '["Toronto", "Montreal", "London", "SAT-1"]'


@pytest.mark.parametrize("endpoints", [
    [],
    [E("Fiber_Only", "A", "B")],
    [E("telecom_backbone", "Q", "Z")],
])
def test_zero_runs_is_rejected_first(endpoints):
    with pytest.raises(ValueError) as info:
        v.compare_topologies(endpoints, 0.9, 100.0, 0)
    assert str(info.value) == "runs must be at least 1"


@pytest.mark.parametrize("endpoints,message", [
    # the unknown name is reported even when an earlier endpoint has a missing node
    ([E("telecom_backbone", "A", "Z"), E("Fiber_Only", "A", "B")], UNKNOWN.format("Fiber_Only")),
    ([E("telecom_backbone", "A", "B"), E("hybrid", "X", "Y"), E("star", "A", "B"), E("ring", "A", "B")],
     UNKNOWN.format("star")),
    ([E("", "A", "B")], UNKNOWN.format("")),
    ([E("telecom_backbone", "A", "Z")], f"Target node 'Z' not found in topology 'telecom_backbone'. Available nodes: {TELECOM_IDS}"),
    ([E("telecom_backbone", "Q", "Z")], f"Source node 'Q' not found in topology 'telecom_backbone'. Available nodes: {TELECOM_IDS}"),
    ([E("fiber_only", "a", "B")], f"Source node 'a' not found in topology 'fiber_only'. Available nodes: {TELECOM_IDS}"),
    ([E("repeater_chain", "N0", "N4")], f"Target node 'N4' not found in topology 'repeater_chain'. Available nodes: {CHAIN_IDS}"),
    ([E("hybrid", "Toronto", "Paris")], f"Target node 'Paris' not found in topology 'hybrid'. Available nodes: {HYBRID_IDS}"),
    ([E("hybrid_satellite_fiber", "SAT-1 ", "London")],
     f"Source node 'SAT-1 ' not found in topology 'hybrid_satellite_fiber'. Available nodes: {HYBRID_IDS}"),
    # node checks run endpoint by endpoint
    ([E("repeater_chain", "N0", "N3"), E("telecom_backbone", "A", "N3")],
     f"Target node 'N3' not found in topology 'telecom_backbone'. Available nodes: {TELECOM_IDS}"),
])
def test_comparison_errors(endpoints, message):
    with pytest.raises(ValueError) as info:
        v.compare_topologies(endpoints, 0.9, 100.0, 3)
    assert str(info.value) == message


# ---------------------------------------------------------------------------
# comparison: reports
# ---------------------------------------------------------------------------

def test_empty_endpoint_list():
    report = v.compare_topologies([], 0.75, 123.0, 7, v.StrategyType.LowestLatency)
    assert (report.source_node, report.target_node, report.fidelity_target, report.max_latency_ms, report.runs) == \
        ("", "", 0.75, 123.0, 7)
    assert report.results == []
    assert (report.recommended_topology, report.summary) == ("unknown", "No topologies evaluated")


def expected_summary(results):
    best = results[0]
    for r in results[1:]:
        if not r.success_rate < best.success_rate:
            best = r
    fastest = results[0]
    for r in results[1:]:
        if r.mean_latency_ms < fastest.mean_latency_ms:
            fastest = r
    rate = best.success_rate * 100
    percent = 0 if math.isnan(rate) or rate < 0 else math.trunc(rate)
    total = 0.0
    for r in results:
        total += r.mean_fidelity
    return (f"Evaluated {len(results)} topologies. Recommended: {best.topology_name}. "
            f"Best success rate: {percent} ({best.topology_name}), "
            f"Best latency: {fastest.mean_latency_ms:.2f}ms ({fastest.topology_name}). "
            f"Average fidelity: {total / len(results):.4f}.")


@pytest.mark.parametrize("endpoints,recommended,fastest", [
    # both always succeed at once (start equals target): the last is recommended, the first is fastest
    ([E("telecom_backbone", "A", "A"), E("hybrid", "London", "London")], "hybrid", "telecom_backbone"),
    # neither target can be reached: success 0 and latency 0 for both
    ([E("telecom_backbone", "A", "B"), E("repeater_chain", "N0", "N3")], "repeater_chain", "telecom_backbone"),
    # the same topology twice
    ([E("fiber_only", "A", "B"), E("fiber_only", "A", "B")], "fiber_only", "fiber_only"),
])
def test_ties(endpoints, recommended, fastest):
    target = 0.5 if endpoints[0].from_node == endpoints[0].to_node else 0.9999
    report = v.compare_topologies(endpoints, target, 50.0, 5)
    results = report.results
    assert [r.topology_name for r in results] == [e.topology_name for e in endpoints]
    assert results[0].success_rate == results[1].success_rate
    assert results[0].mean_latency_ms == results[1].mean_latency_ms == 0.0
    assert report.recommended_topology == recommended
    assert f"Best latency: 0.00ms ({fastest})" in report.summary
    assert report.summary == expected_summary(results)


def test_always_successful_endpoints_give_exact_values():
    report = v.compare_topologies([E("repeater_chain", "N2", "N2")], 0.9, 10.0, 4)
    (result,) = report.results
    assert (result.success_rate, result.mean_latency_ms, result.mean_fidelity, result.link_utilization) == \
        (1.0, 0.0, 1.0, {})
    assert report.summary == ("Evaluated 1 topologies. Recommended: repeater_chain. Best success rate: 100 "
                              "(repeater_chain), Best latency: 0.00ms (repeater_chain). Average fidelity: 1.0000.")


@pytest.mark.parametrize("source,target,latency_text", [
    ("A", "B", "0.03"),  # 5 km: 0.025 ms, stored slightly above the half
    ("A", "F", "6.03"),  # 1205 km over A-B-F: 6.025 ms, likewise
    ("A", "C", "0.43"),
])
def test_summary_latency_is_rounded_from_the_stored_value(source, target, latency_text):
    # a budget of 0.01 ms is below the signalling time: every run fails with that time
    report = v.compare_topologies([E("telecom_backbone", source, target)], 0.9, 0.01, 2)
    assert report.summary == ("Evaluated 1 topologies. Recommended: telecom_backbone. Best success rate: 0 "
                              f"(telecom_backbone), Best latency: {latency_text}ms (telecom_backbone). "
                              "Average fidelity: 0.0000.")


@pytest.mark.parametrize("strategy", [None, v.StrategyType.HighestSuccess])
def test_summary_recomputed_from_the_report(strategy):
    endpoints = [E("telecom_backbone", "A", "C"), E("repeater_chain", "N0", "N3"),
                 E("hybrid_satellite_fiber", "Toronto", "London"), E("fiber_only", "B", "D")]
    report = v.compare_topologies(endpoints, 0.7, 60.0, 40, strategy)
    assert (report.source_node, report.target_node, report.fidelity_target, report.max_latency_ms, report.runs) == \
        ("A", "C", 0.7, 60.0, 40)
    assert [r.topology_name for r in report.results] == [e.topology_name for e in endpoints]
    best = max(range(4), key=lambda i: (report.results[i].success_rate, i))
    assert report.recommended_topology == endpoints[best].topology_name
    assert report.summary == expected_summary(report.results)


def test_results_are_copies():
    report = v.compare_topologies([E("repeater_chain", "N0", "N0")], 0.9, 10.0, 1)
    results = report.results
    results[0].topology_name = "changed"
    assert report.results[0].topology_name == "repeater_chain"
    report.results = results
    assert report.results[0].topology_name == "changed"


@pytest.mark.parametrize("alias,name,source,target", [
    ("fiber_only", "telecom_backbone", "A", "E"),
    ("hybrid", "hybrid_satellite_fiber", "Toronto", "London"),
])
@pytest.mark.parametrize("strategy", [None, v.StrategyType.LowestLatency, v.StrategyType.HighestFidelity,
                                      v.StrategyType.HighestSuccess])
def test_aliases_evaluate_the_same_network(alias, name, source, target, strategy):
    # budget 1 ms: shorter than every route's signalling time, so each run
    # ends with exactly that time as its latency
    short = v.compare_topologies([E(alias, source, target), E(name, source, target)], 0.5, 1.0, 3, strategy)
    a, b = short.results
    code = 1 if strategy is None else strategy.to_u8()
    network = model_network(name)
    outcome, _ = m.single_request(network, m.Config(), source, target, 0.5, 1.0, code, None)
    assert outcome.latency_ms > 1.0
    assert a.mean_latency_ms == b.mean_latency_ms == (outcome.latency_ms + outcome.latency_ms + outcome.latency_ms) / 3
    # with a budget that lets rounds run, both use the model's route
    long = v.compare_topologies([E(alias, source, target), E(name, source, target)], 0.5, 200.0, 3, strategy)
    route = m.find_route(network.links, network.node_ids(), source, target, code)
    if code == 1 and 0.5 > route.fidelity:
        route = m.find_route(network.links, network.node_ids(), source, target, 0)
    labels = {f"{x}->{y}" for x, y in zip(route.path, route.path[1:])}
    for result in long.results:
        assert set(result.link_utilization) == labels
