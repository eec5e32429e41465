"""The physical model against closed forms, limits and a plain reference
simulation (tests/physical_reference.py). Tolerances are a few standard
errors of the ensemble (from the closed-form variance where there is one,
else from the reference runs' own spread)."""
import concurrent.futures
import math
import pathlib
import statistics
import sys

import pytest

import vorn
from vorn.parallel import InlineExecutor
from vorn.physical import bb84_secret_fraction, binary_entropy

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import physical_reference  # noqa: E402

Z = 4.5  # standard errors allowed; seeds are fixed, so a pass is reproducible


def chain(hops, km, fidelity=0.9, rate_hz=1000.0, t2_s=0.0):
    nodes = [vorn.Node(f"N{i}", t2_s) for i in range(hops + 1)]
    links = [vorn.Link(f"N{i}", f"N{i + 1}", km, fidelity, rate_hz) for i in range(hops)]
    return vorn.Network(nodes, links)


def model_for(p, km, **fields):
    """A model whose fiber hops of `km` succeed with probability p."""
    return vorn.PhysicalModel(source_efficiency=p / 10 ** (-0.2 * km / 10), **fields)


@pytest.mark.parametrize("p", [0.5, 0.1, 0.01])
def test_one_hop_waits_tau_over_p_plus_the_signal(p):
    runs = 200_000
    stats = vorn.simulate_physical(chain(1, 40.0), "N0", "N1", runs, seed=3, model=model_for(p, 40.0))
    tau, signal = 1.0, 40.0 / 200.0
    standard_error = tau * math.sqrt(1 - p) / p / math.sqrt(runs)
    assert stats.delivered == runs
    assert abs(stats.mean_delivery_ms - (tau / p + signal)) < Z * standard_error
    assert abs(stats.attempts_per_link["N0->N1"] / runs - 1 / p) < Z * standard_error / tau


@pytest.mark.parametrize("p", [0.7, 0.2, 0.02])
def test_two_equal_hops_wait_for_the_larger_of_two_geometric_waits(p):
    runs = 200_000
    stats = vorn.simulate_physical(chain(2, 30.0), "N0", "N2", runs, seed=8, model=model_for(p, 30.0))
    tau, signal = 1.0, 60.0 / 200.0
    # The larger of two waits varies less than their sum.
    standard_error = tau * math.sqrt(2 * (1 - p)) / p / math.sqrt(runs)
    assert abs(stats.mean_delivery_ms - (tau * (3 - 2 * p) / (p * (2 - p)) + signal)) < Z * standard_error


def test_attempt_time_is_the_herald_round_trip_on_long_hops():
    # 400 km at 1 kHz: the herald takes 2 ms, longer than the source's 1 ms.
    runs, p = 100_000, 0.25
    stats = vorn.simulate_physical(chain(1, 400.0), "N0", "N1", runs, seed=4, model=model_for(p, 400.0))
    standard_error = 2.0 * math.sqrt(1 - p) / p / math.sqrt(runs)
    assert abs(stats.mean_delivery_ms - (2.0 / p + 2.0)) < Z * standard_error


@pytest.mark.parametrize("f1, f2", [(0.9, 0.8), (0.99, 0.6), (0.75, 0.75), (1.0, 0.5)])
def test_werner_swapping_gives_the_closed_form(f1, f2):
    network = vorn.Network([vorn.Node("A", 0.0), vorn.Node("B", 0.0), vorn.Node("C", 0.0)],
                           [vorn.Link("A", "B", 20.0, f1, 1000.0), vorn.Link("B", "C", 20.0, f2, 1000.0)])
    stats = vorn.simulate_physical(network, "A", "C", 2_000, seed=1, model=model_for(0.3, 20.0))
    assert stats.mean_fidelity == pytest.approx(f1 * f2 + (1 - f1) * (1 - f2) / 3, abs=1e-12)


def test_three_swapped_pairs_multiply_their_werner_parameters():
    stats = vorn.simulate_physical(chain(4, 20.0, fidelity=0.95), "N0", "N4", 1_000, seed=1,
                                   model=model_for(0.5, 20.0))
    w = (4 * 0.95 - 1) / 3
    assert stats.mean_fidelity == pytest.approx((1 + 3 * w ** 4) / 4, abs=1e-12)


