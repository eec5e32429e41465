"""Secret key rate against total distance for repeater chains of equal
segments, on the physical model, with the repeaterless bound of a direct
link of the same length."""

from __future__ import annotations

import math
from collections.abc import Iterable, Sequence
from typing import TYPE_CHECKING, Any

from vorn._optional import require
from vorn.network import Link, Network, Node
from vorn.physical import PhysicalModel, simulate_physical

if TYPE_CHECKING:
    import pandas

__all__ = ["rate_vs_distance", "equal_segment_chain", "repeaterless_bound_bps"]

COLUMNS = ["distance_km", "segments", "secret_key_rate_bps", "pairs_per_second", "mean_fidelity", "mean_qber",
           "delivered", "runs", "repeaterless_bound_bps"]


def equal_segment_chain(distance_km: float, segments: int, fidelity: float, generation_rate_hz: float,
                        memory_lifetime_t2_s: float) -> Network:
    """Nodes R0 .. R<segments> joined in a line by equal fiber links."""
    nodes = [Node(f"R{i}", memory_lifetime_t2_s) for i in range(segments + 1)]
    links = [Link(f"R{i}", f"R{i + 1}", distance_km / segments, fidelity, generation_rate_hz)
             for i in range(segments)]
    return Network(tuple(nodes), tuple(links))


def repeaterless_bound_bps(distance_km: float, model: PhysicalModel, generation_rate_hz: float) -> float:
    """-log2(1 - eta) bits per attempt of a direct fiber link of that length,
    eta = 10^(-attenuation x distance / 10) its transmissivity, times its
    attempts per second 1000 / max(1000 / rate, distance / speed)."""
    eta = 10.0 ** (-model.attenuation_db_km * distance_km / 10.0)
    attempt_ms = max(1000.0 / generation_rate_hz, distance_km / model.speed_km_ms)
    return -math.log2(1.0 - eta) * 1000.0 / attempt_ms if eta < 1.0 else math.inf


def rate_vs_distance(distances_km: Iterable[float], segments: Sequence[int] = (1, 2, 4, 8), *,
                     model: PhysicalModel = PhysicalModel(), fidelity: float = 0.99,
                     generation_rate_hz: float = 1000.0, memory_lifetime_t2_s: float = 1.0, runs: int = 20_000,
                     seed: int = 0, executor: Any = None) -> pandas.DataFrame:
    """One row per (distance, number of segments): the physical model's secret
    key rate (bits/s), delivered pairs per second, mean fidelity and QBER of a
    chain of equal segments from end to end, and the repeaterless bound of a
    direct link of the same length. Every point is a seeded ensemble of
    `runs` runs (seed `seed` for all, so the curves share their randomness)."""
    pd = require("pandas", "frames")
    rows: list[dict[str, Any]] = []
    for distance in distances_km:
        bound = repeaterless_bound_bps(distance, model, generation_rate_hz)
        for count in segments:
            network = equal_segment_chain(distance, count, fidelity, generation_rate_hz, memory_lifetime_t2_s)
            stats = simulate_physical(network, "R0", f"R{count}", runs, seed=seed, model=model, executor=executor)
            rows.append({"distance_km": float(distance), "segments": count,
                         "secret_key_rate_bps": stats.secret_key_rate_bps,
                         "pairs_per_second": stats.pairs_per_second, "mean_fidelity": stats.mean_fidelity,
                         "mean_qber": stats.mean_qber, "delivered": stats.delivered, "runs": runs,
                         "repeaterless_bound_bps": bound})
    frame: pandas.DataFrame = pd.DataFrame(rows, columns=COLUMNS)
    return frame
