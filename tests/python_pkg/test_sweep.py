"""Sweeps: the seed layout, variations, and identical frames on any executor."""

from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor

import pytest
from hypothesis import given
from hypothesis import strategies as st

import vorn
from vorn.parallel import worker_initializer
from vorn.sweep import sweep

GRID = {"from_node": "A", "to": ["E", "F"], "fidelity_target": [0.8, 0.9], "max_latency_ms": [50.0, 400.0],
        "strategy": ["HighestFidelity", "HighestSuccess"]}


@pytest.fixture(scope="module")
def net():
    return vorn.builtin("telecom_backbone")


def test_rows_are_the_seeded_ensembles(net):
    frame = sweep(net, GRID, runs=40, seed=7, executor=ThreadPoolExecutor(2), progress=False)
    assert len(frame) == 16 and list(frame["seed"]) == [7 + 40 * k for k in range(16)]
    for _, row in frame.iloc[[0, 5, 15]].iterrows():
        stats = net.simulate(row["from_node"], row["to"], row["fidelity_target"], row["max_latency_ms"], 40,
                             seed=row["seed"], strategy=row["strategy"])
        assert (row["success_rate"], row["mean_latency_ms"], row["mean_fidelity"], row["drops"]) == (
            stats.empirical_success_rate, stats.mean_latency_ms, stats.mean_fidelity,
            stats.aggregate_congestion_drops)
        assert row["ci_low"] <= row["success_rate"] <= row["ci_high"]


def test_two_processes_equal_one(net):
    with ProcessPoolExecutor(2, initializer=worker_initializer) as pool:
        two = sweep(net, GRID, runs=60, seed=3, executor=pool, progress=True)
    one = sweep(net, GRID, runs=60, seed=3, executor=ProcessPoolExecutor(1), progress=False)
    default = sweep(net, GRID, runs=60, seed=3, progress=False)
    assert two.equals(one) and two.equals(default)


def test_variations(net):
    variations = {"as is": lambda n: n, "longer": {"distance_km": 1.5}}
    frame = sweep(net, [{"from_node": "A", "to": "E", "fidelity_target": 0.85, "max_latency_ms": 300.0}],
                  runs=200, seed=0, variations=variations, executor=ThreadPoolExecutor(1), progress=False)
    assert list(frame["variation"]) == ["as is", "longer"] and list(frame["seed"]) == [0, 200]
    longer = net.scaled({"distance_km": 1.5}).simulate("A", "E", 0.85, 300.0, 200, seed=200)
    assert frame["success_rate"][1] == longer.empirical_success_rate
    with pytest.raises(ValueError, match="unknown sweep parameter"):
        sweep(net, {"source": "A"}, runs=1)
    with pytest.raises(ValueError, match="unknown strategy"):
        sweep(net, dict(GRID, strategy="Fast"), runs=1)
    for call in (lambda: sweep(net, GRID, runs=1, seed=-1), lambda: vorn.simulate(net, "A", "E", 0.8, 9.0, 2**64),
                 lambda: vorn.compare([], 0.8, 9.0, 5, seed=2**64)):
        with pytest.raises(OverflowError):
            call()


@given(rate=st.floats(1.0, 1e8), remaining=st.integers(0, 10**10), workers=st.integers(1, 512))
def test_default_chunks_keep_every_worker_busy_without_tiny_tasks(rate, remaining, workers):
    from vorn.ensemble import CHUNKS_PER_WORKER, MIN_CHUNK_SECONDS, TARGET_CHUNK_SECONDS, default_chunk_runs

    chunk = default_chunk_runs(rate, remaining, workers)
    assert max(1, int(rate * MIN_CHUNK_SECONDS)) <= chunk <= max(1, int(rate * TARGET_CHUNK_SECONDS))
    if chunk > int(rate * MIN_CHUNK_SECONDS) and remaining >= CHUNKS_PER_WORKER * workers:
        assert -(-remaining // chunk) >= workers  # not held up by the floor: no worker idles
