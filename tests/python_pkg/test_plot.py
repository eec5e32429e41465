"""Pictures: each renders to a PNG; the layout and the link-usage mapping
they rest on are checked against what the engine does."""
import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

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


@settings(max_examples=60, deadline=None)
@given(count=st.integers(1, 120), labels=st.sampled_from(["auto", "all", "route", "none"]),
       route_length=st.integers(0, 5))
def test_labels_by_size_and_choice(count, labels, route_length):
    ids = [f"N{i}" for i in range(count)]
    route = ids[:route_length] or None
    named = plot.labelled_nodes(ids, labels, route)
    expected = {"all": set(ids), "route": set(route or ()), "none": set(),
                "auto": set(ids) if count <= plot.LABEL_LIMIT else set(route or ())}[labels]
    assert named == expected
    assert 4.0 <= plot.node_marker_size(count) <= 60.0
    assert plot.node_marker_size(count) >= plot.node_marker_size(count + 1)


def test_large_network_labels_only_its_route_at_networkx_positions():
    nx = pytest.importorskip("networkx")
    graph = nx.grid_2d_graph(12, 12)  # 144 nodes
    graph = nx.relabel_nodes(graph, {node: f"{node[0]}-{node[1]}" for node in graph})
    for node in graph:
        x, y = map(int, node.split("-"))
        graph.nodes[node]["pos"] = (10.0 * x, -3.0 * y)
    for u, v in graph.edges:
        graph.edges[u, v].update(distance_km=5.0, base_fidelity=0.99, generation_rate_hz=1000.0)
    net = vorn.from_networkx(graph)
    assert net.positions["3-4"] == (30.0, -12.0)
    assert net == vorn.Network(net.nodes, net.links, net.config)  # positions take no part in equality
    assert vorn.Network.from_networkx(net.to_networkx()).positions == net.positions
    route = net.request("0-0", "0-3", 0.5, 100.0).execution_path
    ax = plot.plot_network(net, route=route)
    texts = [text.get_text() for text in ax.texts]
    assert sorted(texts) == sorted(route)
    for text in ax.texts:
        assert text.xy == net.positions[text.get_text()]
    dots = ax.collections[-1].get_offsets()
    assert len(dots) == len(net.nodes) - len(route)
    assert len(plot.plot_network(net, labels="all").texts) == len(net.nodes)
    matplotlib.pyplot.close("all")


def test_categories_get_points_with_error_bars_and_readable_legends():
    frame = sweep_frame().assign(variation=["base", "longer"] * 2, max_latency_ms=10)
    frame.loc[frame.strategy == "LowestLatency", "strategy"] = None
    ax = plot.plot_success(frame, x="variation")
    assert [label.get_text() for label in ax.get_xticklabels()] == ["base", "longer"]
    assert not [line for line in ax.lines if line.get_linestyle() not in ("None", "", " ")
                and len(line.get_xdata()) > 1]  # nothing joins the categories
    assert len(ax.containers) == 2  # one error-bar set per strategy
    assert [t.get_text() for t in ax.get_legend().get_texts()] == ["HighestFidelity", "default strategy"]
    assert plot.legend_text("max_latency_ms", 50.0) == "budget 50 ms"
    assert plot.legend_text("fidelity_target", 0.9) == "fidelity target 0.9"
    matplotlib.pyplot.close("all")
