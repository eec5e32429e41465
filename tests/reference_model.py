"""An independent, plain-Python model of routing, request simulation and
seeded ensembles.

It is written for reading, not for speed: every step follows the algorithm
one statement at a time so that the module can be compared with it exactly
(same floating-point operations in the same order, same generator draws).

Networks are given as a `Network` of plain tuples:
    nodes: list of (id, memory_lifetime_t2); a later id replaces an earlier one
    links: list of (from_node, to, distance_km, base_fidelity, generation_rate_hz)
"""
import math
import struct
from dataclasses import dataclass, field
from functools import lru_cache

MASK32 = 0xFFFFFFFF
MASK64 = 0xFFFFFFFFFFFFFFFF

# ---------------------------------------------------------------------------
# ChaCha12 generator
# ---------------------------------------------------------------------------

CHACHA_CONSTANTS = (0x61707865, 0x3320646E, 0x79622D32, 0x6B206574)  # "expand 32-byte k"


def _rotl32(x, n):
    return ((x << n) | (x >> (32 - n))) & MASK32


def _quarter_round(s, a, b, c, d):
    s[a] = (s[a] + s[b]) & MASK32
    s[d] = _rotl32(s[d] ^ s[a], 16)
    s[c] = (s[c] + s[d]) & MASK32
    s[b] = _rotl32(s[b] ^ s[c], 12)
    s[a] = (s[a] + s[b]) & MASK32
    s[d] = _rotl32(s[d] ^ s[a], 8)
    s[c] = (s[c] + s[d]) & MASK32
    s[b] = _rotl32(s[b] ^ s[c], 7)


def chacha12_block(key_words, counter, stream, double_rounds=6):
    """The 16 output words of one ChaCha block (12 rounds unless told)."""
    state = list(CHACHA_CONSTANTS) + list(key_words) + [
        counter & MASK32,
        (counter >> 32) & MASK32,
        stream & MASK32,
        (stream >> 32) & MASK32,
    ]
    working = list(state)
    for _ in range(double_rounds):
        _quarter_round(working, 0, 4, 8, 12)
        _quarter_round(working, 1, 5, 9, 13)
        _quarter_round(working, 2, 6, 10, 14)
        _quarter_round(working, 3, 7, 11, 15)
        _quarter_round(working, 0, 5, 10, 15)
        _quarter_round(working, 1, 6, 11, 12)
        _quarter_round(working, 2, 7, 8, 13)
        _quarter_round(working, 3, 4, 9, 14)
    return [(w + s) & MASK32 for w, s in zip(working, state)]


class ChaCha12:
    """Keystream words block after block; counter in words 12-13, stream in 14-15."""

    def __init__(self, key: bytes, stream: int = 0):
        assert len(key) == 32
        self.key_words = list(struct.unpack("<8I", key))
        self.stream = stream
        self.counter = 0
        self.buffer = []
        self.words_used = 0

    def next_u32(self):
        if not self.buffer:
            self.buffer = chacha12_block(self.key_words, self.counter, self.stream)
            self.buffer.reverse()
            self.counter = (self.counter + 1) & MASK64
        self.words_used += 1
        return self.buffer.pop()

    def next_u64(self):
        low = self.next_u32()
        high = self.next_u32()
        return (high << 32) | low


def seed_key(seed):
    """The 32-byte key that seed_from_u64 expands from a 64-bit seed."""
    s = seed & MASK64
    words = []
    for _ in range(8):
        s = (s * 0x5851F42D4C957F2D + 0xA17654E46FBE17F3) & MASK64
        x = (((s >> 18) ^ s) >> 27) & MASK32
        r = s >> 59
        words.append(((x >> r) | (x << ((32 - r) % 32))) & MASK32)
    return struct.pack("<8I", *words)


def seed_from_u64(seed):
    return ChaCha12(seed_key(seed), stream=0)


def _unit_from_bits(x):
    """The double with bit pattern (x >> 12) | 0x3FF0..., minus 1.0: a value in [0, 1)."""
    bits = (x >> 12) | 0x3FF0000000000000
    return struct.unpack("<d", struct.pack("<Q", bits))[0] - 1.0


def uniform_closed01(gen):
    v = _unit_from_bits(gen.next_u64())
    return v * 1.0000000000000002 + 0.0


def uniform_range(gen, a, b):
    assert a < b
    scale = b - a
    while True:
        r = _unit_from_bits(gen.next_u64()) * scale + a
        if r < b:
            return r


