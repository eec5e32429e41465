"""Define a small quantum network by hand and request entanglement across it.

Run after installing the package:  python examples/quickstart.py
"""
from __future__ import annotations

import vorn_core as vc


def build_engine() -> vc.VornEngine:
    # Five nodes: a metro ring A-B-C-D with a long-haul spur D-E and a
    # satellite shortcut from A to E.
    nodes = [vc.NodeDefinition(name, t2) for name, t2 in
             [("A", 120.0), ("B", 150.0), ("C", 200.0), ("D", 200.0), ("E", 250.0)]]
    links = [
        vc.LinkDefinition("A", "B", 5.0, 0.97, 2000.0),
        vc.LinkDefinition("B", "C", 80.0, 0.93, 1200.0),
        vc.LinkDefinition("C", "D", 60.0, 0.95, 900.0),
        vc.LinkDefinition("D", "A", 40.0, 0.96, 1500.0),
        vc.LinkDefinition("D", "E", 300.0, 0.90, 400.0),
        vc.LinkDefinition("A", "E", 1200.0, 0.92, 50.0, vc.LinkType.Satellite,
                          vc.SatelliteConditions(visibility=0.9, weather_factor=0.95)),
    ]
    engine = vc.VornEngine(vc.SimulationConfig(total_time_cutoff_ms=2000.0))
    engine.define_network(nodes, links)
    return engine


def describe(label: str, result: vc.SimulationResult) -> None:
    status = "success" if result.success else "failed "
    path = " -> ".join(result.execution_path) or "(no route)"
    print(f"  {label:<16} {status}  latency {result.latency_ms:8.2f} ms  "
          f"fidelity {result.final_fidelity:.4f}  path {path}")


def main() -> None:
    engine = build_engine()
    strategies = [("default", None),
                  ("LowestLatency", vc.StrategyType.LowestLatency),
                  ("HighestFidelity", vc.StrategyType.HighestFidelity),
                  ("HighestSuccess", vc.StrategyType.HighestSuccess)]
    for source, target, fidelity, budget in [("A", "C", 0.85, 100.0), ("B", "E", 0.8, 500.0)]:
        print(f"Request {source} -> {target}, fidelity target {fidelity}, budget {budget} ms")
        for label, strategy in strategies:
            describe(label, engine.request_entanglement(source, target, fidelity, budget, strategy))
        print()

    stats = engine.simulate("A", "C", 0.85, 100.0, runs=2000, seed=7)
    print(f"Monte Carlo A -> C over {stats.total_runs} runs: success rate "
          f"{stats.empirical_success_rate:.3f}, mean latency {stats.mean_latency_ms:.2f} ms, "
          f"mean fidelity {stats.mean_fidelity:.4f}")
    busiest = sorted(stats.link_utilization_heatmap.items(), key=lambda kv: -kv[1])[:3]
    print("  busiest links:", ", ".join(f"{k} ({n})" for k, n in busiest))


if __name__ == "__main__":
    main()
