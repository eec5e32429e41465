"""vorn.sensitivity: the route network behaves as the whole network, every
perturbed rate is the ensemble of the perturbed network on the baseline's
seeds, values stay in their physical range, and the intervals follow their
closed forms."""

import math
from concurrent.futures import ThreadPoolExecutor

import pytest
from hypothesis import event, given, settings
from hypothesis import strategies as st

import vorn
from vorn import Config, Link, Network, Node
from vorn.sensitivity import batch_bounds, paired_change, route_network, t_quantile

STRATEGIES = [None, "LowestLatency", "HighestFidelity", "HighestSuccess"]
HERE = ThreadPoolExecutor(1)


def run(net, *request, runs=300, seed=11, **options):
    return vorn.sensitivity(net, *request, runs, seed, executor=HERE, progress=False, **options)


@settings(max_examples=30, deadline=None)
@given(st.sampled_from(["telecom_backbone", "repeater_chain", "hybrid_satellite_fiber"]), st.data(),
       st.floats(0.6, 1.0), st.sampled_from(STRATEGIES), st.integers(0, 2**64 - 1))
def test_route_network_runs_as_the_whole_network(name, data, target, strategy, seed):
    net = vorn.builtin(name)
    from_node, to = data.draw(st.lists(st.sampled_from(net.node_ids()), min_size=2, max_size=2, unique=True))
    route = list(net.request(from_node, to, target, 0.0, strategy).execution_path)
    alone = route_network(net, route)
    assert list(alone.request(from_node, to, target, 0.0, strategy).execution_path) == route
    whole = net.simulate(from_node, to, target, 40.0, 200, seed, strategy)
    part = alone.simulate(from_node, to, target, 40.0, 200, seed, strategy)
    for field in ("empirical_success_rate", "mean_latency_ms", "mean_fidelity", "aggregate_congestion_drops"):
        assert getattr(part, field) == getattr(whole, field)
    assert part.link_utilization_heatmap == whole.link_utilization_heatmap


ids = st.sampled_from(["A", "B", "C", "D", "E"])


@st.composite
def networks(draw):
    """Small networks with mixed link orientations, parallel links, self-links
    and links to nodes without a node entry: every routing quirk a route
    network must keep."""
    defined = draw(st.lists(ids, min_size=2, max_size=5, unique=True))
    order = draw(st.permutations(defined))
    ends = [(a, b) if draw(st.booleans()) else (b, a) for a, b in zip(order, order[1:])]  # a spanning chain
    ends += draw(st.lists(st.tuples(ids, ids | st.just("X")), max_size=4))  # chords, self-links, dangling links
    ends = draw(st.permutations(ends))
    links = [Link(a, b, draw(st.sampled_from([0.0, 30.0, 120.0, 400.0])), draw(st.sampled_from([0.7, 0.9, 0.97, 1.0])),
                  100.0) for a, b in ends]
    return Network(tuple(Node(n) for n in defined), tuple(links), Config(draw(st.sampled_from([0.022, 0.12]))))


@settings(max_examples=80, deadline=None)
@given(networks(), st.data(), st.floats(0.5, 1.0), st.sampled_from(STRATEGIES), st.integers(0, 2**64 - 1))
def test_route_network_of_any_network(net, data, target, strategy, seed):
    from_node, to = data.draw(st.lists(st.sampled_from(net.node_ids()), min_size=2, max_size=2, unique=True))
    route = list(net.request(from_node, to, target, 0.0, strategy).execution_path)
    event(f"route of {len(route)} nodes")
    if not route:
        return
    whole = net.simulate(from_node, to, target, 30.0, 60, seed, strategy)
    part = route_network(net, route).simulate(from_node, to, target, 30.0, 60, seed, strategy)
    assert (part.empirical_success_rate, part.mean_latency_ms, part.mean_fidelity, part.link_utilization_heatmap) == (
        whole.empirical_success_rate, whole.mean_latency_ms, whole.mean_fidelity, whole.link_utilization_heatmap)


def test_changes_are_those_of_the_perturbed_ensembles_on_common_seeds():
    net = vorn.builtin("repeater_chain")
    result = run(net, "N0", "N3", 0.95, 50.0)
    baseline = net.simulate("N0", "N3", 0.95, 50.0, 300, seed=11)
    assert result.success_rate == baseline.empirical_success_rate
    assert result.route == ("N0", "N1", "N2", "N3") and result.batches == 32
    effects = {effect.parameter: effect for effect in result.effects}
    distance = effects["distance_km:N1->N2"]
    links = list(net.links)
    links[1] = Link("N1", "N2", 100.0 * 1.1, 0.92, 800.0)
    longer = Network(net.nodes, tuple(links), net.config).simulate("N0", "N3", 0.95, 50.0, 300, seed=11)
    assert (distance.value_minus, distance.value_plus) == (100.0 * 0.9, 100.0 * 1.1)
    assert distance.success_rate_plus == longer.empirical_success_rate
    assert distance.change_plus == longer.empirical_success_rate - baseline.empirical_success_rate
    # Values that do not enter the round model leave every run as it was.
    for name, effect in effects.items():
        if name.startswith(("memory_lifetime_t2:", "generation_rate_hz:", "total_time_cutoff_ms")):
            assert (effect.change_minus, effect.change_plus) == (0.0, 0.0), name
            assert (effect.change_minus_ci_low, effect.change_plus_ci_high) == (0.0, 0.0)
    sizes = [effect.size for effect in result.effects]
    assert sizes == sorted(sizes, reverse=True)
    assert len(result.effects) == 4 + 3 * 3 + 3


