"""Sensitivity analysis: every parameter of a stored context scaled by 0.9 and
1.1, rerun with its own seeds, ranked by impact.

The expected dict is rebuilt here from `simulate` on hand-perturbed networks:
entry k reruns with seeds seed_base + 2k (scaled down) and seed_base + 2k + 1
(scaled up), each with max(200, 50 * nodes) runs.
"""
import math

import pytest

import vorn_core as v

NO_CONTEXT = "No simulation context available. Pass store_context=True to simulate()."


def build(nodes, links, alpha=0.5, strategy=None, request=("N0", "N2", 0.85, 30.0), runs=60, seed=11):
    engine = v.VornEngine(v.SimulationConfig(total_time_cutoff_ms=500.0, alpha_loss_db_km=alpha))
    engine.define_network([v.NodeDefinition(*n) for n in nodes], [v.LinkDefinition(*k) for k in links])
    return engine.simulate(*request, runs, strategy, seed)


CHAIN_NODES = [("N0", 1.0), ("N1", 2.0), ("N2", 3.0)]
CHAIN_LINKS = [("N0", "N1", 40.0, 0.95, 900.0), ("N1", "N2", 80.0, 0.93, 700.0)]


def config_with_factor(context, factor):
    """A SimulationConfig whose baseline_purify_factor is exactly `factor`."""
    alpha = factor * 10.0
    for _ in range(8):
        if alpha / 10.0 == factor:
            break
        alpha = math.nextafter(alpha, math.inf if alpha / 10.0 < factor else -math.inf)
    config = v.SimulationConfig(total_time_cutoff_ms=context.total_time_cutoff_ms,
                                step_resolution_ms=context.step_resolution_ms, alpha_loss_db_km=alpha)
    assert config.physical.baseline_purify_factor == factor
    return config


def strategy_of(code):
    if code is None:
        return None
    return {2: v.StrategyType.HighestSuccess, 1: v.StrategyType.HighestFidelity}.get(code, v.StrategyType.LowestLatency)


def rerun_rate(context, nodes, links, factor, seed):
    engine = v.VornEngine(config_with_factor(context, factor))
    engine.define_network([v.NodeDefinition(*n) for n in nodes], [v.LinkDefinition(*k) for k in links])
    runs = max(200, 50 * len(context.nodes))
    stats = engine.simulate(context.from_node, context.to_node, context.fidelity_target, context.max_latency_ms,
                            runs, strategy_of(context.strategy), seed)
    return stats.empirical_success_rate


def entries(context):
    """(display name, perturb(f) -> (nodes, links, purify factor)) in parameter-list order."""
    nodes, links, beta = context.nodes, context.links, context.baseline_purify_factor
    result = []
    for i, (node_id, _) in enumerate(nodes):
        def perturb(f, i=i):
            changed = list(nodes)
            changed[i] = (changed[i][0], changed[i][1] * f)
            return changed, links, beta
        result.append((f"memory_lifetime_t2:{node_id}", perturb))
    for i, link in enumerate(links):
        for p, name in [(2, "distance_km"), (3, "base_fidelity"), (4, "generation_rate_hz")]:
            def perturb(f, i=i, p=p):
                changed = list(links)
                values = list(changed[i])
                values[p] = values[p] * f
                changed[i] = tuple(values)
                return nodes, changed, beta
            result.append((f"{name}:{link[0]}->{link[1]}", perturb))
    result.append(("alpha_loss_db_km", lambda f: (nodes, links, beta * f)))
    return result


def impact_of(context, perturb, k, seed_base, baseline):
    seed = (seed_base + 2 * k) % 2**64
    minus = rerun_rate(context, *perturb(0.9), seed)
    plus = rerun_rate(context, *perturb(1.1), (seed + 1) % 2**64)
    if baseline < 0.01:
        return 0.0, minus, plus
    return (abs(plus - baseline) + abs(minus - baseline)) / baseline, minus, plus


def expected_analysis(context, seed_base, baseline):
    pairs = [(name, impact_of(context, perturb, k, seed_base, baseline)[0])
             for k, (name, perturb) in enumerate(entries(context))]
    ranked = sorted(pairs, key=lambda pair: pair[1], reverse=True)  # stable
    result = {}
    for name, value in ranked:
        result[name] = value
    return result


# ---------------------------------------------------------------------------

@pytest.mark.parametrize("nodes,links,strategy,seed_base", [
    (CHAIN_NODES, CHAIN_LINKS, None, 100),
    (CHAIN_NODES, CHAIN_LINKS, v.StrategyType.HighestSuccess, 2**64 - 3),  # seeds wrap
    # five nodes: 250 runs per rerun; two links share a display name
    (CHAIN_NODES + [("N3", 1.0), ("N4", 1.0)],
     CHAIN_LINKS + [("N2", "N3", 10.0, 0.9, 10.0), ("N0", "N1", 5.0, 0.7, 10.0)], None, 7),
])
def test_analysis_matches_reruns_of_perturbed_networks(nodes, links, strategy, seed_base):
    stats = build(nodes, links, strategy=strategy)
    assert 0.01 <= stats.empirical_success_rate
    result = stats.sensitivity_analysis(seed_base)
    expected = expected_analysis(stats._context, seed_base, stats.empirical_success_rate)
    assert list(result.items()) == list(expected.items())
    assert any(value > 0.0 for value in result.values())


