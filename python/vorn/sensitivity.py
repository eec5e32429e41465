"""Sensitivity of a request's success rate to each parameter of its network.

`MonteCarloStats.sensitivity_analysis` (the engine's analysis, kept as it
is) reruns small ensembles on seeds of their own, scales every value by 0.9
and 1.1 whatever its range (a fidelity of 0.95 becomes 1.045) and lets the
route change with it, so a link off the route can rank first and parameters
without any effect score the sampling noise. `sensitivity` measures the same
question so that the numbers can be trusted:

* common random numbers: the baseline and every perturbed ensemble use the
  same seeds, so run i of each draws the same numbers, and a parameter that
  does not enter the model changes nothing at all (its change is exactly 0);
* each perturbed value is clamped to its physical range (fidelities to
  [0, 1], lengths, rates and times to 0 or more); a side that the clamp
  leaves at the baseline value is not rerun;
* the route is held fixed (the request runs on the route's own nodes and
  links, where it behaves exactly as on the whole network) unless
  `fixed_route=False`, which then reports whether a perturbation moved it;
* every change comes with a 95 % confidence interval from batch means: the
  runs are split into batches with the same seeds in every ensemble, and the
  spread of the per-batch paired differences gives the interval.
"""

from __future__ import annotations

import math
from collections.abc import Iterator
from dataclasses import dataclass, fields, replace
from typing import Any

from vorn._checks import check_time_limit, checked_count, checked_seed, checked_timeout
from vorn._timeout import Limit, call_limited, request_limit
from vorn.data import wilson_interval
from vorn.network import Config, Link, Network, StrategyLike, real_fields, strategy_name, strategy_type
from vorn.parallel import run_tasks, worker_engine

__all__ = ["sensitivity", "SensitivityResult", "ParameterEffect", "t_quantile", "BATCHES", "STEP"]

STEP = 0.1
# Batches of runs per ensemble for the confidence intervals (31 degrees of freedom).
BATCHES = 32
_Z_975 = 1.959963984540054

# The physical range of every field a perturbation may change.
_RANGES: dict[str, tuple[float, float]] = {
    "memory_lifetime_t2_s": (0.0, math.inf),
    "distance_km": (0.0, math.inf),
    "base_fidelity": (0.0, 1.0),
    "generation_rate_hz": (0.0, math.inf),
    "baseline_purify_factor": (-math.inf, math.inf),
    "speed_of_light_in_fiber_km_ms": (0.0, math.inf),
    "total_time_cutoff_ms": (0.0, math.inf),
}
_LINK_FIELDS = real_fields(Link)
# step_resolution_ms is never read by the round model, so it is not perturbed.
_CONFIG_FIELDS = tuple(name for name in real_fields(Config) if name != "step_resolution_ms")
_NODE_PREFIX = "memory_lifetime_t2"


@dataclass(frozen=True)
class ParameterEffect:
    """What scaling one value by (1 - step) and (1 + step) did to the success
    rate. `value_minus` / `value_plus` are the values used after clamping;
    `change_*` = rate with that value - baseline rate, with its 95 %
    interval. `route_changed`: a perturbation took another route (never with
    the route held fixed)."""

    parameter: str
    value: float
    value_minus: float
    value_plus: float
    success_rate_minus: float
    success_rate_plus: float
    change_minus: float
    change_minus_ci_low: float
    change_minus_ci_high: float
    change_plus: float
    change_plus_ci_low: float
    change_plus_ci_high: float
    route_changed: bool = False

    @property
    def size(self) -> float:
        """The larger of the two changes, in absolute value (the ranking key)."""
        return max(abs(self.change_minus), abs(self.change_plus))


@dataclass(frozen=True)
class SensitivityResult:
    """The result of `sensitivity`: the baseline ensemble (its success rate
    and Wilson 95 % interval), the route it took, and one `ParameterEffect`
    per parameter, largest `size` first. `vorn.to_frame` gives one row per
    parameter; `vorn.plot.plot_sensitivity` draws it as a tornado chart."""

    from_node: str
    to: str
    fidelity_target: float
    max_latency_ms: float
    strategy: str | None
    runs: int
    seed: int
    step: float
    fixed_route: bool
    route: tuple[str, ...]
    success_rate: float
    ci_low: float
    ci_high: float
    batches: int
    effects: tuple[ParameterEffect, ...]

    def __repr__(self) -> str:
        held = "held fixed" if self.fixed_route else "free"
        return (f"SensitivityResult({self.from_node}->{self.to}, {len(self.effects)} parameters, "
                f"success rate {self.success_rate:.4f}, route {'-'.join(self.route) or 'none'} {held})")

    def _frame_rows(self) -> tuple[list[dict[str, Any]], list[str]]:
        columns = [f.name for f in fields(ParameterEffect)]
        return [{name: getattr(effect, name) for name in columns} for effect in self.effects], columns