def test_values_are_clamped_to_their_physical_range():
    net = Network((Node("A"), Node("B")), (Link("A", "B", 0.0, 1.0, 10.0),))
    effects = {effect.parameter: effect for effect in run(net, "A", "B", 0.9, 20.0).effects}
    fidelity = effects["base_fidelity:A->B"]
    assert (fidelity.value_minus, fidelity.value_plus) == (0.9, 1.0)
    assert (fidelity.change_plus, fidelity.change_plus_ci_low, fidelity.change_plus_ci_high) == (0.0, 0.0, 0.0)
    assert effects["distance_km:A->B"].value_minus == 0.0 == effects["distance_km:A->B"].value_plus
    chain = vorn.builtin("repeater_chain")
    for effect in run(chain, "N0", "N3", 0.9, 20.0).effects:
        if effect.parameter.startswith("base_fidelity:"):
            assert effect.value_plus == 1.0 and effect.value < 1.0


def _detour():
    """Two routes A-C-B and A-D-B; the first hops decide (0.95 against 0.9),
    so the route is A-C-B until A-D is raised by 10 % to 0.99."""
    return Network(tuple(Node(n) for n in "ABCD"),
                   (Link("A", "C", 10.0, 0.95, 10.0), Link("A", "D", 10.0, 0.9, 10.0),
                    Link("C", "B", 10.0, 0.95, 10.0), Link("D", "B", 10.0, 0.95, 10.0)), Config(0.022))


def test_the_route_is_held_fixed_unless_asked():
    fixed = run(_detour(), "A", "B", 0.8, 20.0, strategy="HighestFidelity")
    assert fixed.route == ("A", "C", "B")
    assert {effect.parameter for effect in fixed.effects if effect.parameter.startswith("base_fidelity")} == {
        "base_fidelity:A->C", "base_fidelity:C->B"}
    assert not any(effect.route_changed for effect in fixed.effects)
    free = run(_detour(), "A", "B", 0.8, 20.0, strategy="HighestFidelity", fixed_route=False)
    moved = {effect.parameter for effect in free.effects if effect.route_changed}
    assert moved == {"base_fidelity:A->C", "base_fidelity:A->D"}  # A-C lowered to 0.855, or A-D raised
    assert free.success_rate == fixed.success_rate


def test_same_result_on_any_executor():
    net = vorn.builtin("telecom_backbone")
    one = run(net, "A", "E", 0.8, 30.0, runs=100)
    two = vorn.sensitivity(net, "A", "E", 0.8, 30.0, 100, 11, executor=ThreadPoolExecutor(2), progress=False)
    assert one == two


def test_refusals():
    net = Network((Node("A"), Node("B")), ())
    with pytest.raises(ValueError, match="no route from A to B"):
        run(net, "A", "B", 0.9, 10.0)
    with pytest.raises(vorn.UnknownNodeError):
        run(net, "A", "Z", 0.9, 10.0)
    with pytest.raises(ValueError, match="step must lie strictly between 0 and 1"):
        run(vorn.builtin("repeater_chain"), "N0", "N3", 0.9, 10.0, step=1.0)
    with pytest.raises(OverflowError, match="runs must be"):
        run(vorn.builtin("repeater_chain"), "N0", "N3", 0.9, 10.0, runs=-5)


@pytest.mark.parametrize("df,exact", [(5, 2.570582), (10, 2.228139), (31, 2.039513), (100, 1.983972)])
def test_t_quantile(df, exact):
    assert t_quantile(df) == pytest.approx(exact, rel=1e-3)


@given(st.integers(1, 10_000), st.integers(1, 64))
def test_batches_cover_the_runs_evenly(runs, batches):
    bounds = batch_bounds(runs, batches)
    assert [start for start, _ in bounds] == [sum(size for _, size in bounds[:i]) for i in range(len(bounds))]
    sizes = [size for _, size in bounds]
    assert sum(sizes) == runs and max(sizes) - min(sizes) <= 1 and len(sizes) == min(runs, batches)


def test_paired_change_closed_form():
    bounds = [(0, 10), (10, 10), (20, 10), (30, 10)]
    baseline = [5, 6, 7, 8]
    change, low, high = paired_change([6, 6, 9, 8], baseline, bounds)  # differences 1, 0, 2, 0
    assert change == pytest.approx(3 / 40)
    spread = math.sqrt(4 / 3 * sum((d - 10 * 3 / 40) ** 2 for d in (1, 0, 2, 0))) / 40
    assert (low, high) == pytest.approx((change - t_quantile(3) * spread, change + t_quantile(3) * spread))
    assert paired_change(baseline, baseline, bounds) == (0.0, 0.0, 0.0)


def test_frame_and_tornado():
    pd = pytest.importorskip("pandas")
    pytest.importorskip("matplotlib")
    from vorn.plot import plot_sensitivity

    result = run(vorn.builtin("repeater_chain"), "N0", "N3", 0.95, 50.0)
    frame = vorn.to_frame(result)
    assert isinstance(frame, pd.DataFrame) and list(frame["parameter"]) == [e.parameter for e in result.effects]
    ax = plot_sensitivity(result, top=5)
    assert [label.get_text() for label in ax.get_yticklabels()] == [e.parameter for e in result.effects[:5]][::-1]
    assert len(ax.patches) == 10  # a lowered and a raised bar per parameter
