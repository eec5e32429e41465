"""Monte Carlo ensembles: statistics, the captured context and reproducibility."""
import math

import pytest
import reference_model as m

import vorn_core as v

S = v.StrategyType
NO_NETWORK = "No network defined. Call define_network() first."


def chain(n, distance=60.0, fidelity=0.93, config=None):
    """Engine and model network for a chain N0-N1-...-N(n-1)."""
    nodes = [(f"N{i}", 1.0 + i) for i in range(n)]
    links = [(f"N{i}", f"N{i + 1}", distance, fidelity, 500.0) for i in range(n - 1)]
    engine = v.VornEngine(config)
    engine.define_network([v.NodeDefinition(*x) for x in nodes], [v.LinkDefinition(*x) for x in links])
    return engine, m.Network(tuple(nodes), tuple(links))


def stats_tuple(stats):
    return (stats.total_runs, stats.empirical_success_rate, stats.mean_latency_ms, stats.mean_fidelity,
            stats.aggregate_congestion_drops, stats.link_utilization_heatmap)


# ---------------------------------------------------------------------------
# statistics
# ---------------------------------------------------------------------------

@pytest.mark.parametrize("engine", [v.VornEngine(), v.VornEngine(v.SimulationConfig())])
@pytest.mark.parametrize("runs", [0, 10])
def test_simulate_without_network_is_a_runtime_error(engine, runs):
    with pytest.raises(RuntimeError) as info:
        engine.simulate("A", "B", 0.9, 100.0, runs, seed=1)
    assert str(info.value) == NO_NETWORK


def test_zero_runs(chain_engine):
    stats = chain_engine.simulate("A", "C", 0.9, 100.0, 0, seed=5)
    assert stats.total_runs == 0
    assert math.isnan(stats.empirical_success_rate)
    assert math.isnan(stats.mean_latency_ms)
    assert stats.mean_fidelity == 0.0
    assert stats.aggregate_congestion_drops == 0
    assert stats.link_utilization_heatmap == {}
    assert stats._context.seed == 5


def test_no_success_averages_the_failed_latencies():
    # 1000 km at 200 km/ms: 5 ms of signalling against a 4 ms budget
    engine = v.VornEngine()
    engine.define_network([v.NodeDefinition("A", 1.0), v.NodeDefinition("B", 1.0)],
                          [v.LinkDefinition("A", "B", 1000.0, 0.99, 10.0)])
    stats = engine.simulate("A", "B", 0.9, 4.0, 7, seed=3)
    assert (stats.empirical_success_rate, stats.mean_latency_ms, stats.mean_fidelity) == (0.0, 5.0, 0.0)
    assert stats.link_utilization_heatmap == {}


@pytest.mark.parametrize("seed", [-1, 2**64])
def test_seed_out_of_range(chain_engine, seed):
    with pytest.raises(OverflowError):
        chain_engine.simulate("A", "C", 0.9, 100.0, 1, seed=seed)


def test_seed_wraps_after_the_largest_value():
    engine, network = chain(4)
    args = ("N0", "N3", 0.9, 80.0, 2)
    wrapped = engine.simulate(*args, seed=2**64 - 1)
    expected = m.run_ensemble(network, m.Config(), *args[:4], None, 2, 2**64 - 1)
    assert wrapped.link_utilization_heatmap == expected.link_usage
    assert wrapped.mean_latency_ms == expected.mean_latency_ms
    # the second run is the first run of seed 0
    last = engine.simulate(*args[:4], 1, seed=2**64 - 1)
    first_of_zero = engine.simulate(*args[:4], 1, seed=0)
    assert wrapped.aggregate_congestion_drops == last.aggregate_congestion_drops + first_of_zero.aggregate_congestion_drops
    assert wrapped.mean_latency_ms == (last.mean_latency_ms + first_of_zero.mean_latency_ms) / 2


# ---------------------------------------------------------------------------
# reproducibility
# ---------------------------------------------------------------------------

@pytest.mark.parametrize("hops,strategy", [(2, None), (3, S.LowestLatency), (4, S.HighestSuccess), (5, None)])
def test_same_seed_same_statistics_on_multi_hop_routes(hops, strategy):
    engine, _ = chain(hops + 1, config=v.SimulationConfig(alpha_loss_db_km=0.9))
    first = engine.simulate("N0", f"N{hops}", 0.8, 60.0, 300, strategy, 42)
    second = engine.simulate("N0", f"N{hops}", 0.8, 60.0, 300, strategy, 42)
    assert stats_tuple(first) == stats_tuple(second)
    # memory loss matters on these routes: a mixed outcome shows that both
    # generators really decide runs
    assert 0.0 < first.empirical_success_rate < 1.0


def test_different_seeds_differ():
    engine, _ = chain(4, config=v.SimulationConfig(alpha_loss_db_km=0.9))
    results = {stats_tuple(engine.simulate("N0", "N3", 0.8, 60.0, 200, None, seed))[1:5] for seed in (1, 1000, 10**6)}
    assert len(results) > 1


