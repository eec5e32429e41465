"""Ensembles, sweeps and comparisons on a two-process Dask cluster give the
numbers of one process; worker failures surface or are survived."""

import os
import signal
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import vorn
import vorn_core
from vorn.comparison import summary_text
from vorn.parallel import run_tasks

distributed = pytest.importorskip("distributed")

CHAIN = vorn.builtin("repeater_chain")
REQUEST = ("N0", "N3", 0.8, 100.0)


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=50, env={"VORN_NUM_THREADS": "1"}) as cluster, distributed.Client(cluster) as dask_client:
        yield dask_client


@pytest.mark.parametrize("runs, chunk_runs, seed, strategy", [
    (20000, 3001, 17, None), (9000, None, 2**64 - 5000, "HighestSuccess"), (7, 2, 0, "LowestLatency"),
    (0, None, 5, None),
])
def test_sharded_ensemble_equals_one_process(client, runs, chunk_runs, seed, strategy):
    merged = vorn.simulate(CHAIN, *REQUEST, runs, seed=seed, strategy=strategy, executor=client,
                           chunk_runs=chunk_runs, progress=False)
    single = CHAIN.simulate(*REQUEST, runs, seed=seed, strategy=strategy)
    assert (merged.total_runs, merged.aggregate_congestion_drops, merged.link_utilization_heatmap) == (
        single.total_runs, single.aggregate_congestion_drops, single.link_utilization_heatmap)
    assert merged.successes == (runs and round(single.empirical_success_rate * runs))
    for name in ("empirical_success_rate", "mean_latency_ms", "mean_fidelity"):
        assert getattr(merged, name) == pytest.approx(getattr(single, name), rel=1e-12, abs=0.0, nan_ok=True)
    assert vorn.to_frame(merged).equals(vorn.to_frame(single))


def test_physical_ensembles_and_sweeps_on_the_cluster_equal_one_process(client):
    model = vorn.PhysicalModel(swap_success=0.9, memory_cutoff_ms=400.0)
    for chunk_runs in (None, 700):
        on_cluster = vorn.simulate_physical(CHAIN, "N0", "N3", 3000, seed=21, model=model, executor=client,
                                            chunk_runs=chunk_runs, progress=False)
        local = vorn.simulate_physical(CHAIN, "N0", "N3", 3000, seed=21, model=model, chunk_runs=chunk_runs,
                                       executor=ThreadPoolExecutor(1), progress=False)
        assert on_cluster == local
    grid = {"from_node": "N0", "to": ["N2", "N3"], "fidelity_target": 0.5, "max_latency_ms": 2000.0}
    assert vorn.sweep(CHAIN, grid, 300, seed=4, executor=client, progress=False, model=model).equals(
        vorn.sweep(CHAIN, grid, 300, seed=4, executor=ThreadPoolExecutor(1), progress=False, model=model))


def test_sweep_and_comparison_equal_local(client):
    grid = {"from_node": "N0", "to": ["N2", "N3"], "fidelity_target": 0.8, "max_latency_ms": [20.0, 100.0]}
    assert vorn.sweep(CHAIN, grid, 300, seed=4, executor=client, progress=False).equals(
        vorn.sweep(CHAIN, grid, 300, seed=4, executor=ThreadPoolExecutor(1), progress=False))
    endpoints = [("repeater_chain", "N0", "N3"), ("hybrid", "Toronto", "London"), ("fiber_only", "A", "E")]
    on_cluster = vorn.compare(endpoints, 0.8, 200.0, 400, seed=9, executor=client, progress=False)
    local = vorn.compare(endpoints, 0.8, 200.0, 400, seed=9, executor=ThreadPoolExecutor(1), progress=False)
    assert vorn.to_dict(on_cluster) == vorn.to_dict(local)
    hybrid = vorn.builtin("hybrid_satellite_fiber").simulate("Toronto", "London", 0.8, 200.0, 400, seed=9 + 400)
    assert on_cluster.results[1].success_rate == hybrid.empirical_success_rate
    # The summary rules are the engine's: rebuild the engine's own summaries.
    report = vorn_core.compare_topologies([vorn_core.TopologyEndpoints(*e) for e in endpoints], 0.8, 200.0, 50)
    assert summary_text(report.results) == report.summary
    with pytest.raises(ValueError, match="Target node 'Z' not found"):
        vorn.compare([("telecom_backbone", "A", "Z")], 0.8, 100.0, 10, executor=client)


