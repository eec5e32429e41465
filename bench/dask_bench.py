"""Sharded ensembles on one process and on a two-worker Dask LocalCluster:
runs/s for one large seeded ensemble, the speed-up, and the scheduling
overhead per task. Prints figures; asserts nothing but equal counts.

    python bench/dask_bench.py [runs]      # default 10**7 runs
"""
import os
import sys
import time
from concurrent.futures import ProcessPoolExecutor

import distributed

import vorn
from vorn.ensemble import _run_chunk
from vorn.parallel import one_engine_thread, run_tasks, worker_initializer

REQUEST = ("N0", "N3", 0.8, 100.0)
SEED = 2024


def timed(action):
    start = time.perf_counter()
    result = action()
    return time.perf_counter() - start, result


def main(runs=10**7):
    network = vorn.builtin("repeater_chain")
    print(f"machine: {os.cpu_count()} CPUs, load average {os.getloadavg()[0]:.1f}")
    print(f"ensemble of {runs:,} runs, repeater_chain N0->N3, target 0.8, budget 100 ms, seed {SEED}:")
    # The fair baseline for two single-threaded workers is one process on
    # one thread; the threaded row shows what one process gets from every core.
    with one_engine_thread():
        one_s, one = timed(lambda: network.simulate(*REQUEST, runs, seed=SEED, store_context=False))
    print(f"  {'1 process, 1 thread':<38}{runs / one_s:>12,.0f} runs/s  ({one_s:.2f} s)")
    threaded_s, threaded = timed(lambda: network.simulate(*REQUEST, runs, seed=SEED, store_context=False))
    print(f"  {'1 process, every core':<38}{runs / threaded_s:>12,.0f} runs/s  ({threaded_s:.2f} s, "
          f"x{one_s / threaded_s:.2f})")
    assert threaded.mean_latency_ms == one.mean_latency_ms
    with ProcessPoolExecutor(2, initializer=worker_initializer) as pool:
        pool_s, pooled = timed(lambda: vorn.simulate(network, *REQUEST, runs, seed=SEED, executor=pool,
                                                     progress=False))
    print(f"  {'2-process pool (vorn.simulate)':<38}{runs / pool_s:>12,.0f} runs/s  ({pool_s:.2f} s, "
          f"{pooled.chunks} chunks, x{one_s / pool_s:.2f})")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=50, env={"VORN_NUM_THREADS": "1"}) as cluster, \
            distributed.Client(cluster) as client:
        vorn.simulate(network, *REQUEST, 1000, seed=SEED, executor=client, chunk_runs=500, progress=False)  # warm
        dask_s, merged = timed(lambda: vorn.simulate(network, *REQUEST, runs, seed=SEED, executor=client,
                                                     progress=False))
        print(f"  {'2-worker LocalCluster (vorn.simulate)':<38}{runs / dask_s:>12,.0f} runs/s  ({dask_s:.2f} s, "
              f"{merged.chunks} chunks, x{one_s / dask_s:.2f})")
        assert merged.successes == round(one.empirical_success_rate * runs) == pooled.successes
        assert merged.link_utilization_heatmap == one.link_utilization_heatmap
        print(f"  mean latency relative difference to 1 process: "
              f"{abs(merged.mean_latency_ms / one.mean_latency_ms - 1):.1e}, "
              f"mean fidelity: {abs(merged.mean_fidelity / one.mean_fidelity - 1):.1e}")
        tasks = 2000
        request = REQUEST + (None,)
        empty_s, _ = timed(lambda: run_tasks(_run_chunk, [network, request], [(0, 0, SEED)] * tasks, client,
                                             False))
        print(f"  scheduling overhead: {empty_s / tasks * 1e3:.2f} ms per task "
              f"({tasks} empty tasks on 2 workers in {empty_s:.2f} s)")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 10**7)
