"""Pictures: each renders to a PNG; the layout and the link-usage mapping
they rest on are checked against what the engine does."""
import math

import pytest

import vorn
import vorn_core

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
pd = pytest.importorskip("pandas")
from vorn import plot  # noqa: E402
from vorn._layout import stress_layout  # noqa: E402

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chain():
    nodes = tuple(vorn.Node(n) for n in "ABC")
    links = (vorn.Link("A", "B", 10.0, 0.97, 1000.0), vorn.Link("C", "B", 10.0, 0.97, 1000.0),
             vorn.Link("B", "A", 900.0, 0.99, 50.0, "Satellite", 0.9, 0.9))  # parallel to the first
    return vorn.Network(nodes, links)


def sweep_frame():
    rows = [{"from_node": "A", "to": "C", "fidelity_target": 0.9, "max_latency_ms": budget, "strategy": strategy,
             "success_rate": rate, "ci_low": rate - 0.05, "ci_high": rate + 0.05, "mean_latency_ms": 1.0,
             "mean_fidelity": 0.95, "drops": 0, "runs": 100, "seed": 0}
            for strategy in ("HighestFidelity", "LowestLatency") for budget, rate in ((10, 0.2), (50, 0.5))]
    return pd.DataFrame(rows)


DRAWINGS = {
    "network": lambda: plot.plot_network(chain()),
    "network usage": lambda: plot.plot_network(chain(), chain().simulate("A", "C", 0.9, 50.0, 200, seed=1)),
    "success": lambda: plot.plot_success(sweep_frame()),
    "success one line": lambda: plot.plot_success(sweep_frame().query("strategy == 'LowestLatency'")),
    "sensitivity": lambda: plot.plot_sensitivity(chain().simulate("A", "C", 0.9, 50.0, 200, seed=1)
                                                 .sensitivity_analysis(3)),
    "comparison": lambda: plot.plot_comparison(vorn_core.compare_topologies(
        [vorn_core.TopologyEndpoints("repeater_chain", "N0", "N3")], 0.9, 100.0, 50)),
}


@pytest.mark.parametrize("name", DRAWINGS)
def test_renders_png(name, tmp_path):
    ax = DRAWINGS[name]()
    path = tmp_path / "out.png"
    ax.figure.savefig(path)
    assert path.read_bytes().startswith(PNG_SIGNATURE) and path.stat().st_size > 2000
    matplotlib.pyplot.close(ax.figure)


def test_draws_into_given_axes():
    figure, axes = matplotlib.pyplot.subplots(1, 2)
    assert plot.plot_success(sweep_frame(), ax=axes[1]) is axes[1]
    assert len(axes[1].lines) == 2  # one curve per strategy, the only other varying column
    assert not axes[0].lines
    matplotlib.pyplot.close(figure)


def test_link_usage_follows_the_engine():
    # Both directions of a pair count for its first link; a parallel link after
    # it is never used by the engine and gets nothing.
    heat = {"A->B": 5, "B->A": 2, "B->C": 4}
    assert plot._link_usage(chain(), heat) == [7.0, 4.0, 0.0]
    stats = chain().simulate("A", "C", 0.9, 50.0, 100, seed=1)
    used = plot._link_usage(chain(), stats)
    assert used[0] == used[1] == sum(stats.link_utilization_heatmap.values()) / 2 and used[2] == 0.0


def test_noise_floor_is_the_largest_t2_impact():
    impacts = {"base_fidelity:A->B": 0.5, "memory_lifetime_t2:A": 0.04, "memory_lifetime_t2:B": 0.07,
               "distance_km:A->B": 0.05, "alpha_loss_db_km": math.nan}
    ax = plot.plot_sensitivity(impacts, top=3)
    assert list(ax.lines[0].get_xdata()) == [0.07, 0.07]
    widths = [bar.get_width() for bar in ax.patches]
    assert widths == [0.05, 0.07, 0.5]  # the NaN is left out, largest on top
    matplotlib.pyplot.close(ax.figure)


@pytest.mark.parametrize("nodes, edges", [
    ("ABCDE", [("A", "B"), ("B", "C"), ("C", "D"), ("D", "E")]),
    ("ABCDEF", [("A", "B"), ("B", "C"), ("C", "D"), ("D", "E"), ("E", "F"), ("F", "A")]),
    ("ABCD", [("A", "B"), ("C", "D"), ("A", "A"), ("A", "Z")]),
])
def test_layout(nodes, edges):
    first = stress_layout(list(nodes), edges)
    assert first == stress_layout(list(nodes), edges)  # deterministic
    assert set(first) == set(nodes)
    assert all(-1.0 - 1e-9 <= c <= 1.0 + 1e-9 for xy in first.values() for c in xy)
    assert len({(round(x, 6), round(y, 6)) for x, y in first.values()}) == len(nodes)  # no two nodes coincide
    joined = [math.dist(first[a], first[b]) for a, b in edges if a != b and b in first]
    apart = [math.dist(first[a], first[b]) for a in nodes for b in nodes
             if a < b and (a, b) not in edges and (b, a) not in edges]
    assert max(joined) < max(apart)  # neighbours sit closer than the farthest non-neighbours