def test_endless_memories_do_not_decay_and_short_ones_do():
    model = model_for(0.05, 20.0)
    swapped = (1 + 3 * ((4 * 0.9 - 1) / 3) ** 2) / 4
    endless = vorn.simulate_physical(chain(2, 20.0, t2_s=math.inf), "N0", "N2", 5_000, seed=2, model=model)
    assert endless.mean_fidelity == pytest.approx(swapped, abs=1e-12)
    long_lived = vorn.simulate_physical(chain(2, 20.0, t2_s=1e9), "N0", "N2", 5_000, seed=2, model=model)
    assert long_lived.mean_fidelity == pytest.approx(swapped, abs=1e-9)
    short = vorn.simulate_physical(chain(2, 20.0, t2_s=0.01), "N0", "N2", 5_000, seed=2, model=model)
    assert short.mean_fidelity < swapped - 0.05


def test_one_hop_decays_through_its_signalling_time():
    # p = 1: the pair arrives after 1 ms and is delivered 0.5 ms later; both
    # end qubits wait 0.5 ms in memories of T2 = 0.1 s.
    stats = vorn.simulate_physical(chain(1, 100.0, fidelity=0.9, t2_s=0.1), "N0", "N1", 10, seed=1,
                                   model=vorn.PhysicalModel(attenuation_db_km=0.0, source_efficiency=1.0))
    w = (4 * 0.9 - 1) / 3
    assert stats.mean_delivery_ms == pytest.approx(1.5)
    assert stats.mean_fidelity == pytest.approx((1 + 3 * w * math.exp(-2 * 0.5 / 100.0)) / 4, abs=1e-12)


def test_swaps_that_always_fail_never_deliver_on_three_or_more_nodes():
    model = vorn.PhysicalModel(swap_success=0.0)
    for hops in (2, 3, 5):
        stats = vorn.simulate_physical(chain(hops, 10.0), "N0", f"N{hops}", 1_000, seed=1, model=model)
        assert stats.delivered == 0 and stats.successes == 0
        assert stats.secret_key_rate_bps == 0.0
    assert vorn.simulate_physical(chain(1, 10.0), "N0", "N1", 100, seed=1, model=model).delivered == 100


def test_hundred_kilometres_of_fiber_keep_one_percent_of_the_source():
    runs = 100_000
    for efficiency in (0.5, 0.9):
        stats = vorn.simulate_physical(chain(1, 100.0), "N0", "N1", runs, seed=6,
                                       model=vorn.PhysicalModel(source_efficiency=efficiency))
        p = efficiency * 0.01
        mean_attempts = stats.attempts_per_link["N0->N1"] / runs
        assert abs(mean_attempts - 1 / p) < Z * math.sqrt(1 - p) / p / math.sqrt(runs)


def test_satellite_links_use_their_fixed_loss_and_conditions():
    runs = 100_000
    network = vorn.Network([vorn.Node("G", 0.0), vorn.Node("S", 0.0)],
                           [vorn.Link("G", "S", 1000.0, 0.9, 1000.0, "Satellite", 0.5, 0.8)])
    model = vorn.PhysicalModel(satellite_loss_db=3.0, source_efficiency=0.5)
    stats = vorn.simulate_physical(network, "G", "S", runs, seed=2, model=model)
    p = 0.5 * 0.5 * 0.8 * 10 ** -0.3
    mean_attempts = stats.attempts_per_link["G->S"] / runs
    assert abs(mean_attempts - 1 / p) < Z * math.sqrt(1 - p) / p / math.sqrt(runs)


def test_median_delivery_is_the_geometric_median():
    p, runs = 0.1, 100_001
    stats = vorn.simulate_physical(chain(1, 10.0), "N0", "N1", runs, seed=9, model=model_for(p, 10.0))
    # P(K <= k) = 1 - 0.9^k: the median is k = 7 (0.522), the 90 % point 22 (0.902).
    assert stats.delivery_ms_quantiles[0.5] == pytest.approx(7 + 0.05, rel=1 / 128)
    assert stats.delivery_ms_quantiles[0.9] == pytest.approx(22 + 0.05, rel=1 / 128)


def test_the_latency_budget_bounds_delivery_and_success():
    p, budget = 0.1, 5.0
    stats = vorn.simulate_physical(chain(1, 10.0), "N0", "N1", 50_000, seed=5, model=model_for(p, 10.0),
                                   max_latency_ms=budget)
    # Delivered within 5 ms: at most 4 attempts (4.05 ms), 1 - 0.9^4.
    rate = 1 - 0.9 ** 4
    assert abs(stats.delivered / stats.total_runs - rate) < Z * math.sqrt(rate * (1 - rate) / 50_000)
    assert stats.successes == stats.delivered
    assert stats.delivery_ms_quantiles[0.99] <= budget