def test_worker_exception_keeps_type_and_message(client):
    grid = {"from_node": "N0", "to": "N3", "fidelity_target": ["high"], "max_latency_ms": 10.0}
    with pytest.raises(TypeError) as local:
        CHAIN.simulate("N0", "N3", "high", 10.0, 1, seed=0)
    with pytest.raises(TypeError) as remote:
        vorn.sweep(CHAIN, grid, 5, executor=client, progress=False)
    assert str(remote.value) == str(local.value)


def test_killed_worker_does_not_change_the_result(client):
    arguments = dict(seed=123, chunk_runs=10000, progress=False)
    pids = list(client.run(os.getpid).values())

    def task_states():
        return client.run_on_scheduler(
            lambda dask_scheduler: [ts.state for ts in dask_scheduler.tasks.values()])

    # The kill lands once the first chunks are done and while others are still
    # to run, however fast the chunks are.
    result = {}
    runner = threading.Thread(
        target=lambda: result.update(merged=vorn.simulate(CHAIN, *REQUEST, 1000000, executor=client, **arguments)))
    runner.start()
    while "memory" not in (states := task_states()) and runner.is_alive():
        threading.Event().wait(0.001)
    os.kill(pids[0], signal.SIGKILL)
    runner.join()
    assert sum(state != "memory" for state in states) > 0, "the run ended before the kill"
    assert pids[0] not in client.run(os.getpid).values()
    assert result["merged"] == vorn.simulate(CHAIN, *REQUEST, 1000000, executor=ThreadPoolExecutor(1), **arguments)


def test_ctrl_c_cancels_outstanding_tasks(client):
    caught = threading.Event()

    def press_ctrl_c():  # again if the first one landed where Python drops it (a __del__)
        while not caught.wait(0.3):
            signal.raise_signal(signal.SIGINT)

    presser = threading.Thread(target=press_ctrl_c)
    presser.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            vorn.simulate(CHAIN, *REQUEST, 10**9, seed=1, executor=client, chunk_runs=10**6, progress=False)
    finally:
        caught.set()
        presser.join()
    left = client.run_on_scheduler(lambda dask_scheduler: len(dask_scheduler.tasks))
    for _ in range(10):  # a second; the uncancelled ensemble would run for a minute more
        if left == 0:
            break
        threading.Event().wait(0.1)
        left = client.run_on_scheduler(lambda dask_scheduler: len(dask_scheduler.tasks))
    assert left == 0


def _engine_threads(_):
    return os.environ.get("VORN_NUM_THREADS")


def test_worker_engines_get_their_share_of_the_host_cores():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0",
                                  silence_logs=50) as cluster, distributed.Client(cluster) as own:
        seen = set(run_tasks(_engine_threads, [], [(task,) for task in range(6)], own, False))
    assert seen == {str(max(1, len(os.sched_getaffinity(0)) // 2))}


def test_a_timeout_ends_a_sweep_point_inside_its_dask_worker(client):
    """Dask runs tasks off its workers' main threads: each limited call runs
    in a child process of the worker, which ends it at the limit."""
    import itertools
    import random

    r = random.Random(1)
    mesh = vorn.Network(tuple(vorn.Node(f"N{i}") for i in range(24)), tuple(
        vorn.Link(f"N{i}", f"N{j}", r.uniform(1, 100), r.uniform(0.7, 1.0), r.uniform(100, 1000))
        for i, j in itertools.combinations(range(24), 2)))
    grid = {"from_node": "N0", "to": "N23", "fidelity_target": 0.5, "max_latency_ms": 0.0,
            "strategy": ["HighestFidelity", "HighestSuccess"]}
    with pytest.raises(TimeoutError, match="sweep point 1 from N0 to N23 on a network of 24 nodes and 276 links "
                                           "did not finish within the timeout of 0.5 s: with the HighestSuccess"):
        vorn.sweep(mesh, grid, 1, timeout=0.5, executor=client, progress=False)
    # within the limit the cluster's rows are those of one process
    assert vorn.sweep(CHAIN, {"from_node": "N0", "to": "N3", "fidelity_target": 0.8, "max_latency_ms": 100.0},
                      200, timeout=30.0, executor=client, progress=False).equals(
        vorn.sweep(CHAIN, {"from_node": "N0", "to": "N3", "fidelity_target": 0.8, "max_latency_ms": 100.0},
                   200, executor=vorn.parallel.InlineExecutor(), progress=False))
