"""bench/peers.py sets up the sequence peer so that its hops succeed with the
same p as the physical model's; these check that mapping, against its closed
form and against sequence itself where the bench extra is installed."""
import importlib.util
import math
import pathlib

import pytest

_PATH = pathlib.Path(__file__).resolve().parent.parent / "bench" / "peers.py"
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
