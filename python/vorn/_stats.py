"""`EnsembleStats`: the one result of a Monte Carlo ensemble in vorn, from
`Network.simulate` (one engine call) and `vorn.simulate` (chunks merged)."""

from __future__ import annotations

import copy
from dataclasses import dataclass, field
from typing import Any

import vorn_core

__all__ = ["EnsembleStats", "from_engine_stats"]


@dataclass
class EnsembleStats:
    """The statistics of an ensemble.

    Everything `vorn_core.MonteCarloStats` offers, under its names (the six
    fields, read-write; `_context` and `sensitivity_analysis`), plus the
    success count, the base seed used (drawn at random when none was given),
    the number of chunks merged and the strategy's name. `context` is the
    engine's stored copy of the network and request (None when dropped);
    `engine_stats()` gives the engine's own record. `to_dict` and `to_frame`
    accept it.
    """

    total_runs: int
    successes: int
    empirical_success_rate: float
    mean_latency_ms: float
    mean_fidelity: float
    aggregate_congestion_drops: int
    link_utilization_heatmap: dict[str, int]
    seed: int
    chunks: int = 1
    strategy: str | None = None
    context: vorn_core.PyMonteCarloContext | None = field(default=None, repr=False, compare=False)

    @property
    def _context(self) -> vorn_core.PyMonteCarloContext | None:
        """A copy of the stored context, as `MonteCarloStats._context` gives it
        (change it and assign it back to analyse a variant)."""
        return copy.copy(self.context)

    @_context.setter
    def _context(self, value: vorn_core.PyMonteCarloContext | None) -> None:
        self.context = value

    def engine_stats(self) -> vorn_core.MonteCarloStats:
        """These statistics as the engine's `MonteCarloStats` record (with the context)."""
        return vorn_core.MonteCarloStats(self.total_runs, self.empirical_success_rate, self.mean_latency_ms,
                                         self.mean_fidelity, self.aggregate_congestion_drops,
                                         self.link_utilization_heatmap, self.context)

    def sensitivity_analysis(self, seed_base: int) -> dict[str, float]:
        """The engine's sensitivity analysis of the stored context
        (`MonteCarloStats.sensitivity_analysis`, unchanged); see
        `vorn.sensitivity` for one with common random numbers and intervals."""
        return self.engine_stats().sensitivity_analysis(seed_base)

    def __repr__(self) -> str:
        from vorn.data import wilson_interval

        low, high = wilson_interval(self.successes, self.total_runs)
        return (f"EnsembleStats(runs={self.total_runs}, success_rate={self.empirical_success_rate:.4f} "
                f"[95 % {low:.4f}, {high:.4f}], mean_latency_ms={self.mean_latency_ms:.3f}, "
                f"mean_fidelity={self.mean_fidelity:.4f}, seed={self.seed}, "
                f"links_used={len(self.link_utilization_heatmap)})")

    def _repr_html_(self) -> str:
        """The fields as a table, for notebooks."""
        from vorn._display import html

        return html(self)


def successes_of(stats: Any, runs: int) -> int:
    """The success count of an engine ensemble of `runs` runs. The engine's
    rate is successes / runs in double precision, which recovers the count
    exactly for any realistic runs (below 2**53)."""
    return round(stats.empirical_success_rate * runs) if runs else 0


def from_engine_stats(stats: vorn_core.MonteCarloStats, seed: int, strategy: str | None) -> EnsembleStats:
    """The engine's record of one call with base seed `seed`."""
    return EnsembleStats(stats.total_runs, successes_of(stats, stats.total_runs), stats.empirical_success_rate,
                         stats.mean_latency_ms, stats.mean_fidelity, stats.aggregate_congestion_drops,
                         dict(stats.link_utilization_heatmap), seed, 1, strategy, stats._context)