def test_entries_names_and_order():
    nodes = [("B", 1.0), ("A", 2.0)]
    links = [("A", "B", 30.0, 0.95, 100.0), ("B", "X", 10.0, 0.9, 50.0)]
    result = build(nodes, links, request=("A", "B", 0.9, 30.0)).sensitivity_analysis(5)
    assert len(result) == 2 + 3 * 2 + 1
    assert set(result) == {
        "memory_lifetime_t2:B", "memory_lifetime_t2:A",
        "distance_km:A->B", "base_fidelity:A->B", "generation_rate_hz:A->B",
        "distance_km:B->X", "base_fidelity:B->X", "generation_rate_hz:B->X",
        "alpha_loss_db_km",
    }
    values = list(result.values())
    assert values == sorted(values, reverse=True)
    assert all(isinstance(x, float) for x in values)


def test_same_seed_base_same_dict():
    stats = build(CHAIN_NODES, CHAIN_LINKS)
    first = stats.sensitivity_analysis(2024)
    assert list(stats.sensitivity_analysis(2024).items()) == list(first.items())


def test_node_entries_use_their_seed_pairs():
    """Node T2 does not enter a request, so the two reruns of a node entry
    differ only by their seeds."""
    stats = build(CHAIN_NODES, CHAIN_LINKS)
    context, baseline, seed_base = stats._context, stats.empirical_success_rate, 300
    result = stats.sensitivity_analysis(seed_base)
    table = entries(context)
    node_reruns = [impact_of(context, table[k][1], k, seed_base, baseline) for k in range(3)]
    assert [result[f"memory_lifetime_t2:N{k}"] for k in range(3)] == [r[0] for r in node_reruns]
    assert any(minus != plus for _, minus, plus in node_reruns)  # the seeds really differ


def test_loss_entry_scales_the_stored_factor():
    """One link of fidelity 0.9 and a target of 0.96: one purification reaches
    the target with the stored factor 0.05 scaled (0.045, 0.055), not with the
    nominal 0.018 or 0.022."""
    stats = build([("A", 1.0), ("B", 1.0)], [("A", "B", 10.0, 0.9, 100.0)], request=("A", "B", 0.96, 30.0))
    context, baseline, seed_base = stats._context, stats.empirical_success_rate, 55
    assert context.baseline_purify_factor == 0.05 and baseline > 0.5
    result = stats.sensitivity_analysis(seed_base)
    table = entries(context)
    k = len(table) - 1
    assert table[k][0] == "alpha_loss_db_km" and k == 2 + 3
    impact, minus, plus = impact_of(context, table[k][1], k, seed_base, baseline)
    assert minus > 0.5 and plus > 0.5  # the nominal factors would make every rerun fail
    assert result["alpha_loss_db_km"] == impact


def test_missing_context():
    stats = v.MonteCarloStats(10, 0.5, 1.0, 0.9, 0, {})
    with pytest.raises(ValueError) as info:
        stats.sensitivity_analysis(1)
    assert str(info.value) == NO_CONTEXT
    simulated = build(CHAIN_NODES, CHAIN_LINKS)
    simulated._context = None
    with pytest.raises(ValueError) as info:
        simulated.sensitivity_analysis(1)
    assert str(info.value) == NO_CONTEXT


@pytest.mark.parametrize("baseline", [0.5, 0.2, 0.0099, 0.0])
def test_reattached_context_uses_this_objects_rate(baseline):
    source = build(CHAIN_NODES, CHAIN_LINKS)
    stats = v.MonteCarloStats(3, baseline, 0.0, 0.0, 0, {})
    stats._context = source._context
    result = stats.sensitivity_analysis(40)
    assert list(result.items()) == list(expected_analysis(source._context, 40, baseline).items())
    if baseline < 0.01:
        assert set(result.values()) == {0.0} and len(result) == 3 + 3 * 2 + 1


DIAMOND_NODES = [("A", 1.0), ("B", 1.0), ("C", 1.0), ("D", 1.0)]
# LowestLatency takes A-B-D, HighestSuccess takes A-C-D
DIAMOND_LINKS = [("A", "B", 10.0, 0.8, 100.0), ("B", "D", 10.0, 0.8, 100.0),
                 ("A", "C", 150.0, 0.97, 1000.0), ("C", "D", 150.0, 0.97, 1000.0)]


def test_unknown_strategy_number_reruns_as_lowest_latency():
    stats = build(DIAMOND_NODES, DIAMOND_LINKS, strategy=v.StrategyType.HighestSuccess, request=("A", "D", 0.7, 40.0))
    context = stats._context
    results = {}
    for code in (7, 0, 2):
        context.strategy = code
        stats._context = context
        results[code] = list(stats.sensitivity_analysis(9).items())
    assert results[7] == results[0]
    assert results[7] != results[2]


def test_nan_baseline_keeps_parameter_order():
    # an ensemble of 0 runs has a NaN success rate: it is not below 0.01, so
    # every impact is NaN and the stable sort keeps the parameter-list order
    stats = build(CHAIN_NODES, CHAIN_LINKS, runs=0)
    result = stats.sensitivity_analysis(3)
    assert list(result) == [name for name, _ in entries(stats._context)]
    assert all(math.isnan(x) for x in result.values())
