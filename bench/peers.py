"""The physical model's 4-segment chain beside two peer simulators from PyPI
(`pip install ".[bench]"`): delivered end-to-end pairs per wall-clock second
in each, and their ratio, all measured in one run. Prints figures; asserts
nothing. A peer that is not installed or fails is reported and skipped.

    python bench/peers.py            # see CASES for the simulated seconds per peer
    python bench/peers.py --quick    # a tenth of them, and of the wall-clock cap

The chain: 5 nodes, 4 hops of 25 km (0.125 ms of fiber each), a photon
source of 1 kHz per hop, pairs of F = 0.99, hop success p = 0.5 and 1e-3.

The first peer (the `qns` package) runs the chain by a protocol of our own
on qns's timeline, bench/qns_chain.py says how: qns nodes, one quantum
memory per side of a hop (T2 = 1 s, as the physical model's nodes here),
quantum and classical channels with the fiber's delay, qns's Werner pairs
and swapping, and an event for every source firing, photon and message.
(qns's own entanglement-distribution application delivers at most its first
pair on this chain: its source memory fills with pairs that are never read
out.) Hops retry at 1 kHz until they hold a pair, nodes swap as soon as they
hold both sides, and every delivery frees the memories for the next run, as
in the physical model; it differs in the herald: a qns hop holds its pair
one round trip (0.25 ms) after the successful firing, where the physical
model's holds it at the end of that attempt's source period, so a qns run
lasts 0.25 ms longer and its halves decay a little longer. The script
prints qns's mean delivery time per pair beside the closed form for its
timing, z = their difference in standard errors, and the physical model's
mean, and the mean fidelity of both.

The second peer (`sequence`) is built as quantum routers joined by
meet-in-the-middle links: a Bell-state measurement halfway along each 25 km
hop, one memory on each side of a hop (as here), memories that emit at
1 kHz with fidelity 0.99 and do not decay, ideal detectors. Its heralding
takes two rounds and the first heralds only half the time, so a hop
succeeds with eta^2 / 2, eta being the memory's emission efficiency times
the transmissivity of half the hop: the fiber keeps 0.2 dB/km and the
emission efficiency is set so that the hop succeeds with p (at p = 0.5 that
needs a lossless fiber and ideal emission). The script prints the hop
success it counted. Its protocol reserves the memories end to end before
the request starts (at 1 s of simulated time), swaps by a swap schedule and
lowers the fidelity at each swap; every delivered pair counts. It runs for
a fixed span of simulated time or until a wall-clock cap, whichever comes
first, and says which; at p = 1e-3 a pair takes it about two seconds of
wall time, so a full run counts a few dozen pairs and --quick a few.
"""
import collections
import importlib
import math
import os
import statistics
import sys
import time

import vorn_core as vc

HOPS, KM, RATE_HZ, FIDELITY, T2_S = 4, 25.0, 1000.0, 0.99, 1.0
ATTENUATION_DB_KM, SPEED_KM_MS = 0.2, 200.0
# p, then the simulated seconds each peer runs (a tenth with --quick).
CASES = ((0.5, 100.0, 2.0), (1e-3, 1000.0, 60.0))
# sequence's request starts once its reservation has crossed the chain (about
# 1 ms); the wall-clock cap is checked after every slice of simulated time.
SEQUENCE_START_PS, SEQUENCE_SLICE_PS, SEQUENCE_WALL_CAP_S = 10**12, 10**10, 60.0


VornFigures = collections.namedtuple("VornFigures", "pairs_per_second mean_delivery_ms mean_fidelity")


def vorn_figures(p, runs):
    nodes = [vc.NodeDefinition(f"N{i}", T2_S) for i in range(HOPS + 1)]
    links = [vc.LinkDefinition(f"N{i}", f"N{i + 1}", KM, FIDELITY, RATE_HZ) for i in range(HOPS)]
    efficiency = p / 10 ** (-ATTENUATION_DB_KM * KM / 10)
    os.environ["VORN_NUM_THREADS"] = "1"
    start = time.perf_counter()
    stats = vc.simulate_physical(nodes, links, "N0", f"N{HOPS}", runs, 1, 0.0, math.inf, ATTENUATION_DB_KM, efficiency,
                                 1.0, SPEED_KM_MS, 30.0)
    wall = time.perf_counter() - start
    return VornFigures(stats.delivered / wall, stats.delivery_ms_sum / stats.delivered,
                       stats.fidelity_sum / stats.delivered)


def expected_slowest_attempts(p, hops):
    """E[max of `hops` independent geometric attempt counts of success p]: the
    attempts after which every hop of a run holds a pair, by inclusion and
    exclusion over the hops still trying."""
    return sum((-1) ** (j + 1) * math.comb(hops, j) / (1 - (1 - p) ** j) for j in range(1, hops + 1))


