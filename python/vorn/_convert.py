"""Conversions between `vorn.Network` values and the other forms of a
network: vorn_core records and engines, `.vorn` files, networkx graphs and
pandas frames. `Network` and `Config` expose them as methods; the field
lists come from the dataclasses, so a new field needs no change here unless
another form spells it differently.
"""

from __future__ import annotations

import math
import os
from collections.abc import Iterable
from dataclasses import fields
from typing import TYPE_CHECKING, Any, cast

import vorn_core
from vorn._members import member_name
from vorn._optional import require
from vorn.network import LINK_ENDS, Config, Link, Network, Node, field_values, real_fields

if TYPE_CHECKING:
    import networkx
    import pandas

__all__ = [
    "config_from_simulation_config", "config_from_vorn_config", "simulation_config", "vorn_config",
    "from_definitions", "from_builtin", "from_file", "from_networkx", "definitions", "to_networkx",
    "to_vorn_file", "nodes_frame", "links_frame",
]

# What a .vorn file leaves unsaid: a node's T2 (s), and the engine
# configuration that a file without these config members gets.
_FILE_T2_S = 1.0
_FILE_PURIFY_FACTOR = 0.22
_MS_PER_ATTEMPT = 50.0


def _scaled_for(target: float, scale: float) -> float:
    """A value v with v / scale == target, for file fields that the loader
    divides (milliseconds to seconds, alpha loss to purify factor). Not every
    target is a quotient of that form; then v / scale is the nearest one."""
    guess = target * scale
    if not math.isfinite(guess):
        return guess
    candidates = [guess]
    for direction in (math.inf, -math.inf):
        value = guess
        for _ in range(2):
            value = math.nextafter(value, direction)
            candidates.append(value)
    return min(candidates, key=lambda candidate: abs(candidate / scale - target))


# -- configuration --------------------------------------------------------------


def config_from_simulation_config(config: vorn_core.SimulationConfig) -> Config:
    physical = config.physical
    return Config(physical.baseline_purify_factor, physical.speed_of_light_in_fiber_km_ms,
                  config.total_time_cutoff_ms, config.step_resolution_ms)


def config_from_vorn_config(config: vorn_core.VornConfig | None) -> Config:
    """The configuration an engine loaded from a file with this config section gets."""
    if config is None:
        return Config()
    alpha = config.alpha_loss
    attempts = config.max_attempts
    return Config(
        baseline_purify_factor=_FILE_PURIFY_FACTOR if alpha is None else alpha / 10.0,
        total_time_cutoff_ms=Config().total_time_cutoff_ms if attempts is None else attempts * _MS_PER_ATTEMPT,
    )


def simulation_config(config: Config) -> vorn_core.SimulationConfig:
    """A `SimulationConfig` holding exactly the four values of `config`."""
    result = vorn_core.SimulationConfig(config.total_time_cutoff_ms, config.step_resolution_ms)
    physical = result.physical
    physical.baseline_purify_factor = config.baseline_purify_factor
    physical.speed_of_light_in_fiber_km_ms = config.speed_of_light_in_fiber_km_ms
    result.physical = physical
    return result


def vorn_config(config: Config) -> vorn_core.VornConfig | None:
    """The file config section that loads back as `config` (see `Config.vorn_config`)."""
    default = Config()
    if config == default:
        return None
    lost = [name for name in ("speed_of_light_in_fiber_km_ms", "step_resolution_ms")
            if getattr(config, name) != getattr(default, name)]
    attempts = config.total_time_cutoff_ms / _MS_PER_ATTEMPT
    if not (attempts.is_integer() and 0 <= attempts < 2**32):
        lost.append("total_time_cutoff_ms")
    # The file holds alpha_loss = 10 x the factor; about one factor in
    # eight has no exact alpha and comes back one unit in the last place off.
    alpha = _scaled_for(config.baseline_purify_factor, 10.0)
    if lost:
        raise ValueError("a .vorn file cannot hold this configuration: " + ", ".join(lost)
                         + " would change on loading")
    return vorn_core.VornConfig(
        alpha_loss=alpha,
        max_attempts=None if config.total_time_cutoff_ms == default.total_time_cutoff_ms else int(attempts),
    )


# -- networks from other forms ----------------------------------------------------


def from_definitions(nodes: Iterable[vorn_core.NodeDefinition], links: Iterable[vorn_core.LinkDefinition],
                     config: vorn_core.SimulationConfig | None = None) -> Network:
    link_values = []
    for link in links:
        conditions = link.satellite_conditions
        link_values.append(Link(
            link.from_node, link.to, link.distance_km, link.base_fidelity, link.generation_rate_hz,
            member_name(link.link_type),
            None if conditions is None else conditions.visibility,
            None if conditions is None else conditions.weather_factor,
        ))
    return Network(
        tuple(Node(node.id, node.memory_lifetime_t2) for node in nodes),
        tuple(link_values),
        Config() if config is None else config_from_simulation_config(config),
    )


def from_builtin(name: str) -> Network:
    payload = vorn_core.generate_topology(name)
    return from_definitions(payload.nodes, payload.links)