def t_quantile(degrees_of_freedom: int, z: float = _Z_975) -> float:
    """The Student-t quantile matching the normal quantile `z` (97.5 % by
    default), from the Cornish-Fisher expansion in 1/df (Abramowitz and
    Stegun 26.7.5); within 0.1 % of the exact value from 5 degrees of freedom."""
    n = float(degrees_of_freedom)
    if n < 1:
        return math.nan
    terms = (
        (z**3 + z) / 4,
        (5 * z**5 + 16 * z**3 + 3 * z) / 96,
        (3 * z**7 + 19 * z**5 + 17 * z**3 - 15 * z) / 384,
        (79 * z**9 + 776 * z**7 + 1482 * z**5 - 1920 * z**3 - 945 * z) / 92160,
    )
    return z + sum(term / n ** (power + 1) for power, term in enumerate(terms))


def batch_bounds(runs: int, batches: int = BATCHES) -> list[tuple[int, int]]:
    """(start, count) of min(batches, runs) batches covering runs [0, runs),
    their sizes differing by at most one."""
    count = min(batches, runs)
    bounds = []
    start = 0
    for index in range(count):
        size = runs // count + (1 if index < runs % count else 0)
        bounds.append((start, size))
        start += size
    return bounds


def paired_change(variant: list[int], baseline: list[int], bounds: list[tuple[int, int]]) -> tuple[float, float, float]:
    """The change of the success rate and its 95 % interval from per-batch
    success counts of two ensembles that share their seeds.

    The change is the difference of the overall rates; the interval is the
    ratio (cluster) estimate over batches: each batch's paired difference
    d_b against its share n_b of the change, with B - 1 degrees of freedom.
    """
    runs = sum(size for _, size in bounds)
    differences = [v - b for v, b in zip(variant, baseline)]
    change = sum(variant) / runs - sum(baseline) / runs
    if len(bounds) < 2:
        return change, math.nan, math.nan
    squares = math.fsum((d - size * change) ** 2 for d, (_, size) in zip(differences, bounds))
    error = math.sqrt(len(bounds) / (len(bounds) - 1) * squares) / runs
    half = t_quantile(len(bounds) - 1) * error
    return change, max(-1.0, change - half), min(1.0, change + half)


def _batch_successes(request: tuple[str, str, float, float, str | None], bounds: list[tuple[int, int]], seed: int,
                     network: Network, limit: Limit | None = None) -> list[int]:
    return call_limited(limit, _batch_counts, request, bounds, seed, network)


def _batch_counts(request: tuple[str, str, float, float, str | None], bounds: list[tuple[int, int]], seed: int,
                  network: Network) -> list[int]:
    from_node, to, fidelity_target, max_latency_ms, strategy = request
    engine = worker_engine(network)
    counts = []
    for start, size in bounds:
        stats = engine.simulate(from_node, to, fidelity_target, max_latency_ms, size, strategy_type(strategy),
                                (seed + start) % 2**64)
        counts.append(round(stats.empirical_success_rate * size))
    return counts


def route_network(network: Network, route: list[str]) -> Network:
    """The route's own network: its nodes (those the network defines) and,
    for each hop, the link the engine uses for it (the first joining its two
    nodes), in network order. Its only path between the route's ends is the
    route, and a request along it draws and decides exactly as on the whole
    network."""
    on_route = set(route)
    used = set()
    for a, b in zip(route, route[1:]):
        for index, link in enumerate(network.links):
            if (link.from_node, link.to) in ((a, b), (b, a)):
                used.add(index)
                break
    return Network(tuple(node for node in network.nodes if node.id in on_route),
                   tuple(link for index, link in enumerate(network.links) if index in used), network.config)


def _clamped(name: str, value: float) -> float:
    low, high = _RANGES[name]
    return min(max(value, low), high)


def _numbered(labels: list[str]) -> list[str]:
    """The labels, a repeated one as "label #2", "label #3", ... (a node
    defined twice, a second link joining the same ordered pair)."""
    seen: dict[str, int] = {}
    names = []
    for label in labels:
        seen[label] = seen.get(label, 0) + 1
        names.append(label if seen[label] == 1 else f"{label} #{seen[label]}")
    return names


def _parameters(network: Network) -> Iterator[tuple[str, str, float, Any]]:
    """(display name, field, value, how to build the network with a new value)."""
    for index, (node, label) in enumerate(zip(network.nodes, _numbered([node.id for node in network.nodes]))):
        def with_node(value: float, index: int = index) -> Network:
            nodes = list(network.nodes)
            nodes[index] = replace(nodes[index], memory_lifetime_t2_s=value)
            return Network(tuple(nodes), network.links, network.config)
        yield f"{_NODE_PREFIX}:{label}", "memory_lifetime_t2_s", node.memory_lifetime_t2_s, with_node
    link_labels = _numbered([f"{link.from_node}->{link.to}" for link in network.links])
    for index, (link, label) in enumerate(zip(network.links, link_labels)):
        for name in _LINK_FIELDS:
            def with_link(value: float, index: int = index, name: str = name) -> Network:
                links = list(network.links)
                change: dict[str, Any] = {name: value}
                links[index] = replace(links[index], **change)
                return Network(network.nodes, tuple(links), network.config)
            yield f"{name}:{label}", name, getattr(link, name), with_link
    for name in _CONFIG_FIELDS:
        def with_config(value: float, name: str = name) -> Network:
            change: dict[str, Any] = {name: value}
            return Network(network.nodes, network.links, replace(network.config, **change))
        yield name, name, getattr(network.config, name), with_config


