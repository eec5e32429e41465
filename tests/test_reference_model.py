"""The module against the plain-Python reference model.

Seeded ensembles are fully reproducible (generation and memory loss both come
from the run's seed), so `simulate` must agree with the model bit for bit on
every statistic and on the heat map. Single requests draw memory loss from the
thread's own generator; they are compared in full only where the model shows
that no loss draw can change the outcome, and by their path otherwise.
"""
import math
import random
import struct

import pytest
import reference_model as m

import vorn_core as v

STRATEGIES = [None, v.StrategyType.LowestLatency, v.StrategyType.HighestFidelity, v.StrategyType.HighestSuccess]


def strategy_code(strategy):
    return None if strategy is None else strategy.to_u8()


def make_engine(network, config):
    """config: None for VornEngine() or (cutoff, alpha) for a SimulationConfig."""
    if config is None:
        engine = v.VornEngine()
    else:
        cutoff, alpha = config
        engine = v.VornEngine(v.SimulationConfig(total_time_cutoff_ms=cutoff, alpha_loss_db_km=alpha))
    engine.define_network(
        [v.NodeDefinition(node_id, t2) for node_id, t2 in network.nodes],
        [v.LinkDefinition(*link) for link in network.links],
    )
    return engine


def model_config(config):
    if config is None:
        return m.Config()
    cutoff, alpha = config
    return m.Config(baseline_purify_factor=alpha / 10.0, total_time_cutoff_ms=cutoff)


