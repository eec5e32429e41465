"""A plain event simulation of the physical model, for comparison in
distribution with the engine: attempt by attempt (each one a coin toss,
where the engine draws attempt counts by inversion), with the pairs held as
a dict of segments. Small and slow; use hop times that are whole numbers of
milliseconds so that every time is exact.
"""
import math
import random
from dataclasses import dataclass


@dataclass
class Segment:
    right: int          # the node at its far end (its left end is the dict key)
    werner: float       # product of its elementary pairs' Werner parameters
    decay: float        # summed decay exponent of the qubits already swapped
    left_born: float    # when the qubit at its left end arrived
    right_born: float   # when the qubit at its right end arrived


@dataclass
class Run:
    delivered: bool
    success: bool
    delivery_ms: float
    fidelity: float
    attempts: list


def run_chain(rng, tau, p, fidelity, t2_s, swap_success=1.0, cutoff_ms=None, signalling_ms=0.0,
              max_latency_ms=math.inf, fidelity_target=0.0):
    """One run over len(tau) hops; t2_s per node (0 or less: no decay)."""
    hops = len(tau)
    rate = [1.0 / (1000.0 * t2) if t2 > 0 else 0.0 for t2 in t2_s]
    werner = [(4 * f - 1) / 3 for f in fidelity]
    attempts = [0] * hops
    held = [False] * hops
    next_try = list(tau)  # when each waiting hop's current attempt ends
    segments = {}

    def restart(left, now):
        segment = segments.pop(left)
        for hop in range(left, segment.right):
            held[hop] = False
            next_try[hop] = now + tau[hop]

    while True:
        times = [next_try[h] for h in range(hops) if not held[h]]
        if cutoff_ms is not None:
            times += [min(s.left_born, s.right_born) + cutoff_ms for s in segments.values()]
        now = min(times)
        if now > max_latency_ms - signalling_ms:
            return Run(False, False, math.nan, math.nan, attempts)
        for hop in range(hops):
            if held[hop] or next_try[hop] != now:
                continue
            attempts[hop] += 1
            if rng.random() < p[hop]:
                held[hop] = True
                segments[hop] = Segment(hop + 1, werner[hop], 0.0, now, now)
            else:
                next_try[hop] = now + tau[hop]
        for node in range(1, hops):
            lefts = [left for left, s in segments.items() if s.right == node]
            if not lefts or node not in segments:
                continue
            left, right = segments[lefts[0]], segments[node]
            if rng.random() >= swap_success:
                restart(lefts[0], now)
                restart(node, now)
                continue
            stored = (now - left.right_born) + (now - right.left_born)
            segments[lefts[0]] = Segment(right.right, left.werner * right.werner,
                                         left.decay + right.decay + rate[node] * stored,
                                         left.left_born, right.right_born)
            del segments[node]
        whole = segments.get(0)
        if whole is not None and whole.right == hops:
            delivery = now + signalling_ms
            exponent = whole.decay + rate[0] * (delivery - whole.left_born) + rate[hops] * (delivery - whole.right_born)
            f = (1 + 3 * whole.werner * math.exp(-exponent)) / 4
            return Run(True, delivery <= max_latency_ms and f >= fidelity_target, delivery, f, attempts)
        if cutoff_ms is not None:
            for left in [left for left, s in segments.items()
                         if min(s.left_born, s.right_born) + cutoff_ms <= now]:
                restart(left, now)


def ensemble(runs, seed, **chain):
    rng = random.Random(seed)
    return [run_chain(rng, **chain) for _ in range(runs)]
