"""vorn.Network: round trips through every representation, and engines built
from it behave like engines built from the same vorn_core records."""

import copy
import math
import pickle

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn
import vorn_core
from vorn import Config, Link, Network, Node
from vorn.data import to_dict

reals = st.floats(min_value=0.001, max_value=1e4, allow_nan=False, allow_infinity=False)
ids = st.sampled_from(["A", "B", "C", "D", "N0", "é"])


@st.composite
def networks(draw):
    node_ids = draw(st.lists(ids, min_size=1, max_size=5, unique=True))
    nodes = tuple(Node(i, draw(reals)) for i in node_ids)
    links = []
    for _ in range(draw(st.integers(0, 6))):
        satellite = draw(st.booleans())
        links.append(Link(
            draw(st.sampled_from(node_ids)), draw(st.sampled_from(node_ids + ["undefined"])), draw(reals),
            draw(st.floats(0.0, 1.0)), draw(reals), "Satellite" if satellite else "Fiber",
            draw(st.none() | st.floats(0.0, 1.0)) if satellite else None,
            draw(st.none() | st.floats(0.0, 1.0)) if satellite else None,
        ))
    config = draw(st.sampled_from([Config(), Config(0.05, 200.0, 2000.0, 0.1), Config(0.3, 150.0, 123.4, 0.5)]))
    return Network(nodes, tuple(links), config)


@settings(max_examples=60, deadline=None)
@given(networks())
def test_value_round_trips(net):
    assert pickle.loads(pickle.dumps(net)) == net
    assert hash(copy.deepcopy(net)) == hash(net)
    assert Network.from_networkx(net.to_networkx()) == net
    assert Network.from_definitions(*net.definitions(), net.simulation_config()) == net
    if net.config.total_time_cutoff_ms % 50 == 0 and net.config.speed_of_light_in_fiber_km_ms == 200.0:
        back = Network.from_file(net.to_vorn_file())  # T2 in ms: may be one ulp off
        assert back.links == net.links and back.config == net.config
        assert [n.id for n in back.nodes] == [n.id for n in net.nodes]
        assert all(math.isclose(a.memory_lifetime_t2_s, b.memory_lifetime_t2_s, rel_tol=2.5e-16)
                   for a, b in zip(back.nodes, net.nodes))
    else:
        with pytest.raises(ValueError, match="cannot hold this configuration"):
            net.to_vorn_file()


def test_file_round_trip_matches_engine_loader(tmp_path):
    net = vorn.builtin("hybrid_satellite_fiber")
    net = Network(net.nodes, net.links, Config(baseline_purify_factor=0.05, total_time_cutoff_ms=2000.0))
    path = tmp_path / "net.vorn"
    net.save(path)
    assert vorn.read(path) == net
    from_loader = vorn_core.from_vorn_file(str(path)).simulate("Toronto", "London", 0.8, 3000.0, 300, seed=5)
    ours = net.simulate("Toronto", "London", 0.8, 3000.0, 300, seed=5)
    assert to_dict(ours.engine_stats()) == to_dict(from_loader)


def test_engine_matches_direct_records():
    payload = vorn_core.generate_topology("telecom_backbone")
    direct = vorn_core.VornEngine()
    direct.define_network(payload.nodes, payload.links)
    net = vorn.builtin("telecom_backbone")
    for strategy in ["LowestLatency", vorn_core.StrategyType.HighestSuccess, None]:
        expected = direct.simulate("A", "E", 0.85, 400.0, 500, vorn.network.strategy_type(strategy), 11)
        ours = net.simulate("A", "E", 0.85, 400.0, 500, seed=11, strategy=strategy)
        assert to_dict(ours.engine_stats()) == to_dict(expected)
    assert net.simulate("A", "E", 0.85, 400.0, 5, seed=1, store_context=False)._context is None


def test_value_semantics_and_repr():
    net = vorn.builtin("repeater_chain")
    assert repr(net) == "Network(4 nodes, 3 links)"
    net.request("N0", "N3", 0.8, 100.0)  # builds and caches the engine
    assert pickle.loads(pickle.dumps(net)) == net and len({net, copy.copy(net)}) == 1
    assert Network(list(net.nodes), list(net.links)) == net
    assert [Link(**row) for row in net.links_frame().to_dict("records")] == list(net.links)
    assert [Node(**row) for row in net.nodes_frame().to_dict("records")] == list(net.nodes)
    with pytest.raises(ValueError, match="link_type"):
        Link("A", "B", 1.0, 0.9, 10.0, "Copper")
    with pytest.raises(ValueError, match="strategy"):
        net.request("N0", "N3", 0.8, 100.0, "Fastest")
    with pytest.raises(ValueError, match="generation_rate_hz"):
        import networkx as nx
        graph = nx.Graph()
        graph.add_edge("A", "B", distance_km=1.0, base_fidelity=0.9)
        Network.from_networkx(graph)


def test_scaled_variation():
    net = vorn.builtin("repeater_chain")
    longer = net.scaled({"distance_km": 2.0, "total_time_cutoff_ms": 0.5})
    assert [k.distance_km for k in longer.links] == [2 * k.distance_km for k in net.links]
    assert longer.config.total_time_cutoff_ms == 2500.0 and longer.nodes == net.nodes
    with pytest.raises(ValueError, match="cannot scale colour"):
        net.scaled({"colour": 2.0})


@pytest.mark.parametrize("spelling", ["Satellite", "satellite", "SATELLITE", vorn_core.LinkType.Satellite,
                                      vorn_core.VornLinkType.Satellite])
def test_link_type_in_either_spelling(spelling, tmp_path):
    """Python and networkx write "Satellite", .vorn files "satellite": a
    link takes both, and each format gets its own spelling back."""
    nx = pytest.importorskip("networkx")
    graph = nx.Graph()
    graph.add_edge("A", "B", distance_km=10.0, base_fidelity=0.9, generation_rate_hz=100.0, link_type=spelling)
    net = vorn.Network.from_networkx(graph)
    assert net.links[0].link_type == "Satellite"
    assert net == vorn.Network(net.nodes, (vorn.Link("A", "B", 10.0, 0.9, 100.0, "Satellite"),), net.config)
    net.save(tmp_path / "s.vorn")
    assert '"link_type": "satellite"' in (tmp_path / "s.vorn").read_text()
    assert vorn.Network.from_file(tmp_path / "s.vorn").links == net.links
    assert net.to_networkx().edges["A", "B", 0]["link_type"] == "Satellite"
    with pytest.raises(ValueError, match="'Fiber' or 'Satellite'.*not 'Sat'"):
        vorn.Link("A", "B", 1.0, 0.9, 1.0, "Sat")