def same_float(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


# ---------------------------------------------------------------------------
# random cases
# ---------------------------------------------------------------------------

ID_POOL = ["A", "B", "C", "AB", "n0", "Zz"]


def random_case(case_number):
    rng = random.Random(9001 + case_number)
    ids = rng.sample(ID_POOL, rng.randint(3, 6))
    nodes = [(node_id, rng.choice([1.0, 0.5, 120.0])) for node_id in ids]
    if rng.random() < 0.2:  # a redefinition; the last one wins
        nodes.append((rng.choice(ids), 7.0))

    def distance():
        if rng.random() < 0.012:
            return rng.choice([math.inf, math.nan, rng.uniform(-60.0, -1.0)])
        return rng.choice([0.0, rng.uniform(0.0, 250.0), rng.uniform(0.0, 250.0), rng.uniform(0.0, 250.0), 1500.0, 2.0e5])

    def fidelity():
        if rng.random() < 0.012:
            return math.nan
        return rng.choice([rng.uniform(0.55, 1.0), rng.uniform(0.9, 1.0), rng.uniform(0.9, 1.0), 1.0, 1.07, 0.45])

    links = []
    order = list(ids)
    rng.shuffle(order)
    for a, b in zip(order, order[1:]):  # a spanning chain, orientations mixed
        if rng.random() < 0.5:
            a, b = b, a
        links.append((a, b, distance(), fidelity(), rng.uniform(1.0, 2000.0)))
    for _ in range(rng.randint(0, 2)):  # chords
        a, b = rng.sample(ids, 2)
        links.append((a, b, distance(), fidelity(), rng.uniform(1.0, 2000.0)))
    if rng.random() < 0.3:  # a parallel link, either orientation
        a, b = rng.choice(links)[:2]
        if rng.random() < 0.5:
            a, b = b, a
        links.append((a, b, distance(), fidelity(), rng.uniform(1.0, 2000.0)))
    if rng.random() < 0.15:
        node_id = rng.choice(ids)
        links.append((node_id, node_id, 1.0, 0.99, 100.0))
    if rng.random() < 0.2:  # an endpoint without a node entry
        links.append((rng.choice(ids), "X", distance(), fidelity(), 10.0))
    rng.shuffle(links)

    from_node, to = rng.sample(ids, 2)
    roll = rng.random()
    if roll < 0.08:
        to = from_node
    elif roll < 0.12:
        to = "X"
    elif roll < 0.15:
        from_node = "missing"

    target = rng.choice([rng.uniform(0.5, 0.8), rng.uniform(0.5, 1.0)])
    budget = rng.choice([0.0] + [rng.uniform(0.0, 40.0)] * 4 + [rng.uniform(0.0, 300.0)] * 6)
    strategy = rng.choice(STRATEGIES)
    config = None
    if rng.random() < 0.5:
        config = (rng.choice([5000.0, 20.0, 60.0]), rng.choice([0.0, 0.22, 0.5, 1.5]))
    runs = 0 if rng.random() < 0.04 else rng.randint(1, 12)
    seed = rng.choice([rng.getrandbits(64), rng.getrandbits(16), 2**64 - 2])
    network = m.Network(tuple(nodes), tuple(links))
    return network, config, (from_node, to, target, budget, strategy), runs, seed


CASES = range(300)


@pytest.mark.parametrize("case_number", CASES)
def test_seeded_ensemble_matches_model(case_number):
    network, config, (from_node, to, target, budget, strategy), runs, seed = random_case(case_number)
    engine = make_engine(network, config)
    stats = engine.simulate(from_node, to, target, budget, runs, strategy, seed)
    expected = m.run_ensemble(network, model_config(config), from_node, to, target, budget,
                              strategy_code(strategy), runs, seed)
    assert stats.total_runs == expected.total_runs
    assert same_float(stats.empirical_success_rate, expected.empirical_success_rate)
    assert same_float(stats.mean_latency_ms, expected.mean_latency_ms)
    assert stats.mean_fidelity == expected.mean_fidelity
    assert stats.aggregate_congestion_drops == expected.aggregate_congestion_drops
    assert stats.link_utilization_heatmap == expected.link_usage


@pytest.mark.parametrize("case_number", CASES)
def test_single_request_matches_model(case_number):
    network, config, (from_node, to, target, budget, strategy), _, _ = random_case(case_number)
    engine = make_engine(network, config)
    result = engine.request_entanglement(from_node, to, target, budget, strategy)
    expected, trace = m.single_request(network, model_config(config), from_node, to, target, budget,
                                       strategy_code(strategy), m.seed_from_u64(case_number))
    assert result.execution_path == expected.path
    if trace.loss_sensitive_rounds == 0:  # no memory-loss draw could change the outcome
        assert result.success == expected.success
        assert result.latency_ms == expected.latency_ms
        assert result.final_fidelity == expected.fidelity


def test_random_cases_cover_the_interesting_outcomes():
    """Guards the case generator: the comparisons above must see every kind of ending."""
    kinds = set()
    for case_number in CASES:
        network, config, (from_node, to, target, budget, strategy), runs, seed = random_case(case_number)
        expected = m.run_ensemble(network, model_config(config), from_node, to, target, budget,
                                  strategy_code(strategy), 1, seed)
        outcome, trace = m.single_request(network, model_config(config), from_node, to, target, budget,
                                          strategy_code(strategy), m.seed_from_u64(1))
        if not outcome.path:
            kinds.add("no route")
        elif len(outcome.path) >= 3:
            kinds.add("multi-hop")
        if outcome.success:
            kinds.add("success")
        if expected.aggregate_congestion_drops:
            kinds.add("drops")
        if trace.loss_sensitive_rounds:
            kinds.add("loss matters")
        if not outcome.success and outcome.path and outcome.latency_ms > 0 and not trace.link_usage:
            kinds.add("signalling too long")
    assert kinds == {"no route", "multi-hop", "success", "drops", "loss matters", "signalling too long"}


# ---------------------------------------------------------------------------
# hand-made routes that decide ties and lookups
# ---------------------------------------------------------------------------

def net(node_ids, links):
    return m.Network(tuple((n, 1.0) for n in node_ids), tuple(links))


ROUTE_CASES = [
    # links in (B,A), (C,B) orientation; the jump A->C is rejected
    (net("ABC", [("B", "A", 10.0, 0.9, 1.0), ("C", "B", 10.0, 0.8, 1.0)]), "A", "C", ["A", "B", "C"]),
    # the hop B-D is scored with the first link touching D (C-D)
    (net("ABCD", [("A", "C", 5.0, 0.9, 1.0), ("C", "D", 5.0, 0.9, 1.0),
                  ("A", "B", 10.0, 0.9, 1.0), ("B", "D", 10.0, 0.9, 1.0)]), "A", "D", None),
    # the hop (A,B) is scored with the first link touching B
    (net("ABCD", [("C", "B", 1.0, 0.5, 1.0), ("A", "B", 1.0, 0.9, 1.0), ("B", "D", 1.0, 0.9, 1.0),
                  ("A", "C", 1.0, 0.6, 1.0), ("C", "D", 1.0, 0.95, 1.0)]), "A", "D", None),
    # two equal paths
    (net("ABCD", [("A", "B", 5.0, 0.9, 10.0), ("B", "D", 5.0, 0.9, 10.0),
                  ("A", "C", 5.0, 0.9, 10.0), ("C", "D", 5.0, 0.9, 10.0)]), "A", "D", None),
    # parallel links: the first one in the list supplies the fidelity
    (net("AB", [("B", "A", 1.0, 0.91, 1.0), ("A", "B", 1.0, 0.99, 1.0)]), "A", "B", ["A", "B"]),
    # a path through a node without entry
    (net("AB", [("A", "X", 1.0, 0.99, 1.0), ("X", "B", 1.0, 0.99, 1.0)]), "A", "B", ["A", "X", "B"]),
]


@pytest.mark.parametrize("strategy", STRATEGIES)
@pytest.mark.parametrize("network,from_node,to,known_path", ROUTE_CASES)
def test_handmade_routes_match_model(network, from_node, to, known_path, strategy):
    engine = make_engine(network, (5000.0, 0.22))
    result = engine.request_entanglement(from_node, to, 0.6, 50.0, strategy)
    route = m.find_route(network.links, network.node_ids(), from_node, to,
                         1 if strategy is None else strategy.to_u8())
    assert result.execution_path == route.path
    if known_path is not None:
        assert route.path == known_path


@pytest.mark.parametrize("code,expected", [
    (0, ["A", "C", "D"]),  # score 10 against 15
    (1, ["A", "C", "D"]),  # equal products: the later candidate
])
def test_model_route_ties_follow_the_literal_search(code, expected):
    network = ROUTE_CASES[1][0]
    route = m.find_route(network.links, network.node_ids(), "A", "D", code)
    assert route.path == expected


# ---------------------------------------------------------------------------
# networks of several blocks in a row, with near-ties across blocks
# ---------------------------------------------------------------------------

def block_chain_case(case_number):
    """Two or three blocks in a row (a single link, or two sides of one or two
    nodes between the block's entry and exit), with fidelities whose sums
    round differently in another order or are absorbed by a large value, so
    that a near-tie in one block can be settled by the rounding of another.
    At most seven nodes, which the model's literal search still lists."""
    rng = random.Random(4242 + case_number)
    while True:
        fidelities = rng.choice([[0.1, 0.2, 0.3, 0.7], [0.1, 0.2, 0.3, 1e16], [1.0, 2.0, 3.0], [0.9, 0.93, 0.97]])
        names = iter("ABCDEFGHIJKLMNOP")
        links = []

        def add(a, b, links=links, fidelities=fidelities):
            if rng.random() < 0.5:
                a, b = b, a
            links.append((a, b, rng.uniform(1.0, 50.0), rng.choice(fidelities), rng.choice([1.0, 1.0, 3.0])))

        entry = first = next(names)
        for _ in range(rng.randint(2, 3)):
            exit_ = next(names)
            if rng.random() < 0.4:
                add(entry, exit_)
            else:
                for side_length in (1, rng.randint(1, 2)):
                    side = [entry] + [next(names) for _ in range(side_length)] + [exit_]
                    for a, b in zip(side, side[1:]):
                        add(a, b)
            entry = exit_
        if rng.random() < 0.3:  # a parallel link, either orientation
            a, b = rng.choice(links)[:2]
            links.append((b, a, 5.0, rng.choice(fidelities), 1.0))
        rng.shuffle(links)
        ids = sorted({n for link in links for n in link[:2]})
        if len(ids) <= 7:
            return net(ids, links), first, entry


@pytest.mark.parametrize("case_number", range(150))
def test_routes_through_several_blocks_match_model(case_number):
    network, from_node, to = block_chain_case(case_number)
    engine = make_engine(network, None)
    for strategy in STRATEGIES[1:]:
        result = engine.request_entanglement(from_node, to, 1e-9, 1e-6, strategy)
        route = m.find_route(network.links, network.node_ids(), from_node, to, strategy.to_u8())
        assert result.execution_path == route.path


# ---------------------------------------------------------------------------
# the model's own building blocks against known values
# ---------------------------------------------------------------------------

def test_model_block_function_matches_published_chacha20_vector():
    key = struct.unpack("<8I", bytes(range(32)))
    out = m.chacha12_block(key, 0x0900000000000001, 0x4A000000, double_rounds=10)
    assert out[:4] == [0xE4E7F110, 0x15593BD1, 0x1FDD0F50, 0xC47120A3]
    assert out[-1] == 0x4E3C50A2


def test_model_seed_expansion():
    assert m.seed_key(0) != bytes(32)
    a, b = m.seed_from_u64(77), m.seed_from_u64(77)
    assert [a.next_u64() for _ in range(20)] == [b.next_u64() for _ in range(20)]


@pytest.mark.parametrize("fidelity,beta,expected", [
    (0.9, 0.022, 0.9531224489795919),
    (0.9, 0.12, 0.999),
    (0.0, 0.0, 0.999),
    (float("nan"), 0.1, 0.5),
])
def test_model_purification_map(fidelity, beta, expected):
    assert m.purification_map(fidelity, beta) == expected


@pytest.mark.parametrize("distance,expected", [(0.0, 0.98), (100.0, 0.8875), (200.0, 0.8)])
def test_model_hop_probability(distance, expected):
    assert m.hop_probability([("A", "B", distance, 0.99, 1.0)], "A", "B", 0.9) == pytest.approx(expected, abs=1e-15)
