"""Route search on real backbones: the Topology Zoo and SNDlib collections of
the `topohub` package (`pip install ".[bench]"`). For every network, the pair
of nodes farthest apart in hops (the first such pair in node order), one
`request_entanglement` per strategy with a latency budget too small for any
route, so the call is the route search. Links get random fidelities
(0.8..0.99) and rates (100..5000 Hz), seeded per network; distances are the
collection's. Each call runs in a forked child and is ended past the cap.
Prints per strategy how many calls finished under 1 s, the median and the
slowest, and the networks over 1 s; asserts nothing.

    python bench/backbones.py [--cap SECONDS] [--collections topozoo sndlib]
"""
import argparse
import collections
import os
import random
import statistics

import topohub
from routes import NAMES, STRATEGIES, cell, time_call

import vorn_core as vc


def network_names(collection):
    folder = os.path.join(os.path.dirname(topohub.__file__), "data", collection)
    return sorted(name[:-5] for name in os.listdir(folder) if name.endswith(".json"))


def farthest_pair(nodes, adjacency):
    """The first pair in node order with the most hops between them."""
    best = (-1, None, None)
    for source in nodes:
        hops = {source: 0}
        queue = collections.deque([source])
        while queue:
            x = queue.popleft()
            for y in adjacency[x]:
                if y not in hops:
                    hops[y] = hops[x] + 1
                    queue.append(y)
        far = max(hops, key=lambda node: (hops[node], -nodes.index(node)))
        if hops[far] > best[0]:
            best = (hops[far], source, far)
    return best[1], best[2]


def backbone_engine(topology, seed):
    rng = random.Random(seed)
    nodes = [f"V{node['id']}" for node in topology["nodes"]]
    links, adjacency = [], {node: set() for node in nodes}
    for edge in topology["edges"]:
        a, b = f"V{edge['source']}", f"V{edge['target']}"
        if a == b:
            continue
        links.append(vc.LinkDefinition(a, b, float(edge.get("dist", 1.0)), rng.uniform(0.8, 0.99),
                                       rng.uniform(100.0, 5000.0)))
        adjacency[a].add(b)
        adjacency[b].add(a)
    engine = vc.VornEngine()
    engine.define_network([vc.NodeDefinition(node, 1.0) for node in nodes], links)
    return engine, nodes, adjacency, len(links)


def main(cap, collections_to_run):
    times = {NAMES[s.to_u8()]: [] for s in STRATEGIES}
    slow = []
    for collection in collections_to_run:
        for seed, name in enumerate(network_names(collection)):
            topology = topohub.get(f"{collection}/{name}")
            engine, nodes, adjacency, link_count = backbone_engine(topology, seed)
            source, target = farthest_pair(nodes, adjacency)
            for strategy in STRATEGIES:
                seconds = time_call(engine, source, target, strategy, cap)
                times[NAMES[strategy.to_u8()]].append(seconds)
                if seconds is None or seconds >= 1.0:
                    slow.append(f"{collection}/{name} ({len(nodes)} nodes, {link_count} links) "
                                f"{NAMES[strategy.to_u8()]}: "
                                f"{cell(None if seconds is None else seconds * 1e3, cap)} ms")
    print(f"farthest-pair requests on {', '.join(collections_to_run)} (cap {cap:g} s per call):")
    for strategy, found in times.items():
        done = [t for t in found if t is not None]
        under = sum(t < 1.0 for t in done)
        median = statistics.median([t if t is not None else float("inf") for t in found])
        print(f"  {strategy:>16}: {under} of {len(found)} under 1 s, median {median * 1e3:.3f} ms, "
              f"slowest {'over the cap' if len(done) < len(found) else f'{max(done) * 1e3:.1f} ms'}")
    for line in slow:
        print("  over 1 s: " + line)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cap", type=float, default=5.0, help="seconds allowed per call")
    parser.add_argument("--collections", nargs="+", default=["topozoo", "sndlib"])
    arguments = parser.parse_args()
    main(arguments.cap, arguments.collections)
