"""Route search cost through the module: one `request_entanglement` per call,
with a latency budget too small for any route, so the call is the route
search plus a negligible check. Prints tables; asserts nothing.

    python bench/routes.py [--cap SECONDS] [--networks N] [--success-only]

Networks: connected random geometric networks (each node joined to its three
nearest neighbours in the unit square, plus links joining the components),
with distances 1..100 km, fidelities 0.8..0.99 and rates 100..5000 Hz; for
the record, complete graphs with random values and a 30x30 grid whose links
all carry the same whole-number values. Each call runs in a forked child so
that a call over the cap can be ended; sizes above the first one whose median
exceeds the cap are skipped for that strategy. First, HighestSuccess (a
longest-path search) at fixed sizes with a cap of at most 10 s per call, and
the three strategies on plain chains of 10^4 and 10^5 nodes.
"""
import argparse
import math
import multiprocessing
import random
import statistics
import time

import vorn_core as vc

STRATEGIES = [vc.StrategyType.LowestLatency, vc.StrategyType.HighestFidelity, vc.StrategyType.HighestSuccess]
NAMES = {s.to_u8(): repr(s).split(".")[-1] for s in STRATEGIES}
SIZES = [32, 48, 64, 128, 1000, 10000]
SUCCESS_SIZES = [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 256, 320, 384, 512, 768, 1000]


def random_values(rng):
    return rng.uniform(1.0, 100.0), rng.uniform(0.8, 0.99), rng.uniform(100.0, 5000.0)


def nearest_neighbour_network(n, seed, k=3):
    """Node names and (a, b) pairs: k nearest neighbours, then components joined by nearest pairs."""
    rng = random.Random(seed)
    points = [(rng.random(), rng.random()) for _ in range(n)]
    cells = max(1, int(math.sqrt(n / 2)))
    grid = {}
    for i, (x, y) in enumerate(points):
        grid.setdefault((min(int(x * cells), cells - 1), min(int(y * cells), cells - 1)), []).append(i)

    def nearest(i, count, excluded):
        x, y = points[i]
        cx, cy = min(int(x * cells), cells - 1), min(int(y * cells), cells - 1)
        found, ring = [], 0
        while ring <= cells:
            for gx in range(cx - ring, cx + ring + 1):
                for gy in range(cy - ring, cy + ring + 1):
                    if max(abs(gx - cx), abs(gy - cy)) != ring:
                        continue
                    for j in grid.get((gx, gy), ()):
                        if j != i and not excluded(j):
                            found.append(((points[j][0] - x) ** 2 + (points[j][1] - y) ** 2, j))
            # Every point within distance ring/cells has been seen.
            found.sort()
            if len(found) >= count and found[count - 1][0] <= (ring / cells) ** 2:
                return [j for _, j in found[:count]]
            ring += 1
        return [j for _, j in found[:count]]

    pairs = set()
    for i in range(n):
        for j in nearest(i, k, lambda j: False):
            pairs.add((min(i, j), max(i, j)))
    parent = list(range(n))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    for a, b in pairs:
        parent[root(a)] = root(b)
    while True:
        groups = {}
        for i in range(n):
            groups.setdefault(root(i), []).append(i)
        if len(groups) == 1:
            break
        smallest = min(groups.values(), key=len)
        r = root(smallest[0])
        best = min(((points[i][0] - points[j][0]) ** 2 + (points[i][1] - points[j][1]) ** 2, i, j)
                    for i in smallest for j in nearest(i, 1, lambda j: root(j) == r))
        _, a, b = best
        pairs.add((min(a, b), max(a, b)))
        parent[root(a)] = root(b)
    return n, sorted(pairs)


def random_requests(n, networks):
    """`networks` connected n-node networks, each with random endpoints:
    [(engine, source, target)]."""
    built = []
    for seed in range(networks):
        nodes, pairs = nearest_neighbour_network(n, 1000 * n + seed)
        rng = random.Random(seed)
        source, target = rng.sample(range(nodes), 2)
        built.append((engine_for(nodes, random_links(pairs, seed)), f"N{source}", f"N{target}"))
    return built


def random_links(pairs, seed):
    rng = random.Random(seed)
    return [(f"N{a}", f"N{b}", *random_values(rng)) for a, b in pairs]


def complete_links(n, seed):
    return random_links([(a, b) for a in range(n) for b in range(a + 1, n)], seed)


def grid_links(side):
    links = []
    for r in range(side):
        for c in range(side):
            if c + 1 < side:
                links.append((f"N{r * side + c}", f"N{r * side + c + 1}", 10.0, 1.0, 1000.0))
            if r + 1 < side:
                links.append((f"N{r * side + c}", f"N{(r + 1) * side + c}", 10.0, 1.0, 1000.0))
    return links


def engine_for(n, links):
    engine = vc.VornEngine()
    engine.define_network([vc.NodeDefinition(f"N{i}", 1.0) for i in range(n)],
                          [vc.LinkDefinition(*link) for link in links])
    return engine


def _timed_call(engine, source, target, strategy, connection):
    start = time.perf_counter()
    engine.request_entanglement(source, target, 1e-9, 1e-6, strategy)
    connection.send(time.perf_counter() - start)


def time_call(engine, source, target, strategy, cap):
    """Seconds for one request_entanglement in a forked child, or None past the cap."""
    context = multiprocessing.get_context("fork")
    receiver, sender = context.Pipe(duplex=False)
    child = context.Process(target=_timed_call, args=(engine, source, target, strategy, sender))
    child.start()
    sender.close()
    seconds = receiver.recv() if receiver.poll(cap) else None
    if seconds is None:
        child.kill()
    child.join()
    return seconds


