"""The physical model's 4-segment chain beside a peer simulator from PyPI
(`pip install ".[bench]"`): delivered end-to-end pairs per wall-clock second
in each, and their ratio. Prints figures; asserts nothing.

    python bench/peers.py            # 20 s and 200 s of simulated time in the peer
    python bench/peers.py --quick    # a tenth of that

The chain: 5 nodes, 4 hops of 25 km (0.125 ms of fiber each), a photon
source of 1 kHz per hop, pairs of F = 0.99, hop success p = 0.5 and 1e-3.

The peer (the `qns` package) runs its own entanglement-distribution
application on a line topology, each hop losing a photon with probability
1 - p. Its protocol is not this model's: it sends pairs hop by hop at the
source rate and delivers when they come through, without per-hop retries
into memories that wait for each other, so it delivers fewer pairs per
simulated second; the figure compared is the work each simulator gets done
per second of wall time, counted in delivered pairs. `sequence` is not
compared here yet.
"""
import math
import os
import sys
import time

import vorn_core as vc

HOPS, KM, RATE_HZ, FIDELITY = 4, 25.0, 1000.0, 0.99


def vorn_pairs_per_second(p, runs):
    nodes = [vc.NodeDefinition(f"N{i}", 1.0) for i in range(HOPS + 1)]
    links = [vc.LinkDefinition(f"N{i}", f"N{i + 1}", KM, FIDELITY, RATE_HZ) for i in range(HOPS)]
    efficiency = p / 10 ** (-0.2 * KM / 10)
    os.environ["VORN_NUM_THREADS"] = "1"
    start = time.perf_counter()
    stats = vc.simulate_physical(nodes, links, "N0", f"N{HOPS}", runs, 1, 0.0, math.inf, 0.2, efficiency, 1.0,
                                 200.0, 30.0)
    return stats.delivered / (time.perf_counter() - start)


def qns_pairs_per_second(p, simulated_s):
    from qns.network.network import QuantumNetwork
    from qns.network.protocol.entanglement_distribution import EntanglementDistributionApp
    from qns.network.route.dijkstra import DijkstraRouteAlgorithm
    from qns.network.topology import LineTopology
    from qns.network.topology.topo import ClassicTopology
    from qns.simulator.simulator import Simulator

    delay_s = KM / 200.0 / 1000.0
    simulator = Simulator(0, simulated_s, accuracy=1_000_000)
    topology = LineTopology(nodes_number=HOPS + 1, qchannel_args={"delay": delay_s, "drop_rate": 1 - p},
                            cchannel_args={"delay": delay_s}, memory_args=[{"capacity": 50}],
                            nodes_apps=[EntanglementDistributionApp(init_fidelity=FIDELITY)])
    network = QuantumNetwork(topo=topology, classic_topo=ClassicTopology.All, route=DijkstraRouteAlgorithm())
    network.build_route()
    source, target = network.get_node("n1"), network.get_node(f"n{HOPS + 1}")
    network.add_request(src=source, dest=target, attr={"send_rate": int(RATE_HZ)})
    network.install(simulator)
    start = time.perf_counter()
    simulator.run()
    wall = time.perf_counter() - start
    delivered = sum(app.success_count for app in target.apps if isinstance(app, EntanglementDistributionApp))
    return delivered, wall


def main():
    quick = "--quick" in sys.argv
    try:
        import qns  # noqa: F401
    except ImportError:
        print('the peer simulator is not installed: pip install ".[bench]"')
        return
    print(f"{HOPS}-segment chain, one thread each")
    print(f"{'p':>6} {'vorn pairs/s':>14} {'qns pairs':>10} {'qns wall s':>11} {'qns pairs/s':>12} {'ratio':>10}")
    for p, simulated_s in ((0.5, 20.0), (1e-3, 200.0)):
        ours = vorn_pairs_per_second(p, 200_000 if quick else 2_000_000)
        delivered, wall = qns_pairs_per_second(p, simulated_s / 10 if quick else simulated_s)
        theirs = delivered / wall
        ratio = f"{ours / theirs:>9,.0f}x" if delivered else "  (none)"
        print(f"{p:>6g} {ours:>14,.0f} {delivered:>10} {wall:>11.2f} {theirs:>12,.1f} {ratio}")


if __name__ == "__main__":
    main()
