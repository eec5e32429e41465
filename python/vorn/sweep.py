"""Ensembles over a grid of request parameters and network variations.

Seed layout: run i of an ensemble uses seed + i, so point k of a sweep gets
the base seed + k x runs and no two points share a run. Points are numbered
in the order of the returned rows (variations outermost, then the grid in
the order of its keys, the last key varying fastest). Each point is an
independent task, so the frame is the same on any executor and any number
of workers.
"""

from __future__ import annotations

import itertools
from collections.abc import Callable, Iterable, Mapping, Sequence
from dataclasses import asdict, dataclass, fields
from typing import TYPE_CHECKING, Any

from vorn._checks import SEED_MODULUS, checked_count, checked_seed, checked_timeout
from vorn._optional import require
from vorn._timeout import Limit, call_limited, request_limit
from vorn.data import wilson_interval
from vorn.network import Network, strategy_name, strategy_type
from vorn.parallel import run_tasks, worker_engine
from vorn.physical import PhysicalModel, merge_physical, run_physical_chunk

if TYPE_CHECKING:
    import pandas

__all__ = ["sweep", "grid_points", "REQUEST_PARAMETERS", "RESULT_COLUMNS", "PointResult", "Variation"]

REQUEST_PARAMETERS = ("from_node", "to", "fidelity_target", "max_latency_ms", "strategy")

Variation = Callable[[Network], Network] | Mapping[str, float]



@dataclass(frozen=True)
class PointResult:
    """The result columns of one sweep point, in column order."""

    success_rate: float
    ci_low: float  # Wilson 95 %
    ci_high: float
    mean_latency_ms: float  # over all runs
    mean_fidelity: float  # over successful runs
    drops: int
    runs: int
    seed: int


RESULT_COLUMNS = [f.name for f in fields(PointResult)]
PHYSICAL_RESULT_COLUMNS = ["success_rate", "ci_low", "ci_high", "delivered", "mean_delivery_ms", "mean_fidelity",
                           "pairs_per_second", "secret_key_rate_bps", "runs", "seed"]


def grid_points(grid: Mapping[str, Any] | Iterable[Mapping[str, Any]]) -> list[dict[str, Any]]:
    """The points of a grid: a mapping of parameter -> values (a single value
    or a sequence; the product is taken in key order) or an explicit list of
    point dicts. Every point must name from_node, to, fidelity_target and
    max_latency_ms; strategy is optional."""
    if isinstance(grid, Mapping):
        axes = []
        for name, values in grid.items():
            if isinstance(values, (str, bytes)) or not isinstance(values, Iterable):
                values = [values]
            axes.append([(name, value) for value in values])
        points = [dict(combination) for combination in itertools.product(*axes)]
    else:
        points = [dict(point) for point in grid]
    for point in points:
        unknown = set(point) - set(REQUEST_PARAMETERS)
        if unknown:
            raise ValueError(f"unknown sweep parameter(s) {', '.join(sorted(unknown))}; "
                             f"use {', '.join(REQUEST_PARAMETERS)}")
        missing = [name for name in REQUEST_PARAMETERS[:4] if name not in point]
        if missing:
            raise ValueError(f"every sweep point needs {', '.join(missing)}")
        point.setdefault("strategy", None)
        strategy_type(point["strategy"])  # reject unknown names before any work starts
    return points


def _vary(network: Network, variation: Variation) -> Network:
    if isinstance(variation, Mapping):
        return network.scaled(variation)
    varied = variation(network)
    if not isinstance(varied, Network):
        raise TypeError(f"a variation must return a vorn.Network, not {type(varied).__name__}")
    return varied


def _run_point(network: Network, point: Mapping[str, Any], runs: int, seed: int,
               limit: Limit | None = None) -> dict[str, Any]:
    return call_limited(limit, _point_row, network, point, runs, seed)


def _point_row(network: Network, point: Mapping[str, Any], runs: int, seed: int) -> dict[str, Any]:
    stats = worker_engine(network).simulate(point["from_node"], point["to"], point["fidelity_target"],
                                            point["max_latency_ms"], runs, strategy_type(point["strategy"]), seed)
    successes = round(stats.empirical_success_rate * runs) if runs else 0
    low, high = wilson_interval(successes, runs)
    return asdict(PointResult(stats.empirical_success_rate, low, high, stats.mean_latency_ms, stats.mean_fidelity,
                              stats.aggregate_congestion_drops, runs, seed))


def _run_physical_point(model: PhysicalModel, network: Network, point: Mapping[str, Any], runs: int,
                        seed: int, limit: Limit | None = None) -> dict[str, Any]:
    return call_limited(limit, _physical_point_row, model, network, point, runs, seed)


