"""Build a network in networkx, run a request on it and draw it.

    python examples/networkx_network.py [--small] [--out networkx_network.png]

Edges carry the link attributes distance_km, base_fidelity and
generation_rate_hz (link_type and the satellite factors are optional); nodes
may carry memory_lifetime_t2_s. The graph's edge orientation and order become
the link order, which matters: a hop always uses the first link joining its
two nodes.
"""
import argparse

import matplotlib.pyplot as plt
import networkx as nx

import vorn
from vorn.plot import plot_network


def metro_graph() -> "nx.MultiDiGraph[str]":
    graph: nx.MultiDiGraph[str] = nx.MultiDiGraph()
    ring = ["Nord", "Ost", "Sued", "West"]
    for name in ring + ["Hub", "Remote"]:
        graph.add_node(name, memory_lifetime_t2_s=1.5)
    for a, b in zip(ring, ring[1:] + ring[:1]):  # a metro ring of 20 km spans
        graph.add_edge(a, b, distance_km=20.0, base_fidelity=0.97, generation_rate_hz=1500.0)
    for name in ring:  # spokes to a central switch
        graph.add_edge("Hub", name, distance_km=12.0, base_fidelity=0.95, generation_rate_hz=1800.0)
    graph.add_edge("Ost", "Remote", distance_km=400.0, base_fidelity=0.9, generation_rate_hz=300.0)
    graph.add_edge("Nord", "Remote", distance_km=1500.0, base_fidelity=0.98, generation_rate_hz=40.0,
                   link_type="Satellite", satellite_visibility=0.9, satellite_weather_factor=0.95)
    return graph


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--small", action="store_true", help="tiny sizes (for tests)")
    parser.add_argument("--out", default="networkx_network.png", help="PNG to write")
    args = parser.parse_args()

    network = vorn.from_networkx(metro_graph())
    print(network)
    runs = 100 if args.small else 5000
    # LowestLatency takes the 1520 km satellite route over the 440 km fiber
    # route: each hop is scored with the first link touching its far node, and
    # the first link touching Nord is the 20 km Nord-Ost span.
    for strategy in ("LowestLatency", "HighestFidelity", "HighestSuccess"):
        stats = network.simulate("West", "Remote", 0.85, 200.0, runs, seed=11, strategy=strategy)
        route = network.request("West", "Remote", 0.85, 0.0, strategy).execution_path
        print(f"{strategy:<16} success rate {stats.empirical_success_rate:.3f}  "
              f"mean latency {stats.mean_latency_ms:7.2f} ms  route {' -> '.join(route)}")
    # The network survives a round trip through networkx unchanged.
    assert vorn.from_networkx(network.to_networkx()) == network

    stats = network.simulate("West", "Remote", 0.85, 200.0, runs, seed=11, strategy="HighestSuccess")
    figure, ax = plt.subplots()
    plot_network(network, stats, ax=ax, title=f"West -> Remote, HighestSuccess, {runs} runs")
    figure.savefig(args.out, dpi=80, bbox_inches="tight")
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
