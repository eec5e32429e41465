"""Results as data and pickling: every vorn_core class round-trips through
pickle and deepcopy with equal attributes, and converts to plain data."""

import copy
import json
import math
import pickle

import pytest

import vorn
import vorn_core as v
from vorn import _pickle
from vorn.data import record_attributes, to_dict, to_frame, wilson_interval


def samples(tmp_path):
    """One or more instances of every vorn_core class, most from real calls."""
    net = vorn.builtin("telecom_backbone")
    engine = net.engine()
    stats = engine.simulate("A", "E", 0.85, 300.0, 200, v.StrategyType.HighestSuccess, 3)
    path = tmp_path / "net.vorn"
    net.save(path)
    loaded = v.load_vorn_file(str(path))
    loaded.constraints = v.VornConstraints(0.9, 120.0)
    loaded.extensions = {"custom": [1, "x"]}
    loaded.metadata = v.VornMetadata("lab", "desc", None, "2026")
    loaded.add_node("Z", 5.0, 3, v.VornNodeType.Repeater)
    loaded.add_link("L9", "A", "Z", 1.5, 0.9, 10.0, v.VornLinkType.Satellite, v.VornSatelliteExtension(0.5, 0.7))
    loaded.config = v.VornConfig(0.3, 0.1, 0.2, 7)
    report = v.compare_topologies([v.TopologyEndpoints("repeater_chain", "N0", "N3")], 0.8, 100.0, 20)
    dc = net.distributed_computation(["A", "C", "E"], v.CoordinationTopology.star("C"), v.MeasurementBasis(v.BasisType.Cluster))
    teleport = v.TeleportationParameters("A", "E", 0.97, 2.0)
    snapshot = v.snapshot_topology(engine)
    other = v.snapshot_topology(net.scaled({"distance_km": 2.0}).engine())
    return [snapshot, snapshot.metadata, snapshot.config, v.diff_topologies(snapshot, other),
        engine.request_entanglement("A", "E", 0.9, 100.0), stats, stats._context, report, report.results[0],
        v.PhysicalConfig(0.5), v.SimulationConfig(123.0, 0.5, 0.7), *net.definitions()[0], *net.definitions()[1],
        v.LinkDefinition("A", "B", 1.0, 0.9, 5.0, v.LinkType.Satellite, v.SatelliteConditions(0.3, 0.4)),
        v.SatelliteConditions(0.2), v.EntanglementRequest("A", "B", 0.9, 10.0, v.StrategyType.LowestLatency),
        v.NetworkTopologyPayload(*net.definitions()), loaded, *loaded.nodes, *loaded.links, loaded.config,
        loaded.constraints, loaded.metadata, v.VornSatelliteExtension(0.1, 0.2), v.TopologyEndpoints("t", "a", "b"),
        v.QKDParameters("A", "E", 0.9, 100.0, 5, 0.2, 0.4, 0.6), engine.run_qkd(v.QKDParameters("A", "E", 0.9, 100.0)),
        v.QKDStats(10, 0.5, 12.0, 0.3, 0.02), teleport, engine.execute_teleportation(teleport),
        v.TeleportationStats(4, 0.25, 0.9, 0.01, 3.0), v.CoordinationTopology.arbitrary([("A", "B")]),
        v.MeasurementBasis(v.BasisType.GHZ, 0.8), v.DistributedComputingParameters(["A", "B"], v.CoordinationTopology.ring()),
        dc, *dc.party_results, v.DistributedComputingStats(3, 0.5, 0.7, 0.6),
        v.LinkType.Fiber, v.StrategyType.HighestFidelity, v.BasisType.GraphGraph, v.VornNodeType.Ground,
        v.VornLinkType.Fiber,
    ]


def test_every_class_pickles_and_deep_copies(tmp_path):
    objects = samples(tmp_path)
    covered = {type(obj).__name__ for obj in objects}
    registered = set(_pickle.picklable_classes())
    # A class added to vorn_core without a reducer, or without a sample here, fails.
    exported = {name for name in v.__all__ if isinstance(getattr(v, name), type)} - {"VornEngine"}
    assert exported <= registered and registered <= covered
    for obj in objects:
        for clone in (pickle.loads(pickle.dumps(obj)), copy.deepcopy(obj), copy.copy(obj)):
            assert type(clone) is type(obj) and to_dict(clone) == to_dict(obj), type(obj).__name__
    assert pickle.loads(pickle.dumps(v.StrategyType.HighestSuccess)) is v.StrategyType.HighestSuccess
    with pytest.raises(TypeError, match="vorn.Network"):
        pickle.dumps(v.VornEngine())


