"""The physical request model: fiber and satellite loss, Werner pairs,
swap-asap repeater chains, memory decay and an optional cutoff (see
docs/physical.md), as sharded seeded ensembles.

Run i of a seeded ensemble depends only on seed + i, so chunk [a, b) is the
core's `simulate_physical(seed=seed + a, runs=b - a)`. The chunks have a
fixed default size, whatever runs them, so an ensemble gives the same
numbers on any executor or Dask cluster; within a chunk the core adds its
runs in order on any number of threads.
"""

from __future__ import annotations

import math
import secrets
from collections.abc import Mapping
from dataclasses import dataclass, field
from typing import Any

import vorn_core
from vorn._checks import SEED_MODULUS, checked_count, checked_seed
from vorn.ensemble import chunk_bounds
from vorn.network import Network, StrategyLike, _optional_real, _real, strategy_name, strategy_type
from vorn.parallel import run_tasks

__all__ = ["PhysicalModel", "PhysicalStats", "PhysicalChunk", "simulate_physical", "merge_physical",
           "run_physical_chunk", "DEFAULT_PHYSICAL_CHUNK_RUNS", "QUANTILES", "binary_entropy", "bb84_secret_fraction"]

# Runs per chunk unless the call says otherwise: about a fifth of a second on
# one core. Fixed, so that the chunking (and so every figure) does not depend
# on the executor.
DEFAULT_PHYSICAL_CHUNK_RUNS = 1 << 20
QUANTILES = (0.5, 0.9, 0.99)


@dataclass(frozen=True)
class PhysicalModel:
    """The physical model's parameters: fiber attenuation (dB/km), the photon
    source's efficiency, the probability that a swap succeeds, the speed of
    light in fiber (km/ms) for heralds and signalling, the fixed loss of a
    satellite link (dB), and the age (ms) beyond which a stored pair is
    discarded (None: never)."""

    attenuation_db_km: float = 0.2
    source_efficiency: float = 0.5
    swap_success: float = 1.0
    speed_km_ms: float = 200.0
    satellite_loss_db: float = 30.0
    memory_cutoff_ms: float | None = None

    def __post_init__(self) -> None:
        for name in ("attenuation_db_km", "source_efficiency", "swap_success", "speed_km_ms", "satellite_loss_db"):
            object.__setattr__(self, name, _real(getattr(self, name), name))
        object.__setattr__(self, "memory_cutoff_ms", _optional_real(self.memory_cutoff_ms, "memory_cutoff_ms"))
        if self.memory_cutoff_ms is not None and not self.memory_cutoff_ms >= 0.0:
            raise ValueError(f"memory_cutoff_ms must be 0 or more (or None), not {self.memory_cutoff_ms!r}")


@dataclass(frozen=True)
class PhysicalChunk:
    """The exact totals of runs [start, start + runs)."""

    start: int
    runs: int
    delivered: int
    successes: int
    abandoned: int
    delivery_ms_sum: float
    fidelity_sum: float
    elapsed_ms_sum: float
    attempts_per_link: Mapping[str, int]
    delivery_histogram: Mapping[float, int]
    path: tuple[str, ...]


