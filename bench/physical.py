"""Physical-model throughput of the installed vorn_core: runs per second of a
4-segment repeater chain (25 km hops, T2 = 1 s) with per-hop success
probability p = 1e-3 and p = 0.5, on 1 and 2 threads, with the swap-asap
closed path (no cutoff, swaps that cannot fail) and with the event
simulation (a cutoff and unreliable swaps). Checks that the seeded totals do
not depend on the thread count; prints figures, asserts nothing else. The
process's CPU time is printed as well: on a machine shared with other jobs
the threads may not get a core each, and runs per CPU-second then still show
whether the threads cost anything beyond their share. Beside them, the same
ensemble in two processes of one thread each at the same time: what two
cores give this workload with nothing shared, the limit for the 2-thread
ratio on the machine at hand.

    python bench/physical.py            # 4 M runs per figure
    python bench/physical.py --quick    # 1 M
"""
import math
import multiprocessing
import os
import resource
import sys
import time

import vorn_core as vc

HOPS, KM = 4, 25.0
NODES = [vc.NodeDefinition(f"N{i}", 1.0) for i in range(HOPS + 1)]
LINKS = [vc.LinkDefinition(f"N{i}", f"N{i + 1}", KM, 0.95, 1000.0) for i in range(HOPS)]


def ensemble(runs, p, threads, swap_success=1.0, cutoff_ms=None):
    os.environ["VORN_NUM_THREADS"] = str(threads)
    efficiency = p / 10 ** (-0.2 * KM / 10)
    return vc.simulate_physical(NODES, LINKS, "N0", f"N{HOPS}", runs, 12345, 0.0, math.inf, 0.2, efficiency,
                                swap_success, 200.0, 30.0, None, cutoff_ms)


def totals(stats):
    return (stats.delivered, stats.delivery_ms_sum, stats.fidelity_sum, stats.elapsed_ms_sum,
            dict(stats.attempts_per_link), dict(stats.delivery_histogram))


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def timed(repeats, action):
    """The fastest of `repeats` runs of `action()`: wall seconds, CPU seconds, result."""
    best = (math.inf, math.inf, None)
    for _ in range(repeats):
        wall, cpu = time.perf_counter(), cpu_seconds()
        result = action()
        wall, cpu = time.perf_counter() - wall, cpu_seconds() - cpu
        if wall < best[0]:
            best = (wall, cpu, result)
    return best


def _process_share(barrier, runs, p, swap, cutoff):
    barrier.wait()
    ensemble(runs, p, 1, swap, cutoff)


def two_processes(runs, p, swap, cutoff):
    """Wall seconds for two processes that each run the ensemble on one
    thread at the same time: what two cores give this workload with nothing
    shared, the limit for two threads in one process."""
    context = multiprocessing.get_context("fork")
    barrier = context.Barrier(3)
    children = [context.Process(target=_process_share, args=(barrier, runs, p, swap, cutoff)) for _ in range(2)]
    for child in children:
        child.start()
    barrier.wait()
    start = time.perf_counter()
    for child in children:
        child.join()
    return time.perf_counter() - start


def main():
    runs = 1_000_000 if "--quick" in sys.argv else 4_000_000
    saved = os.environ.get("VORN_NUM_THREADS")
    print(f"{HOPS}-segment chain, {runs:,} runs per figure (best of 3)")
    print(f"{'case':34} {'1 thread':>14} {'2 threads':>14} {'ratio':>7} {'2 processes':>12} "
          f"{'2 threads per CPU-s':>20}  identical")
    for label, p, swap, cutoff in [("p = 1e-3", 1e-3, 1.0, None), ("p = 0.5", 0.5, 1.0, None),
                                   ("p = 1e-3, swaps 0.9, cutoff 5 s", 1e-3, 0.9, 5000.0),
                                   ("p = 0.5, swaps 0.9, cutoff 5 ms", 0.5, 0.9, 5.0)]:
        one_s, _, one = timed(3, lambda: ensemble(runs, p, 1, swap, cutoff))
        two_s, two_cpu, two = timed(3, lambda: ensemble(runs, p, 2, swap, cutoff))
        # Two processes run 2 x runs in this time: their ratio to one thread.
        apart_s = min(two_processes(runs, p, swap, cutoff) for _ in range(3))
        print(f"{label:34} {runs / one_s:>12,.0f}/s {runs / two_s:>12,.0f}/s {one_s / two_s:>6.2f}x "
              f"{2 * one_s / apart_s:>11.2f}x {runs / two_cpu:>18,.0f}/s  {totals(one) == totals(two)}")
    if saved is None:
        os.environ.pop("VORN_NUM_THREADS", None)
    else:
        os.environ["VORN_NUM_THREADS"] = saved


if __name__ == "__main__":
    main()
