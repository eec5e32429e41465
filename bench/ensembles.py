"""Ensemble throughput of the installed vorn_core: runs per second on one
thread, the cost against the bare ChaCha12 keystream of the draws the runs
read, and runs per second by thread count (sensitivity analysis on random
networks is `run.py --only sensitivity`). Prints figures and ratios; asserts
nothing.

    python bench/ensembles.py            # everything
    python bench/ensembles.py --quick    # shorter limits

The keystream ratio comes from the C++ micro benchmark (vorn_perf
keystream_ratio), which runs the ensemble and times the bare kernel for the
same number of keystream words in one process, for every kernel the CPU can
run. It is built here in build/perf when missing (CMake and Ninja needed).
"""
import os
import subprocess
import sys
import time

from timing import best_of

import vorn_core as vc

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# VORN_PERF_BUILD may name an existing build directory configured with
# -DVORN_BUILD_BENCH=ON (for example the unit-test build) to reuse it.
PERF_DIR = os.environ.get("VORN_PERF_BUILD", os.path.join(ROOT, "build", "perf"))

ENSEMBLE_ROWS = [
    ("repeater_chain", "N0", "N3", 0.9, 100.0, 400_000),
    ("repeater_chain", "N0", "N3", 0.9, 5000.0, 40_000),
    ("telecom_backbone", "A", "E", 0.8, 100.0, 400_000),
    ("telecom_backbone", "A", "E", 0.8, 5000.0, 40_000),
]


def engine_for(name):
    payload = vc.generate_topology(name)
    engine = vc.VornEngine()
    engine.define_network(payload.nodes, payload.links)
    return engine


class Threads:
    """Sets VORN_NUM_THREADS for a block (the module reads it on every call)."""

    def __init__(self, value):
        self.value = value

    def __enter__(self):
        self.saved = os.environ.get("VORN_NUM_THREADS")
        if self.value is None:
            os.environ.pop("VORN_NUM_THREADS", None)
        else:
            os.environ["VORN_NUM_THREADS"] = str(self.value)

    def __exit__(self, *exc):
        if self.saved is None:
            os.environ.pop("VORN_NUM_THREADS", None)
        else:
            os.environ["VORN_NUM_THREADS"] = self.saved


def perf_lines():
    """The "ratio" lines of vorn_perf keystream_ratio, building it if needed."""
    binary = os.path.join(PERF_DIR, "vorn_perf")
    try:
        if not os.path.exists(os.path.join(PERF_DIR, "CMakeCache.txt")):
            subprocess.run(["cmake", "-S", ROOT, "-B", PERF_DIR, "-G", "Ninja", "-DVORN_BUILD_BENCH=ON",
                            "-DVORN_BUILD_MODULE=OFF", "-DVORN_BUILD_TESTS=OFF"], check=True, capture_output=True)
        subprocess.run(["cmake", "--build", PERF_DIR, "-j2", "--target", "vorn_perf"], check=True,
                       capture_output=True)
        out = subprocess.run([binary, "--gtest_filter=*keystream_ratio*"], check=True, capture_output=True,
                             text=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"  (C++ micro benchmark unavailable: {error})")
        return []
    return [line.split()[1:] for line in out.splitlines() if line.startswith("ratio ")]


def bench_single_thread():
    print("simulate on one thread (VORN_NUM_THREADS=1, seeded):")
    python_seconds = {}
    with Threads(1):
        for name, source, target, fidelity, budget, runs in ENSEMBLE_ROWS:
            engine = engine_for(name)
            seconds, stats = best_of(3, lambda: engine.simulate(source, target, fidelity, budget, runs, seed=2024))
            python_seconds[(name, budget)] = seconds
            print(f"  {name:<17} {source}->{target} target {fidelity} budget {budget:>6.0f} ms: "
                  f"{runs / seconds:>12,.0f} runs/s  (success rate {stats.empirical_success_rate:.3f}, {runs} runs)")
    print("cost against the bare keystream of the words the runs read (one process per kernel row):")
    print(f"  {'row':<38} {'kernel':<8} {'words/run':>9} {'run_ensemble':>13} {'keystream':>10} "
          f"{'ratio':>6} {'simulate ratio':>15}")
    for fields in perf_lines():
        name, route, fidelity, budget, kernel, runs, words, ensemble_s, stream_s, ratio = fields
        runs, words = int(runs), int(words)
        ensemble_s, stream_s, budget = float(ensemble_s), float(stream_s), float(budget)
        # The same draws timed through Python's simulate (best kernel only:
        # the module always uses the widest one the CPU has).
        py = python_seconds.get((name, budget))
        py_ratio = f"{py / stream_s:>14.2f}x" if py else ""
        label = f"{name} {route} @{fidelity} {budget:.0f} ms"
        print(f"  {label:<38} {kernel:<8} {words / runs:>9.1f} {ensemble_s * 1e3:>10.1f} ms "
              f"{stream_s * 1e3:>7.1f} ms {float(ratio):>5.2f}x {py_ratio}")
    print("  (simulate ratio: Python-level simulate time over the keystream time of that row's kernel;"
          " meaningful for the widest kernel, which the module uses)")


def bench_threads(runs=1_000_000):
    cpus = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count()
    print(f"threads vs runs/s, repeater chain N0->N3 target 0.9 budget 100 ms, {runs:,} runs "
          f"({cpus} CPUs available):")
    engine = engine_for("repeater_chain")
    base = None
    reference = None
    for threads in sorted({1, 2, 3, 4, cpus}):
        walls, cpus_used = [], []
        with Threads(threads):
            for _ in range(3):
                wall_start, cpu_start = time.perf_counter(), time.process_time()
                stats = engine.simulate("N0", "N3", 0.9, 100.0, runs, seed=7)
                walls.append(time.perf_counter() - wall_start)
                cpus_used.append(time.process_time() - cpu_start)
        seconds = min(walls)
        values = (stats.empirical_success_rate, stats.mean_latency_ms, stats.mean_fidelity,
                  stats.aggregate_congestion_drops, stats.link_utilization_heatmap)
        reference = reference or values
        base = base or seconds
        # Cores busy (CPU seconds per wall second) shows how much of the
        # machine the call got: on a busy machine the scheduler may give the
        # process less than its threads ask for. Runs per CPU second shows
        # what the split itself costs.
        print(f"  {threads:>2} threads: {runs / seconds:>12,.0f} runs/s  {base / seconds:5.2f}x  "
              f"cores busy {sum(cpus_used) / sum(walls):4.2f}  "
              f"{3 * runs / sum(cpus_used):>12,.0f} runs per CPU second  "
              f"{'identical' if values == reference else 'DIFFERENT'} statistics")


def main(quick=False):
    bench_single_thread()
    bench_threads(200_000 if quick else 1_000_000)


if __name__ == "__main__":
    main(quick="--quick" in sys.argv)