def median_ms(times):
    """Median in ms, counting calls past the cap as infinite; None when the median is past it."""
    median = statistics.median([math.inf if t is None else t for t in times])
    return None if median == math.inf else median * 1000.0


def cell(ms, cap):
    return f">{cap:.0f} s".rjust(11) if ms is None else f"{ms:11.3f}"


def random_networks_table(cap, networks):
    print(f"request_entanglement on connected 3-nearest-neighbour networks, median of {networks} networks (ms):")
    print(f"  {'nodes':>6} " + " ".join(f"{NAMES[s.to_u8()]:>16}" for s in STRATEGIES))
    stopped = set()
    medians = {}
    for n in SIZES:
        built = random_requests(n, networks)
        row = []
        for strategy in STRATEGIES:
            if NAMES[strategy.to_u8()] in stopped:
                row.append("skipped".rjust(16))
                continue
            ms = median_ms([time_call(e, s, t, strategy, cap) for e, s, t in built])
            medians[(NAMES[strategy.to_u8()], n)] = ms
            if ms is None:
                stopped.add(NAMES[strategy.to_u8()])
            row.append(cell(ms, cap).rjust(16))
        print(f"  {n:>6} " + " ".join(row))
    goals = [("LowestLatency", 1000, 5.0), ("LowestLatency", 10000, 50.0), ("HighestFidelity", 1000, 5.0),
             ("HighestFidelity", 10000, 50.0), ("HighestSuccess", 48, 100.0)]
    for name, n, goal in goals:
        ms = medians.get((name, n))
        verdict = "not measured" if ms is None else f"{ms:.3f} ms = {ms / goal:.2f}x the {goal:g} ms goal"
        print(f"  goal {name} at {n} nodes: {verdict}")
    return medians


def highest_success_limit(networks):
    """Largest size whose median HighestSuccess call stays under 1 s (cap 2 s per call)."""
    largest = None
    for n in SUCCESS_SIZES:
        built = random_requests(n, networks)
        times = [time_call(e, s, t, vc.StrategyType.HighestSuccess, 2.0) for e, s, t in built]
        finished = sorted(t for t in times if t is not None)
        median = statistics.median([t if t is not None else math.inf for t in times])
        print(f"  HighestSuccess at {n:>4} nodes: median {cell(None if median == math.inf else median * 1000, 2)} ms"
              f" ({len(finished)} of {networks} under 2 s)")
        if median >= 1.0:
            break
        largest = n
    print(f"  largest size with HighestSuccess median under 1 s: {largest}")


def record_tables(cap):
    print("for the record: complete graphs with random values (ms per call, N0 -> N{n-1}):")
    print(f"  {'nodes':>6} " + " ".join(f"{NAMES[s.to_u8()]:>16}" for s in STRATEGIES))
    for n in range(10, 15):
        engine = engine_for(n, complete_links(n, n))
        row = [cell(median_ms([time_call(engine, "N0", f"N{n - 1}", s, cap)]), cap).rjust(16) for s in STRATEGIES]
        print(f"  {n:>6} " + " ".join(row))
    side = 30
    engine = engine_for(side * side, grid_links(side))
    row = [cell(median_ms([time_call(engine, "N0", f"N{side * side - 1}", s, cap)]), cap).rjust(16)
           for s in STRATEGIES]
    print("  30x30 grid, equal whole-number values, corner to corner: " + " ".join(row))


def chain_links(n, seed):
    return random_links([(i, i + 1) for i in range(n - 1)], seed)


def highest_success_table(cap, networks):
    """The HighestSuccess sizes the route search is measured at."""
    print(f"HighestSuccess, median of {networks} 3-nearest-neighbour networks (ms per call, cap {cap:g} s):")
    for n in [64, 128, 160, 256, 384, 512, 1000]:
        built = random_requests(n, networks)
        times = [time_call(e, s, t, vc.StrategyType.HighestSuccess, cap) for e, s, t in built]
        done = sum(t is not None for t in times)
        print(f"  {n:>6} nodes: {cell(median_ms(times), cap)}  ({done} of {networks} under the cap)", flush=True)
    print("HighestSuccess on complete graphs with random values, N0 -> N{n-1} (ms):")
    for n in [12, 14, 16, 17, 18]:
        engine = engine_for(n, complete_links(n, n))
        seconds = time_call(engine, "N0", f"N{n - 1}", vc.StrategyType.HighestSuccess, cap)
        print(f"  {n:>6} nodes: {cell(median_ms([seconds]), cap)}", flush=True)
    print("a plain chain with random values, end to end (ms):")
    print(f"  {'nodes':>6} " + " ".join(f"{NAMES[s.to_u8()]:>16}" for s in STRATEGIES))
    for n in [10**4, 10**5]:
        engine = engine_for(n, chain_links(n, n))
        row = [cell(median_ms([time_call(engine, "N0", f"N{n - 1}", s, cap)]), cap).rjust(16) for s in STRATEGIES]
        print(f"  {n:>6} " + " ".join(row), flush=True)


def main(cap=60.0, networks=5, success_only=False):
    highest_success_table(min(cap, 10.0), networks)
    if success_only:
        return
    random_networks_table(cap, networks)
    highest_success_limit(networks)
    record_tables(cap)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cap", type=float, default=60.0, help="seconds allowed per call")
    parser.add_argument("--networks", type=int, default=5, help="networks per size")
    parser.add_argument("--success-only", action="store_true", help="only the HighestSuccess sizes")
    arguments = parser.parse_args()
    main(arguments.cap, arguments.networks, arguments.success_only)