def test_qkd_figures_follow_from_the_mean_fidelity():
    assert binary_entropy(0.5) == 1.0 and binary_entropy(0.0) == 0.0
    assert binary_entropy(0.11) == pytest.approx(0.4999, abs=1e-3)
    assert bb84_secret_fraction(0.0) == 1.0
    assert bb84_secret_fraction(0.12) == 0.0  # beyond the 11 % threshold
    stats = vorn.simulate_physical(chain(1, 10.0, fidelity=0.99), "N0", "N1", 10_000, seed=1,
                                   model=model_for(0.5, 10.0))
    qber = 2 * (1 - 0.99) / 3
    assert stats.mean_qber == pytest.approx(qber)
    assert stats.secret_fraction == pytest.approx(1 - 2 * binary_entropy(qber))
    assert stats.pairs_per_second == pytest.approx(1000.0 / stats.mean_delivery_ms)
    assert stats.secret_key_rate_bps == pytest.approx(stats.secret_fraction * stats.pairs_per_second)


# The reference chain: three hops of 1, 2 and 1 ms, lossy, short memories,
# unreliable swaps, a cutoff and a budget, so that every rule takes part.
REFERENCE = dict(tau=[1.0, 2.0, 1.0], fidelity=[0.95, 0.9, 0.97], t2_s=[1.0, 0.005, 0.01, 2.0],
                 swap_success=0.8, cutoff_ms=4.0, signalling_ms=0.15, max_latency_ms=25.0, fidelity_target=0.7)


def reference_network():
    nodes = [vorn.Node(f"N{i}", t2) for i, t2 in enumerate(REFERENCE["t2_s"])]
    rates = [1000.0 / tau for tau in REFERENCE["tau"]]
    links = [vorn.Link(f"N{i}", f"N{i + 1}", 10.0, f, rate)
             for i, (f, rate) in enumerate(zip(REFERENCE["fidelity"], rates))]
    return vorn.Network(nodes, links)


def close(engine_mean, engine_runs, reference_values):
    spread = statistics.pstdev(reference_values)
    error = spread * math.sqrt(1 / engine_runs + 1 / len(reference_values))
    return abs(engine_mean - statistics.fmean(reference_values)) <= Z * error + 1e-12


def test_engine_matches_the_reference_simulation_in_distribution():
    efficiency = 0.6
    p = efficiency * 10 ** (-0.2 * 10 / 10)
    reference = physical_reference.ensemble(20_000, 1, p=[p] * 3, **REFERENCE)
    runs = 200_000
    stats = vorn.simulate_physical(reference_network(), "N0", "N3", runs, seed=1,
                                   fidelity_target=REFERENCE["fidelity_target"],
                                   max_latency_ms=REFERENCE["max_latency_ms"],
                                   model=vorn.PhysicalModel(source_efficiency=efficiency, swap_success=0.8,
                                                            memory_cutoff_ms=4.0))
    delivered = [run for run in reference if run.delivered]
    assert 0.2 < len(delivered) / len(reference) < 0.95  # the budget matters
    assert close(stats.delivered / runs, runs, [float(run.delivered) for run in reference])
    assert close(stats.success_rate, runs, [float(run.success) for run in reference])
    assert close(stats.mean_delivery_ms, stats.delivered, [run.delivery_ms for run in delivered])
    assert close(stats.mean_fidelity, stats.delivered, [run.fidelity for run in delivered])
    for hop in range(3):
        assert close(stats.attempts_per_link[f"N{hop}->N{hop + 1}"] / runs, runs,
                     [float(run.attempts[hop]) for run in reference])


