"""vorn.rate_vs_distance and its picture."""
import math

import pytest

import vorn
from vorn.rate_distance import repeaterless_bound_bps

pytest.importorskip("pandas")


def test_one_segment_rows_follow_the_direct_link_closed_form():
    runs = 50_000
    frame = vorn.rate_vs_distance([20.0, 60.0], segments=(1,), runs=runs, seed=3)
    for row in frame.itertuples():
        p = 0.5 * 10 ** (-0.2 * row.distance_km / 10)
        mean_ms = 1.0 / p + row.distance_km / 200.0  # 1 ms attempts, then the signal
        relative_error = math.sqrt(1 - p) / p / mean_ms / math.sqrt(runs)
        assert row.pairs_per_second == pytest.approx(1000.0 / mean_ms, rel=4.5 * relative_error)
        assert row.delivered == runs


def test_the_bound_is_the_capacity_of_a_direct_link_per_attempt():
    model = vorn.PhysicalModel()
    # 50 km at 0.2 dB/km: eta = 0.1; 1 ms attempts (the herald takes 0.25 ms).
    assert repeaterless_bound_bps(50.0, model, 1000.0) == pytest.approx(-math.log2(0.9) * 1000.0)
    # 1000 km: the herald's 5 ms decide the attempt rate.
    assert repeaterless_bound_bps(1000.0, model, 1000.0) == pytest.approx(-math.log2(1 - 1e-20) * 200.0)


def test_repeaters_beat_the_direct_link_far_away_and_not_nearby():
    frame = vorn.rate_vs_distance([25.0, 300.0], segments=(1, 8), runs=20_000, seed=1)
    rate = {(row.distance_km, row.segments): row.secret_key_rate_bps for row in frame.itertuples()}
    assert rate[(25.0, 1)] > rate[(25.0, 8)]
    assert rate[(300.0, 8)] > 1000 * rate[(300.0, 1)] > 0
    assert list(frame.columns)[:3] == ["distance_km", "segments", "secret_key_rate_bps"]


def test_the_picture_has_one_line_per_segment_count_and_the_bound():
    pytest.importorskip("matplotlib")
    import matplotlib

    matplotlib.use("Agg")
    import vorn.plot

    frame = vorn.rate_vs_distance([50.0, 100.0, 150.0], runs=2_000, seed=1)
    ax = vorn.plot.plot_rate_distance(frame)
    assert ax.get_yscale() == "log"
    assert [line.get_label() for line in ax.get_lines()] == [
        "1 segment (direct)", "2 segments", "4 segments", "8 segments", "repeaterless bound"]


def test_the_command_line_writes_the_frame_as_csv(tmp_path, capsys):
    from vorn.cli import main

    out = tmp_path / "rates.csv"
    assert main(["rate-distance", "--distances", "50", "150", "--segments", "1", "4", "--runs", "2000",
                 "--workers", "1", "-o", str(out)]) == 0
    import pandas

    frame = pandas.read_csv(out)
    expected = vorn.rate_vs_distance([50.0, 150.0], segments=(1, 4), runs=2000, seed=0)
    assert list(frame.columns) == list(expected.columns)
    assert list(frame["secret_key_rate_bps"]) == pytest.approx(list(expected["secret_key_rate_bps"]), rel=1e-12)
    assert main(["rate-distance", "--segments", "0"]) == 2
    assert "0 is not a number of segments" in capsys.readouterr().err