# ---------------------------------------------------------------------------
# Network and helpers
# ---------------------------------------------------------------------------

@dataclass(frozen=True)
class Network:
    nodes: tuple  # ((id, t2), ...) in definition order, duplicates included
    links: tuple  # ((from, to, distance, fidelity, rate), ...)

    def node_ids(self):
        return frozenset(node_id for node_id, _ in self.nodes)


@dataclass(frozen=True)
class Config:
    baseline_purify_factor: float = 0.12
    speed_of_light_in_fiber_km_ms: float = 200.0
    total_time_cutoff_ms: float = 5000.0
    step_resolution_ms: float = 0.1


def fmin(a, b):
    """min that returns the other operand when one is NaN."""
    if math.isnan(a):
        return b
    if math.isnan(b):
        return a
    return a if a < b else b


def fmax(a, b):
    if math.isnan(a):
        return b
    if math.isnan(b):
        return a
    return a if a > b else b


def joining_link(links, a, b):
    """First link that joins a and b exactly, in either orientation."""
    for link in links:
        if (link[0] == a and link[1] == b) or (link[1] == a and link[0] == b):
            return link
    return None


def purification_map(f, beta):
    n = f * f + 2.0 * f * (1.0 - f) / 3.0 + (1.0 - f) * (1.0 - f) / 9.0
    if n > 0.0:
        return fmin((f * f + (1.0 - f) * (1.0 - f) / 9.0) / n + beta, 0.999)
    return 0.5


def hop_probability(links, a, b, target):
    link = joining_link(links, a, b)
    if link is None:
        return 0.0
    x = link[2] / 100.0
    y = x / (x + 1.0)
    fidelity = link[3]
    penalty = (target - fidelity) * 0.3 if fidelity < target else 0.0
    return fmin(0.98, fmax(0.5, (1.0 - 0.45 * (y * y)) - penalty))


# ---------------------------------------------------------------------------
# Routing
# ---------------------------------------------------------------------------

@dataclass
class Route:
    path: list
    fidelity: float


def _search_candidates(links, from_node, to):
    """Every hop list the depth-first search accepts, in the order reached."""
    candidates = []
    stack = [(from_node, [from_node])]
    while stack:
        current, path = stack.pop()
        if current == to:
            hops = list(zip(path, path[1:]))
            kept = [hop for hop in hops if joining_link(links, hop[0], hop[1]) is not None]
            if len(kept) == len(path) - 1:
                candidates.append(kept)
            continue
        for link in links:
            neighbour = link[1] if link[0] == current else link[0]
            if neighbour == current or neighbour in path:
                continue
            stack.append((neighbour, path + [neighbour]))
    return candidates


def _hop_value(links, far_node, code):
    for link in links:
        if link[1] == far_node or link[0] == far_node:
            if code == 0:
                return link[2]
            if code == 1:
                return link[3]
            return link[3] * link[4]
    return 0.0


def _score(links, hops, code):
    if code == 1:
        score = 1.0
        for _, far in hops:
            score *= _hop_value(links, far, code)
        return score
    score = 0.0
    for _, far in hops:
        score += _hop_value(links, far, code)
    return score


@lru_cache(maxsize=4096)
def find_route(links, node_ids, from_node, to, code):
    """links: tuple of link tuples; node_ids: frozenset. Returns a Route or None."""
    if not node_ids or from_node not in node_ids or to not in node_ids:
        return None
    candidates = _search_candidates(links, from_node, to)
    if not candidates:
        return None
    best = candidates[0]
    if len(candidates) > 1:
        best_score = _score(links, best, code)
        for candidate in candidates[1:]:
            score = _score(links, candidate, code)
            if code == 0:
                replace = best_score > score
            else:
                replace = not (best_score > score)
            if replace:
                best, best_score = candidate, score
    path = [from_node] + [far for _, far in best]
    fidelity = 1.0
    for a, b in best:
        fidelity *= joining_link(links, a, b)[3]
    return Route(path, fidelity)


# ---------------------------------------------------------------------------
# One request
# ---------------------------------------------------------------------------

@dataclass
class Outcome:
    path: list
    latency_ms: float
    fidelity: float
    success: bool


@dataclass
class RequestTrace:
    """What a request leaves behind besides its outcome."""
    link_usage: dict = field(default_factory=dict)
    drops: int = 0
    # rounds whose swapping step saw a complete set of generated hops on a
    # path of 3+ nodes: only there can a memory-loss draw change the outcome
    loss_sensitive_rounds: int = 0


