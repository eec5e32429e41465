"""One result type for an ensemble: `Network.simulate` and `vorn.simulate`
both return `EnsembleStats`, which still offers everything the engine's
`MonteCarloStats` did; the strategy names are the engine's own."""
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn
import vorn_core
from vorn import cli
from vorn._members import STRATEGIES, members
from vorn.data import to_dict
from vorn.network import seed_and_strategy, strategy_name, strategy_type
from vorn.parallel import InlineExecutor

CHAIN = vorn.builtin("repeater_chain")
REQUEST = ("N0", "N3", 0.9, 60.0)
STRATEGY_ARGUMENTS = [None, *STRATEGIES, *members(vorn_core.StrategyType).values()]


@settings(max_examples=15, deadline=None)
@given(runs=st.integers(1, 300), seed=st.integers(0, 2**64 - 1), strategy=st.sampled_from(STRATEGY_ARGUMENTS),
       chunk_runs=st.integers(1, 120))
def test_one_call_and_merged_chunks_give_the_same_stats(runs, seed, strategy, chunk_runs):
    one = CHAIN.simulate(*REQUEST, runs, seed, strategy)
    merged = vorn.simulate(CHAIN, *REQUEST, runs, seed, strategy, executor=InlineExecutor(), chunk_runs=chunk_runs,
                           progress=False)
    assert type(one) is type(merged) is vorn.EnsembleStats
    exact = ("total_runs", "successes", "aggregate_congestion_drops", "link_utilization_heatmap", "seed", "strategy")
    assert [getattr(one, name) for name in exact] == [getattr(merged, name) for name in exact]
    for name in ("empirical_success_rate", "mean_latency_ms", "mean_fidelity"):
        assert getattr(merged, name) == pytest.approx(getattr(one, name), rel=1e-12, abs=0.0)
    assert to_dict(merged.context) == to_dict(one.context)
    # the engine's own record, field for field
    engine = CHAIN.engine().simulate(*REQUEST, runs, strategy_type(strategy), seed)
    assert to_dict(one.engine_stats()) == to_dict(engine)
    assert one.successes == round(engine.empirical_success_rate * runs)


def test_what_monte_carlo_stats_offered_is_still_there():
    one = CHAIN.simulate(*REQUEST, 60, seed=4)
    engine = CHAIN.engine().simulate(*REQUEST, 60, None, 4)
    merged = vorn.simulate(CHAIN, *REQUEST, 60, seed=4, executor=InlineExecutor(), chunk_runs=7, progress=False)
    # the engine's analysis of the same context gives the same impacts, also for merged chunks
    assert one.sensitivity_analysis(seed_base=9) == engine.sensitivity_analysis(9) == merged.sensitivity_analysis(9)
    # _context is a copy; assigning it back changes the stored one
    context = one._context
    context.fidelity_target = 0.5
    assert one._context.fidelity_target == 0.9
    one._context = context
    assert one.context.fidelity_target == 0.5 and one.engine_stats()._context.fidelity_target == 0.5
    one.total_runs = 61  # fields are read-write, as on the record
    assert one.engine_stats().total_runs == 61
    dropped = CHAIN.simulate(*REQUEST, 5, seed=1, store_context=False)
    assert dropped._context is None and dropped.context is None
    with pytest.raises(ValueError):
        dropped.sensitivity_analysis(1)


def test_an_unseeded_ensemble_reports_a_seed_that_repeats_it():
    stats = CHAIN.simulate(*REQUEST, 200)
    again = CHAIN.simulate(*REQUEST, 200, seed=stats.seed)
    assert 0 <= stats.seed < 2**64 and stats == again and stats.context.seed == stats.seed


@given(seed=st.one_of(st.none(), st.integers(0, 2**64 - 1)), strategy=st.sampled_from(STRATEGY_ARGUMENTS))
def test_seed_and_strategy_in_either_order(seed, strategy):
    assert seed_and_strategy(seed, strategy) == (seed, strategy)
    assert seed_and_strategy(strategy, seed) == (seed, strategy)


def test_the_engines_argument_order_gives_the_same_ensemble():
    ours = CHAIN.simulate(*REQUEST, 50, 7, "LowestLatency")
    assert CHAIN.simulate(*REQUEST, 50, "LowestLatency", 7) == ours
    assert CHAIN.simulate(*REQUEST, 50, vorn_core.StrategyType.LowestLatency, 7) == ours
    assert vorn.simulate(CHAIN, *REQUEST, 50, "LowestLatency", 7, executor=InlineExecutor()) == ours
    with pytest.raises(TypeError, match="strategy must be a StrategyType"):
        CHAIN.simulate(*REQUEST, 50, 7, 8)


def test_strategy_names_are_the_engines():
    by_code = sorted(members(vorn_core.StrategyType).items(), key=lambda item: item[1].to_u8())
    assert [name for name, _ in by_code] == list(STRATEGIES)
    for name, member in by_code:
        assert strategy_type(name) is member and strategy_name(member) == name
        assert cli.build_parser().parse_args(["route", "F", "A", "B", "--strategy", name]).strategy == name