def test_to_dict_is_plain_json(tmp_path):
    for obj in samples(tmp_path):
        plain = to_dict(obj)
        assert json.loads(json.dumps(plain)) == plain or math.nan in (plain if isinstance(plain, list) else [])
    stats = vorn.builtin("repeater_chain").simulate("N0", "N3", 0.8, 100.0, 50, seed=1)
    plain = to_dict(stats)
    # the engine record's attributes, and what EnsembleStats adds to them
    assert set(plain) == {name.lstrip("_") for name in record_attributes(v.MonteCarloStats)} | {
        "successes", "seed", "chunks", "strategy"}
    assert plain["context"]["seed"] == 1 and plain["link_utilization_heatmap"] == stats.link_utilization_heatmap
    assert to_dict(v.LinkDefinition("A", "B", 1.0, 0.9, 5.0))["link_type"] == "Fiber"


def test_frames(tmp_path):
    net = vorn.builtin("telecom_backbone")
    stats = net.simulate("A", "E", 0.85, 300.0, 100, seed=2)
    heat = to_frame(stats)
    assert list(heat.columns) == ["link", "from_node", "to", "uses"]
    assert dict(zip(heat["link"], heat["uses"])) == stats.link_utilization_heatmap
    assert (heat["from_node"] + "->" + heat["to"] == heat["link"]).all()
    results = [net.request("A", target, 0.8, 100.0) for target in "BCDEF"]
    rows = to_frame(results)
    assert len(rows) == 5 and list(rows["execution_path"]) == [r.execution_path for r in results]
    sensitivity = stats.sensitivity_analysis(seed_base=1)
    assert list(to_frame(sensitivity)["parameter"]) == list(sensitivity)
    report = v.compare_topologies([v.TopologyEndpoints("repeater_chain", "N0", "N3"),
                                   v.TopologyEndpoints("hybrid", "Toronto", "London")], 0.8, 100.0, 20)
    frame = to_frame(report)
    assert list(frame["topology_name"]) == ["repeater_chain", "hybrid"]
    assert frame["recommended"].sum() >= 1
    path = tmp_path / "a.vorn"
    net.save(path)
    other = net.scaled({"distance_km": 2.0})
    other.save(tmp_path / "b.vorn")
    changes = to_frame(v.diff(str(path), str(tmp_path / "b.vorn")))
    assert set(changes["change"]) == {"modified"} and set(changes["kind"]) == {"link"}
    assert to_frame(v.validate(str(path))).empty
    broken = path.read_text().replace('"base_fidelity": 0.97', '"base_fidelity": 1.104', 1)
    broken = broken.replace('"base_fidelity": 0.93', '"base_fidelity": 1.2', 1).replace('"from": "A"', '"from": "Q"', 1)
    (tmp_path / "c.vorn").write_text(broken)
    findings = to_frame(v.validate(str(tmp_path / "c.vorn")))
    # one kind per rule, whatever values the findings carry
    counts = findings.groupby("kind").size().to_dict()
    assert counts["InvalidFidelity"] == 2 and counts["UnknownNodeReference"] == 1
    assert all(kind in type_text for kind, type_text in zip(findings["kind"], findings["type"]))


@pytest.mark.parametrize("successes, runs", [(0, 10), (10, 10), (37, 100), (1, 3), (500, 1000)])
def test_wilson_interval(successes, runs):
    # Reference: the interval's ends are the roots of (p - x)^2 = z^2 x (1 - x) / n.
    low, high = wilson_interval(successes, runs)
    p, z = successes / runs, 1.959963984540054
    for x in (low, high):
        if 0.0 < x < 1.0:
            assert (p - x) ** 2 == pytest.approx(z * z * x * (1 - x) / runs, rel=1e-9)
    assert 0.0 <= low <= p <= high <= 1.0