def simulate_request(network, config, from_node, to, target, budget, strategy, request_gen, loss_gen):
    """strategy: code 0/1/2 (or any byte) or None. Returns (Outcome, RequestTrace)."""
    trace = RequestTrace()
    links = tuple(network.links)
    node_ids = network.node_ids()
    beta = config.baseline_purify_factor

    code = 1 if strategy is None else strategy
    route = find_route(links, node_ids, from_node, to, code)
    if route is None:
        return Outcome([], 0.0, 0.0, False), trace
    if code == 1 and target > route.fidelity:
        route = find_route(links, node_ids, from_node, to, 0)
        if route is None:
            return Outcome([], 0.0, 0.0, False), trace

    path = list(route.path)
    hops = list(zip(path, path[1:]))
    f0 = route.fidelity
    if target > f0 and target > purification_map(f0, beta):
        return Outcome(path, 0.0, 0.0, False), trace

    signalling = 0.0
    for a, b in hops:
        link = joining_link(links, a, b)
        distance = link[2] if link is not None else 0.0
        signalling += distance / config.speed_of_light_in_fiber_km_ms
    if signalling > budget:
        return Outcome(path, signalling, 0.0, False), trace

    w = 0.0
    f = f0
    while budget > w and config.total_time_cutoff_ms > w:
        pending = []
        for a, b in hops:
            key = a + "->" + b
            trace.link_usage[key] = trace.link_usage.get(key, 0) + 1
            p = hop_probability(links, a, b, target)
            r = uniform_closed01(request_gen)
            if p > r:
                link = joining_link(links, a, b)
                pending.append((a, b, link[3] if link is not None else 0.0, w))
            else:
                trace.drops += 1

        ready = []
        for pair in pending:  # every pair was created at the current time
            x = uniform_range(loss_gen, 0.0, 1.0)
            if not x < 0.1:
                ready.append(pair)

        if trace.drops != 0:
            w += 2.5
            continue

        by_key = {}
        for a, b, fid, _ in ready:
            by_key[tuple(sorted((a.encode(), b.encode())))] = fid
        if len(path) >= 3:
            trace.loss_sensitive_rounds += 1
        keys = [tuple(sorted((a.encode(), b.encode()))) for a, b in hops]
        if len(path) >= 3 and all(k in by_key for k in keys):
            f = 1.0
            for k in keys:
                f *= by_key[k]
            for _ in range(len(path) - 2):
                f = purification_map(f, beta)

        if target > f and f > 0.5:
            w += 0.85
            f = purification_map(f, beta)

        if f >= target or w >= budget:
            if f >= target:
                return Outcome(path, w, f, True), trace
            return Outcome(path, w, 0.0, False), trace
        trace.drops = 0
        w += 2.5

    return Outcome(path, w, 0.0, False), trace


def single_request(network, config, from_node, to, target, budget, strategy, loss_gen):
    """A single request: the request generator has the all-zero key."""
    return simulate_request(network, config, from_node, to, target, budget, strategy,
                            ChaCha12(bytes(32)), loss_gen)


# ---------------------------------------------------------------------------
# Ensembles
# ---------------------------------------------------------------------------

@dataclass
class EnsembleResult:
    total_runs: int
    empirical_success_rate: float
    mean_latency_ms: float
    mean_fidelity: float
    aggregate_congestion_drops: int
    link_usage: dict


def run_ensemble(network, config, from_node, to, target, budget, strategy, runs, seed):
    """Run i draws generation trials from seed_from_u64(seed + i) and memory
    loss from the same key on stream 1."""
    usage = {}
    successes = 0
    fidelity_sum = 0.0
    latency_sum = 0.0
    drops = 0
    for i in range(runs):
        key = seed_key((seed + i) & MASK64)
        outcome, trace = simulate_request(network, config, from_node, to, target, budget, strategy,
                                          ChaCha12(key, stream=0), ChaCha12(key, stream=1))
        if outcome.success:
            successes += 1
            fidelity_sum += outcome.fidelity
        latency_sum += outcome.latency_ms
        drops += trace.drops
        for label, count in trace.link_usage.items():
            usage[label] = usage.get(label, 0) + count
    rate = successes / runs if runs else math.nan
    mean_latency = latency_sum / runs if runs else math.nan
    mean_fidelity = fidelity_sum / successes if successes >= 1 else 0.0
    return EnsembleResult(runs, rate, mean_latency, mean_fidelity, drops, usage)