def expected_delivery_ms(p, hops=HOPS, herald_ms=0.0):
    """The mean delivery time of the chain: one source period per attempt of
    the slowest hop, a herald wait on top (0 in our model, where a hop holds
    its pair at the end of its attempt's period), then the route's signalling."""
    hop_ms = KM / SPEED_KM_MS
    return 1000.0 / RATE_HZ * expected_slowest_attempts(p, hops) + herald_ms + hops * hop_ms


def qns_runs(p, simulated_s, hops=HOPS, seed=1):
    """Runs the chain on qns's timeline (bench/qns_chain.py) for simulated_s
    seconds. Returns its record of runs and the wall seconds."""
    from qns_chain import chain

    simulator, runs = chain(hops, KM, SPEED_KM_MS, RATE_HZ, FIDELITY, p, T2_S, simulated_s, seed)
    start = time.perf_counter()
    simulator.run()
    return runs, time.perf_counter() - start


def sequence_hop(p):
    """A memory's emission efficiency and the fiber's attenuation (dB/m) for
    which a hop in `sequence` succeeds with p. Its two-round heralding needs
    the photon of each round to reach the midpoint's detectors, and the first
    round heralds half the time: p = eta^2 / 2 with eta = efficiency x the
    transmissivity of half the hop. The fiber keeps 0.2 dB/km when the
    efficiency can make up the rest; otherwise it is lossless."""
    eta = math.sqrt(2 * p)
    if eta > 1:
        raise ValueError(f"a hop in sequence succeeds at most half the time, not with p = {p:g}")
    half_hop = 10 ** (-ATTENUATION_DB_KM * KM / 2 / 10)
    if eta <= half_hop:
        return eta / half_hop, ATTENUATION_DB_KM / 1000
    return eta, 0.0


def sequence_chain(p, end_ps):
    """The chain in `sequence` with one request from the first router to the
    last, served from SEQUENCE_START_PS to end_ps. Returns the timeline, the
    first router's request app and the heralding tally [successes, attempts]
    (each attempt counts at both ends of its hop)."""
    import json
    import tempfile

    from sequence.app.request_app import RequestApp
    from sequence.entanglement_management.generation import BarretKokA, EntanglementGenerationA
    from sequence.topology.router_net_topo import RouterNetTopo

    tally = [0, 0]

    class CountedHeralding(BarretKokA):
        """sequence's own two-round heralding, counting how each attempt ends."""

        def _entanglement_succeed(self):
            tally[0] += 1
            tally[1] += 1
            super()._entanglement_succeed()

        def _entanglement_fail(self):
            tally[1] += 1
            super()._entanglement_fail()

    EntanglementGenerationA.register("counted_heralding", CountedHeralding)
    EntanglementGenerationA.set_global_type("counted_heralding")

    names = [f"r{i}" for i in range(HOPS + 1)]
    efficiency, attenuation_db_m = sequence_hop(p)
    hop_delay_ps = round(KM / SPEED_KM_MS * 1e9)
    config = {
        # Two memories on every router: one for each side of a hop.
        "nodes": [{"name": n, "type": "QuantumRouter", "seed": i, "memo_size": 2, "template": "router"}
                  for i, n in enumerate(names)],
        "templates": {
            "router": {"MemoryArray": {"fidelity": FIDELITY, "frequency": RATE_HZ, "efficiency": efficiency,
                                       "coherence_time": -1}},
            "midpoint": {"SingleAtomBSM": {"detectors": [{"efficiency": 1.0}, {"efficiency": 1.0}]}},
        },
        "qconnections": [{"node1": a, "node2": b, "attenuation": attenuation_db_m, "distance": KM * 1000,
                          "type": "meet_in_the_middle", "template": "midpoint", "seed": HOPS + 1 + i}
                         for i, (a, b) in enumerate(zip(names, names[1:]))],
        "cconnections": [{"node1": a, "node2": b, "delay": hop_delay_ps * (j - i)}
                         for i, a in enumerate(names) for j, b in enumerate(names) if j > i],
        "stop_time": end_ps,
    }
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as fh:
        json.dump(config, fh)
    try:
        topology = RouterNetTopo(fh.name)
    finally:
        os.unlink(fh.name)
    routers = {r.name: r for r in topology.get_nodes_by_type(RouterNetTopo.QUANTUM_ROUTER)}
    apps = {n: RequestApp(routers[n]) for n in names}
    apps[names[0]].start(names[-1], SEQUENCE_START_PS, end_ps, 1, 0.5)
    return topology.get_timeline(), apps[names[0]], tally


