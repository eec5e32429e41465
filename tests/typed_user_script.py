"""A user's script over the whole vorn_core API, written to pass `mypy --strict`
against the module's stubs. Every call's result goes through `record`, so the
stub tests can also check at run time that each value is what the stubs say.

    python tests/typed_user_script.py DIR    # runs it, writing its files to DIR
"""
from __future__ import annotations

import sys
from collections.abc import Callable
from pathlib import Path
from typing import TypeVar

import vorn_core as vc

T = TypeVar("T")
Recorded = list[tuple[str, object]]


def run(workdir: Path) -> Recorded:
    calls: Recorded = []

    def record(name: str, value: T) -> T:
        calls.append((name, value))
        return value

    def perform(name: str, action: Callable[[], None]) -> None:
        calls.append((name, action()))  # type: ignore[func-returns-value]

    # The network model and single requests.
    physical = record("PhysicalConfig", vc.PhysicalConfig(alpha_loss_db_km=0.2))
    config = record("SimulationConfig", vc.SimulationConfig(total_time_cutoff_ms=2000.0))
    config.physical = physical
    nodes = [record("NodeDefinition", vc.NodeDefinition(name, 100.0)) for name in ("A", "B", "C")]
    conditions = record("SatelliteConditions", vc.SatelliteConditions(visibility=0.9))
    rate: float = record("SatelliteConditions.effective_rate", conditions.effective_rate(100.0))
    links = [vc.LinkDefinition("A", "B", 10.0, 0.97, 1000.0),
             record("LinkDefinition", vc.LinkDefinition("B", "C", 20.0, 0.95, rate, vc.LinkType.Satellite, conditions))]
    record("NetworkTopologyPayload", vc.NetworkTopologyPayload(nodes, links))
    record("EntanglementRequest", vc.EntanglementRequest("A", "C", 0.8, 100.0, vc.StrategyType.HighestSuccess))
    engine = record("VornEngine", vc.VornEngine(config))
    perform("VornEngine.define_network", lambda: engine.define_network(nodes, tuple(links)))
    result = record("VornEngine.request_entanglement", engine.request_entanglement("A", "C", 0.8, 100.0))
    path: list[str] = result.execution_path
    code: int = record("StrategyType.to_u8", vc.StrategyType.LowestLatency.to_u8())

    # Ensembles and their sensitivity.
    stats = record("VornEngine.simulate", engine.simulate("A", "C", 0.8, 100.0, runs=20, seed=len(path) + code,
                                                          strategy=vc.StrategyType.HighestFidelity))
    heat: dict[str, int] = stats.link_utilization_heatmap
    context = stats._context
    if context is not None:
        first_node: tuple[str, float] = context.nodes[0]
        record("PyMonteCarloContext.nodes[0]", first_node)
    impacts = record("MonteCarloStats.sensitivity_analysis", stats.sensitivity_analysis(seed_base=3))
    record("MonteCarloStats", vc.MonteCarloStats(1, 1.0, 2.0, 0.9, 0, heat, context))
    top_impact: float = max(impacts.values(), default=0.0)

    # Protocols, as engine methods and as module functions.
    qkd_params = record("QKDParameters", vc.QKDParameters("A", "C", 0.8, 1000.0, rounds=5))
    key = record("VornEngine.run_qkd", engine.run_qkd(qkd_params))
    record("qkd", vc.qkd(engine, "A", "C", 0.8, 1000.0, rounds=5))
    record("QKDStats", vc.QKDStats(1, 1.0, float(key.secret_key_length_bits), key.efficiency_rate, key.qber))
    tele_params = record("TeleportationParameters", vc.TeleportationParameters("A", "C"))
    tele = record("VornEngine.execute_teleportation", engine.execute_teleportation(tele_params))
    record("teleportation", vc.teleportation(engine, "A", "C", state_fidelity=0.8))
    record("TeleportationStats", vc.TeleportationStats(1, 1.0, tele.teleportation_fidelity, 0.0, tele.latency_ms))
    star = record("CoordinationTopology.star", vc.CoordinationTopology.star("A"))
    record("CoordinationTopology.ring", vc.CoordinationTopology.ring())
    record("CoordinationTopology.mesh", vc.CoordinationTopology.mesh())
    record("CoordinationTopology.arbitrary", vc.CoordinationTopology.arbitrary([("A", "B"), ("B", "C")]))
    record("CoordinationTopology", vc.CoordinationTopology("star", center_node="A"))
    basis = record("MeasurementBasis", vc.MeasurementBasis(vc.BasisType.Cluster))
    record("DistributedComputingParameters", vc.DistributedComputingParameters(["A", "B", "C"], star, basis))
    shared = record("VornEngine.run_distributed_computation",
                    engine.run_distributed_computation(["A", "B", "C"], "star", "ghz", correlation_strength=0.9))
    record("distributed_computation", vc.distributed_computation(engine, ["A", "B", "C"], star, basis))
    parties: list[vc.PartyOutcome] = shared.party_results
    record("PartyOutcome", vc.PartyOutcome("A", True, 0.9))
    record("DistributedComputingResult", vc.DistributedComputingResult(False, 0.0, parties, [], 0.0, 0.0))
    record("DistributedComputingStats", vc.DistributedComputingStats(1, 0.5, 0.8, top_impact))

    # Built-in topologies and their comparison.
    payload = record("generate_topology", vc.generate_topology("repeater_chain"))
    ends = record("TopologyEndpoints", vc.TopologyEndpoints("repeater_chain", payload.nodes[0].id, payload.nodes[-1].id))
    report = record("compare_topologies", vc.compare_topologies([ends], 0.7, 5000.0, 5, vc.StrategyType.LowestLatency))
    best: str = report.recommended_topology

    # Network files.
    network = record("VornFile", vc.VornFile(best))
    perform("VornFile.add_node",
            lambda: network.add_node("A", memory_lifetime_ms=1000.0, node_type=vc.VornNodeType.Ground))
    network.add_node("B", memory_capacity=4)
    perform("VornFile.add_link", lambda: network.add_link("l1", "A", "B", 10.0, 0.9, 500.0))
    satellite = record("VornSatelliteExtension", vc.VornSatelliteExtension(weather_factor=0.5))
    record("VornSatelliteExtension.effective_rate", satellite.effective_rate(10.0))
    network.links = [*network.links, record("VornLink", vc.VornLink("l2", "B", "C", 5.0, 0.8, 100.0,
                                                                    vc.VornLinkType.Satellite, satellite))]
    network.nodes = network.nodes + [record("VornNode", vc.VornNode("C", 50.0))]
    network.metadata = record("VornMetadata", vc.VornMetadata(best, author="typed user"))
    network.config = record("VornConfig", vc.VornConfig(alpha_loss=0.2, max_attempts=3))
    network.constraints = record("VornConstraints", vc.VornConstraints(fidelity_target=0.8))
    network.extensions = {"custom": {"owner": "lab"}}
    wanted = vc.VornConstraints(0.8)
    same: bool = record("VornConstraints.__eq__", wanted == network.constraints)
    same &= not record("VornConstraints.__ne__", wanted != vc.VornConstraints(0.8, 10.0))
    good, other, bad = (str(workdir / name) for name in ("good.vorn", "other.vorn", "bad.vorn"))
    perform("VornFile.save", lambda: network.save(good))
    network.add_link("l3", "C", "A", 1.0, 0.5, 1.0)
    perform("save_vorn_file_wrapper", lambda: vc.save(network, other))
    network.add_link("l4", "C", "Q", 1.0, 1.5, 1.0)
    vc.save_vorn_file_wrapper(network, bad)
    loaded = record("load_vorn_file", vc.load(good))
    perform("VornEngine.define_network_from_vorn", lambda: engine.define_network_from_vorn(loaded))
    record("from_vorn_file", vc.from_vorn_file(good))
    report_ok = record("validate", vc.validate(good))
    report_bad = record("validate", vc.validate(bad))
    problems = [error["message"] for error in report_bad["errors"]] + [w["message"] for w in report_ok["warnings"]]
    placed = record("validate_with_positions", vc.validate_with_positions(bad))
    unplaced = record("validate_with_positions", vc.validate_with_positions(str(workdir / "absent.vorn")))
    lines: list[int] = [error["line"] + error["column"] for error in placed["errors"]]
    failure = unplaced["load_error"]
    problems += [failure["message"]] if failure is not None and failure["line"] is None and lines else []
    changes = record("diff", vc.diff(good, other))
    record("diff", vc.diff(good, str(workdir / "absent.vorn")))
    summary: str = changes.get("summary", "") + f" ({len(problems)} problems, constraints kept: {same})"

    # Topology snapshots.
    snapshot_path = str(workdir / "snapshot.json")
    perform("save_topology", lambda: vc.save_topology(engine, snapshot_path))
    perform("load_topology", lambda: vc.load_topology(engine, snapshot_path))
    snapshot = record("snapshot_topology", vc.snapshot_topology(engine))
    stored = record("read_topology", vc.read_topology(snapshot_path))
    delta = record("diff_topologies", vc.diff_topologies(snapshot, stored))
    counts: list[int] = [len(delta.nodes_added), len(delta.links_modified), len(summary)]
    record("TopologySnapshot.config.alpha_loss", stored.config.alpha_loss + sum(counts))

    # The physical model's ensemble (added after the original surface).
    totals = record("simulate_physical", vc.simulate_physical(
        nodes, links, "A", "C", 200, 1, 0.0, 1e9, 0.2, 0.5, 0.9, 200.0, 30.0, vc.StrategyType.LowestLatency, 50.0))
    delivered: int = totals.delivered + sum(totals.delivery_histogram.values()) + sum(totals.attempts_per_link.values())
    record("PhysicalTotals.delivery_ms_sum", totals.delivery_ms_sum + delivered + len(totals.path))

    # What the stub generator reads.
    types = record("_python_types", vc._python_types())
    hidden = record("_hidden_classes", vc._hidden_classes())
    assert types["snapshot_topology"] == type(snapshot).__name__ and type(snapshot) in hidden
    return calls


if __name__ == "__main__":
    for name, value in run(Path(sys.argv[1] if len(sys.argv) > 1 else ".")):
        print(f"{name}: {value!r}")
