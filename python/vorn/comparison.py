"""Comparison of the built-in topologies with seeded ensembles, one task per topology.

`vorn_core.compare_topologies` seeds each ensemble from the clock, so two of
its reports never agree. `compare` evaluates the same request on the same
networks with seeded ensembles (topology k uses seed + k x runs, the sweep's
layout) and builds the same report: equal ranking rules, recommendation and
summary text, and results that are reproducible on any executor.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any, Union

import vorn_core
from vorn._checks import SEED_MODULUS, check_time_limit, checked_count, checked_seed, checked_timeout
from vorn._pickle import blank_instance
from vorn._timeout import Limit, call_limited, request_limit
from vorn.network import Network, StrategyLike, strategy_name, strategy_type
from vorn.parallel import run_tasks, worker_engine

__all__ = ["compare", "summary_text", "recommended_index", "TOPOLOGY_ALIASES"]


# Comparison names of the built-in networks and the generator each one uses.
TOPOLOGY_ALIASES = {
    "fiber_only": "telecom_backbone",
    "telecom_backbone": "telecom_backbone",
    "repeater_chain": "repeater_chain",
    "hybrid_satellite_fiber": "hybrid_satellite_fiber",
    "hybrid": "hybrid_satellite_fiber",
}

EndpointLike = Union["vorn_core.TopologyEndpoints", tuple[str, str, str]]


def _endpoint(value: EndpointLike) -> vorn_core.TopologyEndpoints:
    if isinstance(value, vorn_core.TopologyEndpoints):
        return value
    name, from_node, to_node = value
    return vorn_core.TopologyEndpoints(name, from_node, to_node)


def recommended_index(success_rates: Sequence[float]) -> int:
    """The highest success rate; the last one among equals."""
    best = 0
    for index, rate in enumerate(success_rates):
        if rate >= success_rates[best]:
            best = index
    return best


def summary_text(results: Sequence[Any]) -> str:
    """The report summary for `TopologyComparisonResult`-like values, in order."""
    if not results:
        return "No topologies evaluated"
    best = results[recommended_index([result.success_rate for result in results])]
    fastest = results[0]
    for result in results:
        if result.mean_latency_ms < fastest.mean_latency_ms:
            fastest = result
    percent = best.success_rate * 100.0
    percent_text = str(int(percent)) if percent > 0 else "0"  # NaN and negatives give 0
    average = 0.0
    for result in results:
        average += result.mean_fidelity
    average /= len(results)
    return (f"Evaluated {len(results)} topologies. Recommended: {best.topology_name}. "
            f"Best success rate: {percent_text} ({best.topology_name}), "
            f"Best latency: {fastest.mean_latency_ms:.2f}ms ({fastest.topology_name}). "
            f"Average fidelity: {average:.4f}.")


def _run_topology(network: Network, from_node: str, to: str, fidelity_target: float, max_latency_ms: float,
                  runs: int, strategy: str | None, seed: int,
                  limit: Limit | None = None) -> tuple[float, float, float, dict[str, int]]:
    return call_limited(limit, _topology_outcome, network, from_node, to, fidelity_target, max_latency_ms, runs,
                        strategy, seed)


def _topology_outcome(network: Network, from_node: str, to: str, fidelity_target: float, max_latency_ms: float,
                      runs: int, strategy: str | None, seed: int) -> tuple[float, float, float, dict[str, int]]:
    stats = worker_engine(network).simulate(from_node, to, fidelity_target, max_latency_ms, runs,
                                            strategy_type(strategy), seed)
    return (stats.empirical_success_rate, stats.mean_latency_ms, stats.mean_fidelity,
            dict(stats.link_utilization_heatmap))


def compare(endpoints: Sequence[EndpointLike], fidelity_target: float, max_latency_ms: float, runs: int,
            strategy: StrategyLike = None, seed: int = 0, *, executor: Any = None,
            progress: bool | None = None, timeout: float | None = None) -> vorn_core.TopologyComparisonReport:
    """Compare built-in topologies for one request, one seeded ensemble each.

    `endpoints`: `TopologyEndpoints` or (topology_name, from_node, to_node)
    tuples; the names and nodes are checked by vorn_core, with its messages,
    before any ensemble runs. Topology k (in endpoint order) uses seed + k x
    runs. Returns a `vorn_core.TopologyComparisonReport` whose ranking,
    recommendation and summary follow `compare_topologies`; unlike that
    function the numbers are reproducible and independent of the executor.
    `timeout`: seconds for each topology's ensemble (None: no limit), as in
    `sweep`.
    """
    records = [_endpoint(endpoint) for endpoint in endpoints]
    runs, seed = checked_count(runs), checked_seed(seed)
    seconds = checked_timeout(timeout)
    checked_strategy = strategy_type(strategy)
    # Let the engine reject bad names, nodes and run counts with its own
    # messages; one run per topology costs nothing.
    report = vorn_core.compare_topologies(records, fidelity_target, max_latency_ms, runs if runs < 1 else 1,
                                          checked_strategy)
    name = strategy_name(strategy)
    networks = [Network.builtin(TOPOLOGY_ALIASES[record.topology_name]) for record in records]
    for network in networks:
        check_time_limit(max_latency_ms, network.config.total_time_cutoff_ms)
    tasks = [
        (network, record.from_node, record.to_node, fidelity_target, max_latency_ms, runs, name,
         (seed + index * runs) % SEED_MODULUS,
         request_limit(seconds, f"the ensemble of {runs} runs on {record.topology_name}", len(network.nodes),
                       len(network.links), record.from_node, record.to_node, name))
        for index, (network, record) in enumerate(zip(networks, records))
    ]
    outcomes = run_tasks(_run_topology, [], tasks, executor, progress, "topologies")
    results = []
    for record, (rate, latency, fidelity, heatmap) in zip(records, outcomes):
        result = blank_instance("TopologyComparisonResult")
        result.topology_name = record.topology_name
        result.success_rate = rate
        result.mean_latency_ms = latency
        result.mean_fidelity = fidelity
        result.link_utilization = heatmap
        results.append(result)
    report.runs = runs
    report.results = results
    report.recommended_topology = (results[recommended_index([r.success_rate for r in results])].topology_name
                                   if results else "unknown")
    report.summary = summary_text(results)
    return report