def sequence_pairs(p, simulated_s, wall_cap_s):
    """Runs the chain for simulated_s seconds from the request's start, or
    until wall_cap_s of wall time have passed (checked every slice of
    simulated time). Returns the pairs delivered, the wall seconds, the
    simulated seconds run and the hop success counted."""
    from sequence.entanglement_management.generation import EntanglementGenerationA

    end_ps = SEQUENCE_START_PS + round(simulated_s * 1e12)
    try:
        timeline, app, tally = sequence_chain(p, end_ps)
        timeline.init()
        now_ps = SEQUENCE_START_PS
        start = time.perf_counter()
        timeline.stop_time = now_ps
        timeline.run()  # the reservation, before the request starts
        while now_ps < end_ps and time.perf_counter() - start < wall_cap_s:
            now_ps = min(end_ps, now_ps + SEQUENCE_SLICE_PS)
            timeline.stop_time = now_ps
            timeline.run()
        wall = time.perf_counter() - start
    finally:
        EntanglementGenerationA.clear_global()
    hop_success = tally[0] / tally[1] if tally[1] else math.nan
    return app.memory_counter, wall, (now_ps - SEQUENCE_START_PS) / 1e12, hop_success


def ratio_text(ours, delivered, wall):
    return f"{ours / (delivered / wall):>9,.0f}x" if delivered else "  (none)"


def qns_section(ours, scale):
    print(f"{'p':>6} {'hop seen':>9} {'pairs':>6} {'wall s':>7} {'pairs/s':>9} {'ratio':>10} {'ms/pair':>9} "
          f"{'closed':>9} {'z':>5} {'vorn ms':>9} {'F':>6} {'vorn F':>6}")
    for p, simulated_s, _ in CASES:
        runs, wall = qns_runs(p, simulated_s * scale)
        delivered = len(runs.delivery_ms)
        closed = expected_delivery_ms(p, herald_ms=2 * KM / SPEED_KM_MS)
        mean, z, fidelity = math.nan, math.nan, math.nan
        if delivered:
            mean, fidelity = statistics.fmean(runs.delivery_ms), statistics.fmean(runs.fidelities)
        if delivered > 1:
            z = (mean - closed) / (statistics.stdev(runs.delivery_ms) / math.sqrt(delivered))
        print(f"{p:>6g} {runs.heralds / runs.attempts:>9.4g} {delivered:>6} {wall:>7.2f} {delivered / wall:>9,.1f} "
              f"{ratio_text(ours[p].pairs_per_second, delivered, wall)} {mean:>9.2f} {closed:>9.2f} {z:>5.1f} "
              f"{ours[p].mean_delivery_ms:>9.2f} {fidelity:>6.4f} {ours[p].mean_fidelity:>6.4f}")


def sequence_section(ours, scale):
    print(f"{'p':>6} {'hop seen':>9} {'pairs':>6} {'sim s':>7} {'wall s':>7} {'pairs/s':>9} {'ratio':>10}")
    for p, _, simulated_s in CASES:
        delivered, wall, simulated, hop_success = sequence_pairs(p, simulated_s * scale, SEQUENCE_WALL_CAP_S * scale)
        capped = "  (wall-clock cap)" if simulated < simulated_s * scale else ""
        print(f"{p:>6g} {hop_success:>9.4g} {delivered:>6} {simulated:>7.2f} {wall:>7.2f} {delivered / wall:>9,.2f} "
              f"{ratio_text(ours[p].pairs_per_second, delivered, wall)}{capped}")


def peer_section(name, section, ours, scale):
    """Runs one peer's section; a peer that is missing or fails is reported
    and the bench goes on with the next."""
    print(f"\n{name}:")
    try:
        importlib.import_module(name)
    except ImportError as error:
        print(f'{name} is not installed ({error}): pip install ".[bench]"')
        return
    try:
        section(ours, scale)
    except Exception as error:  # a peer's failure is a figure of this bench, not its end
        print(f"{name} did not run the chain: {type(error).__name__}: {error}")


def main():
    scale = 0.1 if "--quick" in sys.argv else 1.0
    print(f"{HOPS}-segment chain, one thread each: delivered end-to-end pairs per wall-clock second,")
    print("the ratio is vorn's figure over the peer's")
    ours = {p: vorn_figures(p, round(2_000_000 * scale)) for p, _, _ in CASES}
    for p, figures in ours.items():
        print(f"vorn p={p:g}: {figures.pairs_per_second:,.0f} pairs/s, {figures.mean_delivery_ms:.2f} ms a pair "
              f"(closed form {expected_delivery_ms(p):.2f}), F = {figures.mean_fidelity:.4f}")
    peer_section("qns", qns_section, ours, scale)
    peer_section("sequence", sequence_section, ours, scale)


if __name__ == "__main__":
    main()
