"""Figures for the pictures and the command line: node layout and drawing time
by network size, the cost of placing validation findings in a large file
against the engine's own validation, and the start-up time of `vorn`.
Prints figures and ratios; asserts nothing.

    python bench/pictures_cli.py
"""
import os
import random
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
from timing import best_of

import vorn  # noqa: E402
import vorn_core as vc  # noqa: E402
from vorn._layout import stress_layout  # noqa: E402
from vorn.plot import plot_network  # noqa: E402


def random_network(nodes, seed=3):
    """A connected network with about three links per node."""
    rng = random.Random(seed)
    ids = [f"n{i}" for i in range(nodes)]
    links = [vorn.Link(ids[i - 1], ids[i], 50.0, 0.95, 1000.0) for i in range(1, nodes)]
    for _ in range(nodes // 2):
        a, b = rng.sample(ids, 2)
        links.append(vorn.Link(a, b, rng.uniform(10, 500), 0.95, 1000.0))
    return vorn.Network(tuple(vorn.Node(i) for i in ids), tuple(links))


def bench_layout():
    print("stress layout and plot_network (Agg, 80 dpi PNG):")
    for nodes in (10, 50, 200, 500):
        net = random_network(nodes)
        edges = [(link.from_node, link.to) for link in net.links]
        layout_s, _ = best_of(3, lambda: stress_layout(net.node_ids(), edges))
        heat = {f"{link.from_node}->{link.to}": i for i, link in enumerate(net.links)}

        def draw():
            ax = plot_network(net, heat)
            with tempfile.TemporaryFile() as out:
                ax.figure.savefig(out, dpi=80)
            plt.close(ax.figure)

        draw_s, _ = best_of(3, draw)
        print(f"  {nodes:>4} nodes {len(net.links):>4} links: layout {layout_s * 1000:8.1f} ms, "
              f"whole picture {draw_s * 1000:8.1f} ms")


def bench_validate_positions():
    rng = random.Random(5)
    nodes, links = 10_000, 30_000
    qf = vc.VornFile("bench")
    for i in range(nodes):
        qf.add_node(f"n{i}", 100.0)
    for i in range(1, nodes):
        qf.add_link(f"l{i}", f"n{i - 1}", f"n{i}", 10.0, 0.95, 1000.0)
    for i in range(nodes, links + 1):  # every tenth extra link is broken
        a, b = rng.sample(range(nodes), 2)
        qf.add_link(f"l{i}", f"n{a}", f"n{b}", -1.0 if i % 10 == 0 else 50.0, 0.9, 800.0)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "big.vorn")
        qf.save(path)
        engine_s, report = best_of(3, lambda: vc.validate(path))
        placed_s, placed = best_of(3, lambda: vc.validate_with_positions(path))
        size = os.path.getsize(path)
        findings = len(report["errors"])
        print(f"vorn validate on a {nodes:,}-node, {links:,}-link file ({size / 1e6:.1f} MB, {findings:,} findings, "
              f"{len(placed['errors']):,} placed):")
        print(f"  validate {engine_s * 1000:7.1f} ms, validate_with_positions {placed_s * 1000:7.1f} ms "
              f"(ratio {placed_s / engine_s:.2f}x)")


def bench_startup():
    seconds, _ = best_of(3, lambda: subprocess.run([sys.executable, "-m", "vorn.cli", "--help"],
                                                   capture_output=True, check=True))
    import_s, _ = best_of(3, lambda: subprocess.run([sys.executable, "-c", "import vorn"],
                                                    capture_output=True, check=True))
    print(f"start-up: vorn --help {seconds * 1000:.0f} ms, import vorn {import_s * 1000:.0f} ms")


if __name__ == "__main__":
    bench_layout()
    bench_validate_positions()
    bench_startup()
