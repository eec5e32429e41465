"""bench/peers.py sets up the sequence peer so that its hops succeed with the
same p as the physical model's, and runs the chain on qns's timeline by a
protocol of its own (bench/qns_chain.py). These check the sequence mapping
against its closed form and against sequence itself, and the qns chain's
delivery times and fidelities against theirs, where the bench extra is
installed."""
import importlib.util
import math
import pathlib
import statistics

import pytest

_BENCH = pathlib.Path(__file__).resolve().parent.parent / "bench"
_PATH = _BENCH / "peers.py"
_SPEC = importlib.util.spec_from_file_location("bench_peers", _PATH)
peers = importlib.util.module_from_spec(_SPEC)
_SPEC.loader.exec_module(peers)


@pytest.mark.parametrize("p", [0.5, 0.3, 0.158, 0.1, 1e-3, 1e-6])
def test_sequence_hop_gives_p_through_two_heralding_rounds(p):
    efficiency, attenuation_db_m = peers.sequence_hop(p)
    half_hop_m = peers.KM * 1000 / 2
    eta = efficiency * 10 ** (-attenuation_db_m * half_hop_m / 10)
    assert eta**2 / 2 == pytest.approx(p, rel=1e-12)
    assert 0 < efficiency <= 1
    # The fiber keeps the physical model's loss whenever the memory's
    # efficiency can make up the rest of the hop's loss.
    lossy_possible = math.sqrt(2 * p) <= 10 ** (-peers.ATTENUATION_DB_KM * peers.KM / 2 / 10)
    assert attenuation_db_m == (peers.ATTENUATION_DB_KM / 1000 if lossy_possible else 0.0)


def test_sequence_hop_refuses_what_two_rounds_cannot_reach():
    with pytest.raises(ValueError, match="at most half"):
        peers.sequence_hop(0.6)


@pytest.mark.parametrize("p", [0.5, 0.05])  # a lossless and a lossy fiber
def test_sequence_chain_hops_succeed_with_p(p):
    pytest.importorskip("sequence")
    delivered, _, simulated_s, hop_success = peers.sequence_pairs(p, 0.3, math.inf)
    assert simulated_s == pytest.approx(0.3)
    assert delivered > 0
    # Hundreds of attempts per hop: within a few standard deviations of p.
    assert hop_success == pytest.approx(p, abs=0.08 * math.sqrt(p))


@pytest.mark.parametrize("p", [0.5, 0.1, 0.01])
def test_slowest_hop_attempts_match_their_series(p):
    # E[max of n geometric counts] = sum over k >= 0 of P(max > k).
    for hops in (1, 2, 3, 4, 8):
        series = math.fsum(1 - (1 - (1 - p) ** k) ** hops for k in range(int(60 / p)))
        assert peers.expected_slowest_attempts(p, hops) == pytest.approx(series, rel=1e-9)
    assert peers.expected_slowest_attempts(p, 1) == pytest.approx(1 / p, rel=1e-12)
    assert peers.expected_slowest_attempts(p, 2) == pytest.approx((3 - 2 * p) / (p * (2 - p)), rel=1e-12)


HOP_MS = peers.KM / peers.SPEED_KM_MS
W0 = (4 * peers.FIDELITY - 1) / 3


@pytest.fixture
def qns_chain(monkeypatch):
    pytest.importorskip("qns")
    monkeypatch.syspath_prepend(str(_BENCH))
    import qns_chain

    return qns_chain


def run_chain(qns_chain, hops, p, t2_s, simulated_s):
    simulator, runs = qns_chain.chain(hops, peers.KM, peers.SPEED_KM_MS, peers.RATE_HZ, peers.FIDELITY, p, t2_s,
                                      simulated_s, seed=3)
    simulator.run()
    return runs


@pytest.mark.parametrize(("hops", "p"), [(1, 0.3), (2, 0.1), (4, 0.5)])
def test_qns_chain_delivers_near_its_closed_form(qns_chain, hops, p):
    runs, _ = peers.qns_runs(p, 5.0, hops=hops)
    delivered = len(runs.delivery_ms)
    assert delivered > 100
    assert runs.heralds / runs.attempts == pytest.approx(p, abs=4.5 * math.sqrt(p * (1 - p) / runs.attempts))
    # A run lasts whole source periods for the slowest hop, then its herald's
    # round trip and the route's signalling.
    fixed_ms = 2 * HOP_MS + hops * HOP_MS
    periods = [(ms - fixed_ms) * peers.RATE_HZ / 1000 for ms in runs.delivery_ms]
    assert all(k >= 1 - 1e-9 and k == pytest.approx(round(k), abs=1e-9) for k in periods)
    standard_error = statistics.stdev(runs.delivery_ms) / math.sqrt(delivered)
    closed = peers.expected_delivery_ms(p, hops, herald_ms=2 * HOP_MS)
    assert abs(statistics.fmean(runs.delivery_ms) - closed) < 4.5 * standard_error


def test_qns_chain_swaps_werner_pairs(qns_chain):
    runs = run_chain(qns_chain, 4, 0.5, math.inf, 0.3)  # memories that do not decay
    assert len(runs.fidelities) > 20
    for fidelity in runs.fidelities:
        assert fidelity == pytest.approx((1 + 3 * W0**4) / 4, rel=1e-12)


def test_qns_chain_decays_each_half_for_its_time_in_memory(qns_chain):
    # One hop: the source's half waits from the firing to the delivery, a
    # round trip and the signalling (3 hop delays); the receiver's from the
    # photon's arrival (2 hop delays).
    t2_s = 0.01
    runs = run_chain(qns_chain, 1, 0.5, t2_s, 0.2)
    assert len(runs.fidelities) > 20
    w = W0 * math.exp(-5 * HOP_MS / 1000 / t2_s)
    for fidelity in runs.fidelities:
        assert fidelity == pytest.approx((1 + 3 * w) / 4, rel=1e-9)