def test_seeded_ensembles_are_identical_on_any_executor_and_thread_count(monkeypatch):
    network, model = reference_network(), vorn.PhysicalModel(swap_success=0.9, memory_cutoff_ms=6.0)
    kwargs = dict(seed=77, model=model, chunk_runs=20_000)
    inline = vorn.simulate_physical(network, "N0", "N3", 70_000, executor=InlineExecutor(), **kwargs)
    with concurrent.futures.ThreadPoolExecutor(3) as pool:
        threads = vorn.simulate_physical(network, "N0", "N3", 70_000, executor=pool, **kwargs)
    processes = vorn.simulate_physical(network, "N0", "N3", 70_000, **kwargs)
    assert inline == threads == processes
    assert inline.chunks == 4
    monkeypatch.setenv("VORN_NUM_THREADS", "1")
    one = vorn.simulate_physical(network, "N0", "N3", 70_000, seed=77, model=model)
    monkeypatch.setenv("VORN_NUM_THREADS", "3")
    three = vorn.simulate_physical(network, "N0", "N3", 70_000, seed=77, model=model)
    assert one == three
    # Chunking changes only the rounding of the sums.
    assert one.delivered == inline.delivered and one.attempts_per_link == inline.attempts_per_link
    assert one.delivery_ms_quantiles == inline.delivery_ms_quantiles
    assert one.mean_delivery_ms == pytest.approx(inline.mean_delivery_ms, rel=1e-13)


def test_the_route_is_the_one_the_round_model_picks():
    network = vorn.builtin("repeater_chain")
    stats = vorn.simulate_physical(network, "N0", "N3", 100, seed=1)
    round_model = network.request("N0", "N3", 0.0, 100.0, seed=1)
    assert list(stats.path) == list(round_model.execution_path)


def test_results_convert_to_plain_data_and_frames():
    stats = vorn.simulate_physical(chain(2, 10.0), "N0", "N2", 1_000, seed=1)
    plain = vorn.to_dict(stats)
    assert plain["delivered"] == 1_000 and plain["attempts_per_link"]["N0->N1"] > 0
    assert set(plain["delivery_ms_quantiles"]) == {"0.5", "0.9", "0.99"}
    pytest.importorskip("pandas")
    frame = vorn.to_frame(stats)
    assert frame.loc[0, "delivered"] == 1_000 and "delivery_ms_p99" in frame.columns


def test_arguments_are_checked_before_any_run():
    network = chain(1, 10.0)
    with pytest.raises(vorn.UnknownNodeError):
        vorn.simulate_physical(network, "N0", "X", 10)
    with pytest.raises(TypeError):
        vorn.simulate_physical(network, "N0", "N1", 10, model={"swap_success": 0.5})
    with pytest.raises(TypeError):
        vorn.PhysicalModel(swap_success="high")
    for cutoff in (-1.0, math.nan):
        with pytest.raises(ValueError):
            vorn.PhysicalModel(memory_cutoff_ms=cutoff)
    with pytest.raises(OverflowError):  # as vorn.simulate refuses it
        vorn.simulate_physical(network, "N0", "N1", -1)
    empty = vorn.simulate_physical(network, "N0", "N1", 0, seed=1)
    assert empty.total_runs == 0 and math.isnan(empty.success_rate)


def test_sweeps_run_on_the_physical_model_when_given_one():
    pytest.importorskip("pandas")
    network = chain(2, 30.0)
    model = model_for(0.2, 30.0)
    grid = {"from_node": "N0", "to": "N2", "fidelity_target": [0.0, 0.99], "max_latency_ms": [math.inf, 4.0]}
    frame = vorn.sweep(network, grid, 5_000, seed=10, model=model, executor=InlineExecutor())
    assert list(frame.columns[-10:]) == ["success_rate", "ci_low", "ci_high", "delivered", "mean_delivery_ms",
                                         "mean_fidelity", "pairs_per_second", "secret_key_rate_bps", "runs", "seed"]
    # Point k is the ensemble of seed 10 + k x runs.
    for k, row in enumerate(frame.itertuples()):
        stats = vorn.simulate_physical(network, "N0", "N2", 5_000, seed=10 + k * 5_000, model=model,
                                       fidelity_target=row.fidelity_target, max_latency_ms=row.max_latency_ms)
        assert row.success_rate == stats.success_rate and row.delivered == stats.delivered
    # Rows: (0, inf), (0, 4 ms), (0.99, inf), (0.99, 4 ms); 0.99 is above two swapped pairs of 0.9.
    assert list(frame["success_rate"][[0, 2, 3]]) == [1.0, 0.0, 0.0]
    assert 0.0 < frame.loc[1, "success_rate"] < 1.0
    # The round model's sweep is unchanged without a model.
    round_model = vorn.sweep(network, {"from_node": "N0", "to": "N2", "fidelity_target": 0.5, "max_latency_ms": 50.0},
                          200, seed=1, executor=InlineExecutor())
    assert "drops" in round_model.columns and "delivered" not in round_model.columns