@dataclass(frozen=True)
class PhysicalStats:
    """The statistics of a physical-model ensemble. Means and quantiles are
    over delivered runs; quantiles (keys 0.5, 0.9, 0.99) are bin midpoints of
    a histogram whose bins are 1/64 of an octave wide (within 0.8 %).
    `pairs_per_second` is delivered pairs per second of simulated time when
    the runs follow each other (a run that gives up counts the time it
    waited); `mean_qber` = 2 (1 - mean_fidelity) / 3 and the secret key rate
    is the asymptotic BB84 fraction 1 - 2 h2(mean_qber) (at least 0) times
    `pairs_per_second`. `abandoned` counts runs that gave up after 2^16
    restarts of their pairs. `to_dict` and `to_frame` accept it."""

    total_runs: int
    delivered: int
    successes: int
    success_rate: float
    mean_delivery_ms: float
    mean_fidelity: float
    delivery_ms_quantiles: dict[float, float]
    pairs_per_second: float
    mean_qber: float
    secret_fraction: float
    secret_key_rate_bps: float
    attempts_per_link: dict[str, int]
    abandoned: int
    path: tuple[str, ...]
    seed: int
    chunks: int = 1
    strategy: str | None = None
    model: PhysicalModel = field(default_factory=PhysicalModel)

    def __repr__(self) -> str:
        return (f"PhysicalStats(runs={self.total_runs}, delivered={self.delivered}, "
                f"success_rate={self.success_rate:.4f}, mean_delivery_ms={self.mean_delivery_ms:.4g}, "
                f"mean_fidelity={self.mean_fidelity:.4f}, secret_key_rate_bps={self.secret_key_rate_bps:.4g}, "
                f"seed={self.seed})")

    def _repr_html_(self) -> str:
        """The fields as a table, for notebooks."""
        from vorn._display import html

        return html(self)

    def _frame_rows(self) -> tuple[list[dict[str, Any]], list[str]]:
        """One row of the scalar figures (the attempts and quantiles as columns)."""
        row: dict[str, Any] = {name: getattr(self, name) for name in (
            "total_runs", "delivered", "successes", "success_rate", "mean_delivery_ms", "mean_fidelity",
            "pairs_per_second", "mean_qber", "secret_fraction", "secret_key_rate_bps", "abandoned", "seed")}
        for q, value in self.delivery_ms_quantiles.items():
            row[f"delivery_ms_p{round(q * 100)}"] = value
        row["path"] = "-".join(self.path)
        return [row], list(row)


def binary_entropy(q: float) -> float:
    """h2(q) = -q log2 q - (1 - q) log2 (1 - q), 0 at q = 0 and q = 1."""
    if q <= 0.0 or q >= 1.0:
        return 0.0
    return -q * math.log2(q) - (1.0 - q) * math.log2(1.0 - q)


def bb84_secret_fraction(qber: float) -> float:
    """The asymptotic BB84 secret fraction max(0, 1 - 2 h2(Q)); 0 for Q >= 1/2."""
    if not qber < 0.5:
        return 0.0
    return max(0.0, 1.0 - 2.0 * binary_entropy(qber))


def run_physical_chunk(network: Network, request: tuple[str, str, float, float, str | None], model: PhysicalModel,
               start: int, runs: int, seed: int) -> PhysicalChunk:
    """Runs [start, start + runs) of the ensemble with base seed `seed`, in this process."""
    from_node, to, fidelity_target, max_latency_ms, strategy = request
    nodes, links = network.definitions()
    totals = vorn_core.simulate_physical(
        nodes, links, from_node, to, runs, (seed + start) % SEED_MODULUS, fidelity_target, max_latency_ms,
        model.attenuation_db_km, model.source_efficiency, model.swap_success, model.speed_km_ms,
        model.satellite_loss_db, strategy_type(strategy), model.memory_cutoff_ms)
    return PhysicalChunk(start, runs, totals.delivered, totals.successes, totals.abandoned, totals.delivery_ms_sum,
                         totals.fidelity_sum, totals.elapsed_ms_sum, dict(totals.attempts_per_link),
                         dict(totals.delivery_histogram), tuple(totals.path))


def _quantile(histogram: Mapping[float, int], q: float) -> float:
    """Nearest rank: the first bin at which the cumulative count reaches q x total."""
    total = sum(histogram.values())
    if total == 0:
        return math.nan
    rank = math.ceil(q * total)
    seen = 0
    for midpoint in sorted(histogram):
        seen += histogram[midpoint]
        if seen >= rank:
            return midpoint
    return max(histogram)