def _physical_point_row(model: PhysicalModel, network: Network, point: Mapping[str, Any], runs: int,
                        seed: int) -> dict[str, Any]:
    request = (point["from_node"], point["to"], float(point["fidelity_target"]), float(point["max_latency_ms"]),
               strategy_name(point["strategy"]))
    stats = merge_physical([run_physical_chunk(network, request, model, 0, runs, seed)], seed)
    low, high = wilson_interval(stats.successes, runs)
    return {"success_rate": stats.success_rate, "ci_low": low, "ci_high": high, "delivered": stats.delivered,
            "mean_delivery_ms": stats.mean_delivery_ms, "mean_fidelity": stats.mean_fidelity,
            "pairs_per_second": stats.pairs_per_second, "secret_key_rate_bps": stats.secret_key_rate_bps,
            "runs": runs, "seed": seed}


def sweep(network: Network, grid: Mapping[str, Any] | Sequence[Mapping[str, Any]], runs: int, seed: int = 0, *,
          variations: Mapping[str, Variation] | None = None, executor: Any = None,
          progress: bool | None = None, timeout: float | None = None,
          model: PhysicalModel | None = None) -> pandas.DataFrame:
    """Run one seeded ensemble of `runs` runs per point and return one row per point.

    `grid`: e.g. {"from_node": "A", "to": "E", "fidelity_target": [0.8, 0.9],
    "max_latency_ms": [50, 100, 200], "strategy": ["HighestFidelity"]}.
    `variations`: named changes of the network, each a function Network ->
    Network (run here, before anything is shipped) or a dict of field scalings
    such as {"distance_km": 1.1}; the frame then has a "variation" column.
    `executor`: a concurrent.futures.Executor or a dask.distributed.Client;
    default a process pool sized to the CPUs (workers receive the Network and
    build their engine once). `progress`: bar on/off; default on when stderr
    is a terminal or in a notebook.

    Columns: the grid's parameters (strategy as its name), then the fields
    of `PointResult`: success_rate, ci_low, ci_high (Wilson 95 %),
    mean_latency_ms (over all runs), mean_fidelity (over successful runs),
    drops, runs, seed.
    Point k uses seed + k x runs (modulo 2**64, as the engine wraps seeds).

    `model`: a vorn.PhysicalModel runs every point on the physical model
    (`vorn.simulate_physical`) instead; the result columns are then
    success_rate, ci_low, ci_high, delivered, mean_delivery_ms and
    mean_fidelity (over delivered runs), pairs_per_second,
    secret_key_rate_bps, runs, seed.
    Every point is checked on its network before the first ensemble runs
    (unknown nodes, a request that could never end; see `Network.request`).
    `timeout`: seconds for each point's ensemble (None: no limit), applied in
    the worker that runs it; the first point to run out ends the sweep with
    TimeoutError (see `Network.request` for threads and processes).
    """
    pd = require("pandas", "frames")
    if not isinstance(network, Network):
        raise TypeError(f"sweep takes a vorn.Network, not {type(network).__name__}")
    if model is not None and not isinstance(model, PhysicalModel):
        raise TypeError(f"model must be a vorn.PhysicalModel, not {type(model).__name__}")
    runs, seed = checked_count(runs), checked_seed(seed)
    seconds = checked_timeout(timeout)
    points = grid_points(grid)
    named: list[tuple[str | None, Variation | None]] = list((variations or {}).items()) or [(None, None)]
    tasks: list[tuple[Network, dict[str, Any], int, int, Limit | None]] = []
    labels: list[dict[str, Any]] = []
    for variation_name, variation in named:
        varied = network if variation is None else _vary(network, variation)
        for point in points:
            if model is None:
                varied.check_request(point["from_node"], point["to"], point["max_latency_ms"])
            else:  # physical runs end by themselves: only the nodes are checked
                varied._check_nodes(point["from_node"], point["to"])
            seed_k = (seed + len(tasks) * runs) % SEED_MODULUS
            name = strategy_name(point["strategy"])
            limit = request_limit(seconds, f"the ensemble of {runs} runs of sweep point {len(tasks)}",
                                  len(varied.nodes), len(varied.links), point["from_node"], point["to"], name)
            tasks.append((varied, point, runs, seed_k, limit))
            label: dict[str, Any] = {} if variation_name is None else {"variation": variation_name}
            label.update(point)
            label["strategy"] = name
            labels.append(label)
    point_function: Callable[..., dict[str, Any]] = _run_point
    shared: list[Any] = []
    if model is not None:
        point_function, shared = _run_physical_point, [model]
    if variations is None:  # one network: shipped once to a cluster
        results = run_tasks(point_function, [*shared, network], [task[1:] for task in tasks], executor, progress,
                            "sweep")
    else:
        results = run_tasks(point_function, shared, tasks, executor, progress, "sweep")
    frame: pandas.DataFrame = pd.DataFrame([{**label, **result} for label, result in zip(labels, results)])
    columns = RESULT_COLUMNS if model is None else PHYSICAL_RESULT_COLUMNS
    if frame.empty:
        frame = pd.DataFrame(columns=list(labels[0]) + columns if labels else columns)
    return frame

