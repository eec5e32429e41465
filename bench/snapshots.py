"""Topology snapshots on a large network: the snapshot as an object against the
file round trip it replaces, and a diff of the two. Prints figures and ratios;
asserts nothing.

    python bench/snapshots.py
"""
import os
import random
import tempfile

from timing import best_of

import vorn_core as vc


def large_engine(nodes, links):
    rng = random.Random(5)
    engine = vc.VornEngine()
    engine.define_network(
        [vc.NodeDefinition(f"n{i}", rng.uniform(0.1, 10.0)) for i in range(nodes)],
        [vc.LinkDefinition(f"n{rng.randrange(nodes)}", f"n{rng.randrange(nodes)}", rng.uniform(1, 500),
                           rng.uniform(0.8, 1.0), rng.uniform(10, 5000)) for _ in range(links)])
    return engine


def main():
    for nodes, links in [(1000, 4000), (20000, 80000)]:
        engine = large_engine(nodes, links)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "snapshot.json")
            snap_s, snapshot = best_of(3, lambda: vc.snapshot_topology(engine))
            save_s, _ = best_of(3, lambda: vc.save_topology(engine, path))
            read_s, stored = best_of(3, lambda: vc.read_topology(path))
            load_s, _ = best_of(3, lambda: vc.load_topology(vc.VornEngine(), path))
            diff_s, delta = best_of(3, lambda: vc.diff_topologies(snapshot, stored))
            size = os.path.getsize(path)
        print(f"{nodes} nodes, {links} links ({size / 1e6:.1f} MB file):")
        print(f"  snapshot_topology {snap_s * 1e3:8.1f} ms   save_topology {save_s * 1e3:8.1f} ms   "
              f"read_topology {read_s * 1e3:8.1f} ms   load_topology {load_s * 1e3:8.1f} ms")
        print(f"  diff_topologies   {diff_s * 1e3:8.1f} ms   ({len(delta.links_modified)} links modified)")
        print(f"  ratio save+read / snapshot: {(save_s + read_s) / snap_s:.1f}x")


if __name__ == "__main__":
    main()