def from_file(source: str | os.PathLike[str] | vorn_core.VornFile) -> Network:
    vorn_file = source if isinstance(source, vorn_core.VornFile) else vorn_core.load_vorn_file(os.fspath(source))
    nodes = tuple(
        Node(node.id, _FILE_T2_S if node.memory_lifetime_ms is None else node.memory_lifetime_ms / 1000.0)
        for node in vorn_file.nodes
    )
    links = []
    for link in vorn_file.links:
        satellite = link.satellite
        links.append(Link(
            link.src, link.to, link.distance_km, link.base_fidelity, link.generation_rate_hz,
            "Fiber" if link.link_type is None else member_name(link.link_type),
            None if satellite is None else satellite.visibility,
            None if satellite is None else satellite.weather_factor,
        ))
    return Network(nodes, tuple(links), config_from_vorn_config(vorn_file.config))


def from_networkx(graph: networkx.Graph[Any]) -> Network:
    """See `Network.from_networkx`."""
    nodes = tuple(Node(str(name), **{f: data[f] for f in real_fields(Node) if f in data})
                  for name, data in graph.nodes(data=True) if not data.get("undefined", False))
    if graph.is_multigraph():
        multigraph = cast("networkx.MultiGraph[Any]", graph)
        edges = list(multigraph.edges(keys=True, data=True))
        keys = [key for _, _, key, _ in edges]
        if sorted(k for k in keys if isinstance(k, int) and not isinstance(k, bool)) == list(range(len(edges))):
            edges.sort(key=lambda edge: edge[2])
        triples = [(u, v, data) for u, v, _, data in edges]
    else:
        triples = list(graph.edges(data=True))
    required = real_fields(Link)
    optional = [f.name for f in fields(Link) if f.name not in (*LINK_ENDS, *required)]
    links = []
    for u, v, data in triples:
        missing = [name for name in required if name not in data]
        if missing:
            raise ValueError(f"edge {u!r}-{v!r} lacks the attribute(s) {', '.join(missing)}")
        links.append(Link(str(u), str(v), **{name: data[name] for name in [*required, *optional] if name in data}))
    config = Config(**{f.name: graph.graph[f.name] for f in fields(Config) if f.name in graph.graph})
    positions = {str(name): tuple(data["pos"])[:2] for name, data in graph.nodes(data=True) if "pos" in data}
    return Network(nodes, tuple(links), config, positions or None)


# -- networks to other forms ------------------------------------------------------


def definitions(network: Network) -> tuple[list[vorn_core.NodeDefinition], list[vorn_core.LinkDefinition]]:
    nodes = [vorn_core.NodeDefinition(node.id, node.memory_lifetime_t2_s) for node in network.nodes]
    links = []
    for link in network.links:
        conditions = None
        if link.has_satellite_conditions:
            conditions = vorn_core.SatelliteConditions(link.satellite_visibility, link.satellite_weather_factor)
        links.append(vorn_core.LinkDefinition(
            link.from_node, link.to, link.distance_km, link.base_fidelity, link.generation_rate_hz,
            getattr(vorn_core.LinkType, link.link_type), conditions,
        ))
    return nodes, links


def to_networkx(network: Network) -> networkx.MultiDiGraph[Any]:
    nx = require("networkx", "networkx")
    graph = nx.MultiDiGraph(**field_values(network.config))
    for node in network.nodes:
        node_values = field_values(node)
        del node_values["id"]
        graph.add_node(node.id, **node_values)
        if network.positions is not None and node.id in network.positions:
            graph.nodes[node.id]["pos"] = network.positions[node.id]
    for index, link in enumerate(network.links):
        # Every field but the ends; satellite conditions only where given.
        attributes = {name: value for name, value in field_values(link).items()
                      if name not in LINK_ENDS and value is not None}
        graph.add_edge(link.from_node, link.to, key=index, **attributes)
    # Links may name nodes the network does not define; networkx adds them
    # as nodes, marked so that from_networkx leaves them out again.
    defined = {node.id for node in network.nodes}
    for name in graph.nodes:
        if name not in defined:
            graph.nodes[name]["undefined"] = True
    result: networkx.MultiDiGraph[Any] = graph
    return result


def to_vorn_file(network: Network, name: str = "network") -> vorn_core.VornFile:
    vorn_file = vorn_core.VornFile(name)
    vorn_file.config = vorn_config(network.config)
    vorn_file.nodes = [vorn_core.VornNode(node.id, _scaled_for(node.memory_lifetime_t2_s, 1000.0))
                       for node in network.nodes]
    links = []
    for index, link in enumerate(network.links):
        satellite = None
        if link.has_satellite_conditions:
            satellite = vorn_core.VornSatelliteExtension(link.satellite_visibility, link.satellite_weather_factor)
        links.append(vorn_core.VornLink(
            f"L{index}", link.from_node, link.to, link.distance_km, link.base_fidelity,
            link.generation_rate_hz, getattr(vorn_core.VornLinkType, link.link_type), satellite,
        ))
    vorn_file.links = links
    return vorn_file


def _frame(records: Iterable[Any], cls: type) -> pandas.DataFrame:
    pd = require("pandas", "frames")
    frame: pandas.DataFrame = pd.DataFrame([field_values(record) for record in records],
                                           columns=[f.name for f in fields(cls)])
    return frame


def nodes_frame(network: Network) -> pandas.DataFrame:
    return _frame(network.nodes, Node)


def links_frame(network: Network) -> pandas.DataFrame:
    return _frame(network.links, Link)