def sensitivity(network: Network, from_node: str, to: str, fidelity_target: float, max_latency_ms: float,
                runs: int, seed: int = 0, strategy: StrategyLike = None, *, step: float = STEP,
                fixed_route: bool = True, executor: Any = None, progress: bool | None = None,
                timeout: float | None = None) -> SensitivityResult:
    """How the success rate of one request responds to each parameter.

    Every node's T2, every link's distance_km, base_fidelity and
    generation_rate_hz, and the configuration's baseline_purify_factor,
    speed_of_light_in_fiber_km_ms and total_time_cutoff_ms are scaled by
    (1 - step) and (1 + step) in turn, clamped to their physical range, and
    an ensemble of `runs` runs is rerun for each with the baseline's seeds
    (run i uses seed + i in every ensemble). With `fixed_route` (default) the
    request runs on its baseline route alone, so only the route's nodes and
    links are parameters; `fixed_route=False` perturbs the whole network and
    lets the route move.

    Returns a `SensitivityResult`; each `ParameterEffect` gives both changes of
    the success rate with 95 % intervals (batch means over BATCHES batches).
    `executor` and `progress` as in `sweep` (one task per perturbed network).
    `timeout`: seconds for each of those tasks' ensembles and for each route
    request (None: no limit), as in `sweep`.
    Raises ValueError when the baseline has no route to hold fixed, and
    refuses unknown nodes, run counts and seeds as `Network.simulate` does.
    """
    if not isinstance(network, Network):
        raise TypeError(f"sensitivity takes a vorn.Network, not {type(network).__name__}")
    runs, seed = checked_count(runs), checked_seed(seed)
    if runs < 1:
        raise ValueError("sensitivity needs runs of 1 or more")
    step = float(step)
    if not 0.0 < step < 1.0:
        raise ValueError(f"step must lie strictly between 0 and 1, not {step!r}")
    name = strategy_name(strategy)
    seconds = checked_timeout(timeout)
    network.check_request(from_node, to, max_latency_ms)
    route = list(network.request(from_node, to, fidelity_target, 0.0, name, timeout=seconds).execution_path)
    if fixed_route:
        if not route:
            raise ValueError(f"no route from {from_node} to {to}: there is no route to hold fixed")
        network = route_network(network, route)

    variants: list[Network] = [network]
    plan: list[tuple[str, float, float, float, int | None, int | None]] = []
    for parameter, field_name, value, rebuild in _parameters(network):
        sides: list[int | None] = []
        values = []
        for factor in (1.0 - step, 1.0 + step):
            perturbed = _clamped(field_name, value * factor)
            values.append(perturbed)
            if perturbed == value or (math.isnan(value) and math.isnan(perturbed)):
                sides.append(None)  # clamped back to the value: the baseline's own runs
                continue
            varied = rebuild(perturbed)
            check_time_limit(max_latency_ms, varied.config.total_time_cutoff_ms)
            sides.append(len(variants))
            variants.append(varied)
        plan.append((parameter, value, values[0], values[1], sides[0], sides[1]))

    bounds = batch_bounds(runs)
    request = (from_node, to, fidelity_target, max_latency_ms, name)
    kind = f"the ensemble of {runs} runs of a sensitivity analysis"
    tasks = [(variant, request_limit(seconds, kind, len(variant.nodes), len(variant.links), from_node, to, name))
             for variant in variants]
    counts = run_tasks(_batch_successes, [request, bounds, seed], tasks, executor, progress, "sensitivity")
    routes: dict[int, bool] = {}
    if not fixed_route:
        for index, variant in enumerate(variants):
            moved = variant.request(from_node, to, fidelity_target, 0.0, name, timeout=seconds).execution_path
            routes[index] = list(moved) != route
    baseline = counts[0]
    rate = sum(baseline) / runs
    effects = []
    for parameter, value, minus, plus, minus_index, plus_index in plan:
        changes = [(0.0, 0.0, 0.0) if index is None else paired_change(counts[index], baseline, bounds)
                   for index in (minus_index, plus_index)]
        rates = [rate if index is None else sum(counts[index]) / runs for index in (minus_index, plus_index)]
        effects.append(ParameterEffect(
            parameter, value, minus, plus, rates[0], rates[1], *changes[0], *changes[1],
            route_changed=any(routes.get(index, False) for index in (minus_index, plus_index) if index is not None),
        ))
    effects.sort(key=lambda effect: -effect.size)
    successes = sum(baseline)
    low, high = wilson_interval(successes, runs)
    return SensitivityResult(from_node, to, float(fidelity_target), float(max_latency_ms), name, runs, seed, step,
                       fixed_route, tuple(route), successes / runs, low, high, len(bounds), tuple(effects))