@pytest.mark.parametrize("n,extra", [(1, 4), (3, 5), (7, 1)])
def test_longer_ensemble_extends_the_shorter_one(n, extra):
    """Run i depends only on seed + i: n runs with seed s followed by `extra`
    runs with seed s + n are the n + extra runs with seed s."""
    engine, network = chain(4, config=v.SimulationConfig(alpha_loss_db_km=0.9))
    args = ("N0", "N3", 0.8, 40.0)
    seed = 123456789
    short = engine.simulate(*args, n, None, seed)
    tail = engine.simulate(*args, extra, None, seed + n)
    whole = engine.simulate(*args, n + extra, None, seed)
    successes = round(short.empirical_success_rate * n) + round(tail.empirical_success_rate * extra)
    assert round(whole.empirical_success_rate * (n + extra)) == successes
    assert whole.aggregate_congestion_drops == short.aggregate_congestion_drops + tail.aggregate_congestion_drops
    merged = dict(short.link_utilization_heatmap)
    for key, count in tail.link_utilization_heatmap.items():
        merged[key] = merged.get(key, 0) + count
    assert whole.link_utilization_heatmap == merged
    assert whole.mean_latency_ms == pytest.approx(
        (short.mean_latency_ms * n + tail.mean_latency_ms * extra) / (n + extra), rel=1e-12)
    # and exactly what the model gives for the whole ensemble
    expected = m.run_ensemble(network, m.Config(baseline_purify_factor=0.9 / 10.0), *args, None, n + extra, seed)
    assert stats_tuple(whole)[1:] == (expected.empirical_success_rate, expected.mean_latency_ms,
                                      expected.mean_fidelity, expected.aggregate_congestion_drops,
                                      expected.link_usage)


# ---------------------------------------------------------------------------
# the captured context
# ---------------------------------------------------------------------------

@pytest.mark.parametrize("strategy,code", [(None, None), (S.LowestLatency, 0), (S.HighestFidelity, 1), (S.HighestSuccess, 2)])
@pytest.mark.parametrize("seed", [None, 0, 2**64 - 1])
def test_context_keeps_seed_and_strategy_as_given(chain_engine, strategy, code, seed):
    context = chain_engine.simulate("A", "C", 0.9, 30.0, 2, strategy, seed)._context
    assert context.seed == seed
    assert context.strategy == code
    assert code is None or type(context.strategy) is int


def test_context_copies_request_configuration_and_network():
    config = v.SimulationConfig(total_time_cutoff_ms=123.0, step_resolution_ms=0.5, alpha_loss_db_km=0.3)
    engine = v.VornEngine(config)
    engine.define_network(
        [v.NodeDefinition("C", 1.0), v.NodeDefinition("A", 2.0), v.NodeDefinition("B", 3.0), v.NodeDefinition("A", 4.0)],
        [
            v.LinkDefinition("A", "B", 10.0, 0.9, 100.0),
            v.LinkDefinition("C", "B", 20.0, 0.8, 50.0, v.LinkType.Satellite, v.SatelliteConditions(0.5, 0.5)),
            v.LinkDefinition("B", "A", 30.0, 0.7, 25.0),
        ],
    )
    context = engine.simulate("A", "C", 0.75, 99.0, 3, seed=8)._context
    # nodes in order of first definition; a redefinition replaces the value in place
    assert context.nodes == [("C", 1.0), ("A", 4.0), ("B", 3.0)]
    # satellite type and conditions are not captured
    assert context.links == [("A", "B", 10.0, 0.9, 100.0), ("C", "B", 20.0, 0.8, 50.0), ("B", "A", 30.0, 0.7, 25.0)]
    assert (context.from_node, context.to_node, context.fidelity_target, context.max_latency_ms) == ("A", "C", 0.75, 99.0)
    assert (context.total_time_cutoff_ms, context.step_resolution_ms) == (123.0, 0.5)
    assert context.baseline_purify_factor == 0.3 / 10.0
    # a later definition of the engine does not reach the stored context
    stats = engine.simulate("A", "C", 0.75, 99.0, 1, seed=8)
    engine.define_network([], [])
    assert stats._context.nodes == [("C", 1.0), ("A", 4.0), ("B", 3.0)]


def test_default_engine_configuration_in_context(chain_engine):
    context = chain_engine.simulate("A", "C", 0.9, 30.0, 1)._context
    assert (context.baseline_purify_factor, context.total_time_cutoff_ms, context.step_resolution_ms) == (0.12, 5000.0, 0.1)


def test_context_is_copied_on_every_read(chain_engine):
    stats = chain_engine.simulate("A", "C", 0.9, 30.0, 1, seed=1)
    first = stats._context
    assert first is not stats._context
    first.strategy = 7
    first.nodes = [("Q", 9.0)]
    first.seed = None
    again = stats._context
    assert (again.strategy, again.seed, again.nodes) == (None, 1, [("A", 1.0), ("B", 1.0), ("C", 1.0)])
    # reattaching stores the altered copy
    stats._context = first
    assert (stats._context.strategy, stats._context.nodes) == (7, [("Q", 9.0)])
    stats._context = None
    assert stats._context is None


def test_context_fields_convert_like_arguments(chain_engine):
    context = chain_engine.simulate("A", "C", 0.9, 30.0, 1, seed=1)._context
    context.strategy = 255
    assert context.strategy == 255
    with pytest.raises(OverflowError):
        context.strategy = 256
    assert context.strategy == 255
    with pytest.raises(TypeError):
        type(context)()


def test_constructed_stats_have_no_context_unless_given(chain_engine):
    assert v.MonteCarloStats(1, 1.0, 2.0, 0.9, 0, {})._context is None
    context = chain_engine.simulate("A", "C", 0.9, 30.0, 1, seed=4)._context
    stats = v.MonteCarloStats(1, 1.0, 2.0, 0.9, 0, {"A->B": 3}, context=context)
    assert stats._context.seed == 4
    assert stats.link_utilization_heatmap == {"A->B": 3}