def merge_physical(chunks: list[PhysicalChunk], seed: int, strategy: str | None = None,
                   model: PhysicalModel | None = None) -> PhysicalStats:
    """Merge chunk totals: counts add exactly, sums with `math.fsum` in start order."""
    chunks = sorted(chunks, key=lambda chunk: chunk.start)
    runs = sum(chunk.runs for chunk in chunks)
    delivered = sum(chunk.delivered for chunk in chunks)
    successes = sum(chunk.successes for chunk in chunks)
    attempts: dict[str, int] = {}
    histogram: dict[float, int] = {}
    for chunk in chunks:
        for link, count in chunk.attempts_per_link.items():
            attempts[link] = attempts.get(link, 0) + count
        for midpoint, count in chunk.delivery_histogram.items():
            histogram[midpoint] = histogram.get(midpoint, 0) + count
    delivery_sum = math.fsum(chunk.delivery_ms_sum for chunk in chunks)
    fidelity_sum = math.fsum(chunk.fidelity_sum for chunk in chunks)
    elapsed_sum = math.fsum(chunk.elapsed_ms_sum for chunk in chunks)
    mean_fidelity = fidelity_sum / delivered if delivered else math.nan
    pairs_per_second = 1000.0 * delivered / elapsed_sum if delivered and elapsed_sum > 0 else 0.0
    mean_qber = 2.0 * (1.0 - mean_fidelity) / 3.0 if delivered else math.nan
    secret_fraction = bb84_secret_fraction(mean_qber) if delivered else 0.0
    return PhysicalStats(
        total_runs=runs,
        delivered=delivered,
        successes=successes,
        success_rate=successes / runs if runs else math.nan,
        mean_delivery_ms=delivery_sum / delivered if delivered else math.nan,
        mean_fidelity=mean_fidelity,
        delivery_ms_quantiles={q: _quantile(histogram, q) for q in QUANTILES},
        pairs_per_second=pairs_per_second,
        mean_qber=mean_qber,
        secret_fraction=secret_fraction,
        secret_key_rate_bps=secret_fraction * pairs_per_second,
        attempts_per_link=attempts,
        abandoned=sum(chunk.abandoned for chunk in chunks),
        path=chunks[0].path if chunks else (),
        seed=seed,
        chunks=len(chunks),
        strategy=strategy,
        model=model if model is not None else PhysicalModel(),
    )


def simulate_physical(network: Network, from_node: str, to: str, runs: int, *, fidelity_target: float = 0.0,
                      max_latency_ms: float = math.inf, seed: int | None = None,
                      model: PhysicalModel = PhysicalModel(), strategy: StrategyLike = None, executor: Any = None,
                      progress: bool | None = None, chunk_runs: int | None = None) -> PhysicalStats:
    """An ensemble of `runs` runs of the physical model between two nodes.

    The route is the one the round model picks for the same request and
    strategy. A run succeeds when its pair is delivered within
    `max_latency_ms` with fidelity at least `fidelity_target`; a run whose
    pair could no longer arrive in time gives up undelivered. Without `seed`
    one base seed is drawn at random and reported in `.seed`.

    `executor`: a concurrent.futures.Executor or a dask.distributed.Client
    (default: this process for a single chunk, else a process pool sized to
    the CPUs). `chunk_runs`: runs per chunk, DEFAULT_PHYSICAL_CHUNK_RUNS by
    default; the figures depend on it only through the rounding of the
    summed delivery times and fidelities.
    """
    if not isinstance(network, Network):
        raise TypeError(f"simulate_physical takes a vorn.Network, not {type(network).__name__}")
    if not isinstance(model, PhysicalModel):
        raise TypeError(f"model must be a vorn.PhysicalModel, not {type(model).__name__}")
    runs = checked_count(runs)
    chunk_runs = DEFAULT_PHYSICAL_CHUNK_RUNS if chunk_runs is None else checked_count(chunk_runs, "chunk_runs")
    if chunk_runs < 1:
        raise ValueError("chunk_runs must be at least 1")
    base = secrets.randbits(64) if seed is None else checked_seed(seed)
    name = strategy_name(strategy)
    network._check_nodes(from_node, to)
    request = (from_node, to, _real(fidelity_target, "fidelity_target"), _real(max_latency_ms, "max_latency_ms"), name)
    chunks = run_tasks(run_physical_chunk, [network, request, model],
                       [(start, count, base) for start, count in chunk_bounds(runs, chunk_runs)],
                       executor, progress, "physical ensemble")
    if not chunks:  # zero runs: the core's own empty ensemble
        chunks = [run_physical_chunk(network, request, model, 0, 0, base)]
    return merge_physical(chunks, base, name, model)
