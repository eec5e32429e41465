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
per second of wall time, counted in delivered pairs.

The second peer (`sequence`) is built as quantum routers joined by
meet-in-the-middle links, a memory frequency of 1 kHz, memory fidelity 0.99,
fiber loss off and memory efficiency sqrt(p); its protocol reserves memories
end to end first, then generates with its own two-round heralding and swaps
by a swap schedule. Its setup does not run yet (its reservation protocol
rejects a request that starts within the signalling time); the script then
prints why for that peer and goes on with qns.
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


def sequence_pairs_per_second(p, simulated_s):
    """The chain in `sequence`: quantum routers joined by meet-in-the-middle
    links (a BSM node halfway), one request from the first to the last router."""
    import json
    import tempfile

    from sequence.app.request_app import RequestApp
    from sequence.topology.router_net_topo import RouterNetTopo

    names = [f"r{i}" for i in range(HOPS + 1)]
    meters = KM * 1000
    delay_ps = int(meters / 2e8 * 1e12)
    # Fiber loss off and each memory's emission efficiency sqrt(p), so that
    # the two photons of an attempt both arrive with probability p; the
    # protocol's own heralding factors come on top of that.
    config = {
        "nodes": [{"name": n, "type": "QuantumRouter", "seed": i, "memo_size": 10, "template": "router"}
                  for i, n in enumerate(names)],
        "templates": {"router": {"MemoryArray": {"fidelity": FIDELITY, "frequency": RATE_HZ,
                                                  "efficiency": math.sqrt(p), "coherence_time": -1}}},
        "qconnections": [{"node1": a, "node2": b, "attenuation": 0.0, "distance": meters,
                          "type": "meet_in_the_middle"} for a, b in zip(names, names[1:])],
        "cconnections": [{"node1": a, "node2": b, "delay": delay_ps}
                         for i, a in enumerate(names) for b in names[i + 1:]],
        "stop_time": int(simulated_s * 1e12),
    }
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as fh:
        json.dump(config, fh)
    try:
        topology = RouterNetTopo(fh.name)
    finally:
        os.unlink(fh.name)
    timeline = topology.get_timeline()
    routers = {r.name: r for r in topology.get_nodes_by_type(RouterNetTopo.QUANTUM_ROUTER)}
    apps = {n: RequestApp(routers[n]) for n in names}
    apps[names[0]].start(names[-1], 1, int(simulated_s * 1e12), 5, 0.5)
    timeline.init()
    start = time.perf_counter()
    timeline.run()
    wall = time.perf_counter() - start
    return apps[names[0]].memory_counter, wall


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
    try:
        for p, simulated_s in ((0.5, 2.0), (1e-3, 20.0)):
            delivered, wall = sequence_pairs_per_second(p, simulated_s / 10 if quick else simulated_s)
            print(f"sequence p={p:g}: {delivered} pairs in {wall:.2f} s wall, {delivered / wall:,.1f} pairs/s")
    except Exception as error:  # the peer is optional: say why it did not run
        print(f"sequence did not run the chain: {type(error).__name__}: {error}")


if __name__ == "__main__":
    main()
