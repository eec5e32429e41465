"""`Network`: one immutable value for a whole network and its engine configuration.

A `Network` holds nodes, links and the four configuration values as plain
Python values (units in the field names). It compares and hashes by value,
pickles, and is what parallel code ships to other processes; an engine is
built from it where the work runs.
"""

from __future__ import annotations

import os
import secrets
from collections.abc import Iterable, Mapping, Sequence
from dataclasses import dataclass, field, fields, replace
from typing import TYPE_CHECKING, Any, Union

import vorn_core
from vorn._checks import (
    check_nodes,
    check_scale_factor,
    check_time_limit,
    checked_count,
    checked_seed,
    checked_timeout,
    fidelity_above_one_message,
)
from vorn._members import LINK_TYPES, STRATEGIES, member_name
from vorn._stats import EnsembleStats, from_engine_stats
from vorn._timeout import Limit, call_limited, request_limit

if TYPE_CHECKING:
    import networkx
    import pandas

__all__ = [
    "Node",
    "Link",
    "Config",
    "Network",
    "StrategyLike",
    "strategy_type",
    "strategy_name",
    "seed_and_strategy",
    "LINK_TYPES",
    "real_fields",
    "field_values",
    "LINK_ENDS",
]

# The engine's defaults for the budget of a teleportation request and the
# relay latency of a distributed computation (10 x which is its requests' budget).
_TELEPORTATION_BUDGET_MS = 100.0
_RELAY_LATENCY_MS = 5.0

StrategyLike = Union["vorn_core.StrategyType", str, None]


def strategy_type(strategy: StrategyLike) -> vorn_core.StrategyType | None:
    """A `StrategyType` member from a member, its name ("HighestFidelity") or None."""
    if strategy is None or isinstance(strategy, vorn_core.StrategyType):
        return strategy
    if isinstance(strategy, str):
        if strategy not in STRATEGIES:
            raise ValueError(f"unknown strategy {strategy!r}; use one of {', '.join(STRATEGIES)}")
        member: vorn_core.StrategyType = getattr(vorn_core.StrategyType, strategy)
        return member
    raise TypeError(f"strategy must be a StrategyType, its name or None, not {type(strategy).__name__}")


def seed_and_strategy(seed: Any, strategy: Any) -> tuple[Any, Any]:
    """The seed and the strategy of an ensemble call, given either way round.

    vorn's ensembles take the seed before the strategy, `VornEngine.simulate`
    the strategy first. A strategy is a `StrategyType`, its name or None and a
    seed a whole number, so arguments passed in the engine's order are told
    apart and swapped; anything else is left to the checks of each."""
    def named(value: Any) -> bool:
        return isinstance(value, (str, vorn_core.StrategyType))

    if (named(seed) and not named(strategy)) or (seed is None and strategy is not None and not named(strategy)):
        return strategy, seed
    return seed, strategy


def strategy_name(strategy: StrategyLike) -> str | None:
    """The member name of a strategy argument ("HighestSuccess"), or None."""
    member = strategy_type(strategy)
    return None if member is None else STRATEGIES[member.to_u8()]


def _link_type_name(value: object) -> str:
    """The engine's name of a link type ("Fiber", "Satellite") from a member
    of either enumeration or a name in any letter case: Python and networkx
    code writes "Satellite", .vorn files write "satellite"; both mean the same."""
    if isinstance(value, (vorn_core.LinkType, vorn_core.VornLinkType)):
        value = member_name(value)
    if isinstance(value, str):
        for name in LINK_TYPES:
            if value.lower() == name.lower():
                return name
    raise ValueError(f"link_type must be {' or '.join(map(repr, LINK_TYPES))} (in any letter case), not {value!r}")


def _real(value: object, name: str) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"{name} must be a real number, not {type(value).__name__}")
    return float(value)


def _optional_real(value: object, name: str) -> float | None:
    return None if value is None else _real(value, name)


def _annotated(cls: type, annotation: str) -> tuple[str, ...]:
    """The names of the fields of dataclass `cls` with this annotation."""
    return tuple(f.name for f in fields(cls) if f.type == annotation)


def real_fields(cls: type) -> tuple[str, ...]:
    """The measured values of a `Node`, `Link` or `Config`: its fields of type
    float (what `Network.scaled` scales and networkx attributes carry)."""
    return _annotated(cls, "float")


def field_values(record: Any) -> dict[str, Any]:
    """The fields of a dataclass value by name, in order (private ones left out)."""
    return {f.name: getattr(record, f.name) for f in fields(record) if not f.name.startswith("_")}


@dataclass(frozen=True)
class Node:
    """A node: its id and the coherence time T2 of its memory, in seconds."""

    id: str
    memory_lifetime_t2_s: float = 1.0

    def __post_init__(self) -> None:
        if not isinstance(self.id, str):
            raise TypeError(f"node id must be a str, not {type(self.id).__name__}")
        object.__setattr__(self, "memory_lifetime_t2_s", _real(self.memory_lifetime_t2_s, "memory_lifetime_t2_s"))


@dataclass(frozen=True)
class Link:
    """A link between two nodes. Links have no direction; their order matters
    because the engine takes the first link joining two nodes. `link_type`
    is "Fiber" or "Satellite", given in any letter case ("satellite" as
    .vorn files write it) and kept in the engine's spelling; `save` writes
    the file format's lower-case one. Satellite conditions are both None or
    both set (a half given alone gets 1.0 for the other)."""

    from_node: str
    to: str
    distance_km: float
    base_fidelity: float
    generation_rate_hz: float
    link_type: str = "Fiber"
    satellite_visibility: float | None = None
    satellite_weather_factor: float | None = None

    def __post_init__(self) -> None:
        for name in LINK_ENDS:
            if not isinstance(getattr(self, name), str):
                raise TypeError(f"{name} must be a str, not {type(getattr(self, name)).__name__}")
        for name in real_fields(Link):
            object.__setattr__(self, name, _real(getattr(self, name), name))
        for name in _SATELLITE_FIELDS:
            object.__setattr__(self, name, _optional_real(getattr(self, name), name))
        object.__setattr__(self, "link_type", _link_type_name(self.link_type))
        # Satellite conditions exist as a pair; a missing half means 1.0, as in
        # vorn_core.SatelliteConditions, so equal links compare equal.
        if self.has_satellite_conditions:
            for name in _SATELLITE_FIELDS:
                if getattr(self, name) is None:
                    object.__setattr__(self, name, 1.0)

    @property
    def has_satellite_conditions(self) -> bool:
        return self.satellite_visibility is not None or self.satellite_weather_factor is not None


# The fields that name a link's ends, first in its fields, and its optional
# pair of satellite conditions.
LINK_ENDS = ("from_node", "to")
_SATELLITE_FIELDS = _annotated(Link, "float | None")


@dataclass(frozen=True)
class Config:
    """The engine configuration. The defaults are those of `VornEngine()`
    (note: `vorn_core.SimulationConfig()` defaults to a purify factor of 0.022)."""

    baseline_purify_factor: float = 0.12
    speed_of_light_in_fiber_km_ms: float = 200.0
    total_time_cutoff_ms: float = 5000.0
    step_resolution_ms: float = 0.1

    def __post_init__(self) -> None:
        for name in real_fields(Config):
            object.__setattr__(self, name, _real(getattr(self, name), name))

    @classmethod
    def from_simulation_config(cls, config: vorn_core.SimulationConfig) -> Config:
        return _convert.config_from_simulation_config(config)

    @classmethod
    def from_vorn_config(cls, config: vorn_core.VornConfig | None) -> Config:
        """The configuration an engine loaded from a file with this config section gets."""
        return _convert.config_from_vorn_config(config)

    def simulation_config(self) -> vorn_core.SimulationConfig:
        """A `SimulationConfig` holding exactly these four values."""
        return _convert.simulation_config(self)

    def vorn_config(self) -> vorn_core.VornConfig | None:
        """The file config section that loads back as this configuration.

        Raises ValueError for a configuration the file format cannot express
        (a file fixes the speed of light and the step resolution, and states
        the time cutoff in attempts of 50 ms), rather than saving another one.
        The purify factor is stored as alpha_loss / 10 and may come back one
        unit in the last place off.
        """
        return _convert.vorn_config(self)


def _tuple_of(items: Iterable[Any], kind: type, name: str) -> tuple[Any, ...]:
    if isinstance(items, (str, bytes)):
        raise TypeError(f"{name} must be a sequence of {kind.__name__}, not {type(items).__name__}")
    values = tuple(items)
    for item in values:
        if not isinstance(item, kind):
            raise TypeError(f"{name} must hold {kind.__name__} values, not {type(item).__name__}")
    return values


@dataclass(frozen=True)
class Network:
    """Nodes, links and the engine configuration of one network.

    Frozen, hashable and equal by value; pickles without any engine. The
    engine used by `request` and `simulate` is built on first use and kept
    privately (it takes no part in equality, hashing or pickling).
    `positions` (node id -> (x, y)) are drawing positions, such as a
    networkx graph's "pos" node attribute; `plot_network` uses them when
    they place every node. They are no part of equality or hashing.
    """

    nodes: tuple[Node, ...]
    links: tuple[Link, ...]
    config: Config = field(default_factory=Config)
    positions: Mapping[str, tuple[float, float]] | None = field(default=None, repr=False, compare=False,
                                                                 hash=False)
    _engine: vorn_core.VornEngine | None = field(default=None, init=False, repr=False, compare=False,
                                                 hash=False)
    # The node ids as a set, built on the first check of a request.
    _known_ids: frozenset[str] | None = field(default=None, init=False, repr=False, compare=False, hash=False)

    def __post_init__(self) -> None:
        object.__setattr__(self, "nodes", _tuple_of(self.nodes, Node, "nodes"))
        object.__setattr__(self, "links", _tuple_of(self.links, Link, "links"))
        if not isinstance(self.config, Config):
            raise TypeError(f"config must be a vorn.Config, not {type(self.config).__name__}")
        if self.positions is not None:
            object.__setattr__(self, "positions", {str(node): (float(x), float(y))
                                                   for node, (x, y) in self.positions.items()})

    def __repr__(self) -> str:
        return f"Network({len(self.nodes)} nodes, {len(self.links)} links)"

    def _repr_html_(self) -> str:
        """The link table, for notebooks."""
        from vorn._display import html

        return html(self)

    def __reduce__(self) -> tuple[Any, ...]:
        return (Network, (self.nodes, self.links, self.config, self.positions))

    # -- construction -----------------------------------------------------

    @classmethod
    def from_definitions(cls, nodes: Iterable[vorn_core.NodeDefinition], links: Iterable[vorn_core.LinkDefinition],
                         config: vorn_core.SimulationConfig | None = None) -> Network:
        """From vorn_core records; without `config`, the `VornEngine()` defaults."""
        return _convert.from_definitions(nodes, links, config)

    @classmethod
    def builtin(cls, name: str) -> Network:
        """A built-in reference network ("telecom_backbone", "repeater_chain",
        "hybrid_satellite_fiber") with the `VornEngine()` configuration."""
        return _convert.from_builtin(name)

    @classmethod
    def from_file(cls, source: str | os.PathLike[str] | vorn_core.VornFile) -> Network:
        """From a .vorn file path (loaded and validated) or a `VornFile` object.

        Nodes without a memory lifetime get T2 = 1 s; the configuration is the
        one `vorn_core.from_vorn_file` gives an engine for this file.
        """
        return _convert.from_file(source)

    @classmethod
    def from_networkx(cls, graph: networkx.Graph[Any]) -> Network:
        """From a networkx graph of any kind.

        Node attributes: "memory_lifetime_t2_s" (default 1.0); "undefined"
        (default False) leaves the node out, for links that name nodes the
        network does not define. Edge attributes:
        "distance_km", "base_fidelity", "generation_rate_hz" (required),
        "link_type" ("Fiber" or "Satellite" in any letter case, default "Fiber"),
        "satellite_visibility", "satellite_weather_factor" (default None).
        Node "pos" attributes (x, y), as networkx layouts write them, become
        the network's drawing `positions`. Graph attributes named like the `Config` fields set the configuration
        (missing ones take the `VornEngine()` defaults). Nodes keep the
        graph's order and edges their orientation; in a multigraph whose edge
        keys are exactly 0..n-1 (as `to_networkx` writes them) the keys give
        the link order, otherwise the graph's edge order is used.
        """
        return _convert.from_networkx(graph)

    # -- conversion ---------------------------------------------------------

    def definitions(self) -> tuple[list[vorn_core.NodeDefinition], list[vorn_core.LinkDefinition]]:
        """The vorn_core node and link records, in order."""
        return _convert.definitions(self)

    def simulation_config(self) -> vorn_core.SimulationConfig:
        return self.config.simulation_config()

    def engine(self) -> vorn_core.VornEngine:
        """A new engine with this configuration and network."""
        engine = vorn_core.VornEngine(self.config.simulation_config())
        engine.define_network(*self.definitions())
        return engine

    def to_networkx(self) -> networkx.MultiDiGraph[Any]:
        """A MultiDiGraph that `from_networkx` turns back into this network
        (edge key = link index, configuration in the graph attributes)."""
        return _convert.to_networkx(self)

    def to_vorn_file(self, name: str = "network") -> vorn_core.VornFile:
        """A `VornFile` that loads back as this network (links get ids L0, L1, ...).

        Files hold T2 in milliseconds and the loader divides by 1000, so a T2
        that no such quotient reaches comes back one unit in the last place off.

        Raises ValueError when the configuration cannot be expressed in a file
        (see `Config.vorn_config`).
        """
        return _convert.to_vorn_file(self, name)

    def save(self, path: str | os.PathLike[str], name: str | None = None) -> None:
        """Write a .vorn file (metadata name: `name`, or the file's stem)."""
        path = os.fspath(path)
        stem = os.path.splitext(os.path.basename(path))[0]
        self.to_vorn_file(name or stem or "network").save(path)

    def nodes_frame(self) -> pandas.DataFrame:
        """One row per node, with the `Node` fields (id, memory_lifetime_t2_s) as columns."""
        return _convert.nodes_frame(self)

    def links_frame(self) -> pandas.DataFrame:
        """One row per link, in link order, with the `Link` fields as columns."""
        return _convert.links_frame(self)

    def node_ids(self) -> list[str]:
        return [node.id for node in self.nodes]

    # -- running --------------------------------------------------------------

    def _cached_engine(self) -> vorn_core.VornEngine:
        if self._engine is None:
            object.__setattr__(self, "_engine", self.engine())
        assert self._engine is not None
        return self._engine

    def check_request(self, from_node: str, to: str, max_latency_ms: float) -> None:
        """Refuse, before any work, a request that the engine would answer
        with a misleading result: an endpoint the network does not define
        (`vorn.UnknownNodeError`, a KeyError and ValueError, naming it) or a
        budget that, with this configuration's time cutoff, lets a request
        run forever (ValueError)."""
        self._check_nodes(from_node, to)
        check_time_limit(max_latency_ms, self.config.total_time_cutoff_ms)

    def _check_nodes(self, *names: str) -> None:
        if self._known_ids is None:
            object.__setattr__(self, "_known_ids", frozenset(node.id for node in self.nodes))
        assert self._known_ids is not None
        check_nodes(self._known_ids, self.node_ids, *names)

    def request(self, from_node: str, to: str, fidelity_target: float, max_latency_ms: float,
                strategy: StrategyLike = None, seed: int | None = None,
                timeout: float | None = None) -> vorn_core.SimulationResult:
        """One entanglement request.

        Without `seed` this is `VornEngine.request_entanglement`, whose
        generation draws come from one fixed generator: the same request
        gives the same draws every time. With `seed` (0 to 2**64 - 1) the
        request draws generation and memory loss from that seed, as run 0 of
        `simulate(..., seed=seed)` does: vary the seed to see other outcomes,
        repeat it to get the same outcome again.

        `timeout`: seconds (None: no limit) after which the call ends with a
        TimeoutError saying what ran out of time (for HighestSuccess, that
        its route search is a longest-path search). On the main thread an
        interval timer (SIGALRM) ends the engine call within milliseconds;
        the SIGALRM handler and timer found are restored afterwards, and a
        timer of the caller's keeps running. Off the main thread no signal
        handler can run during an engine call, so there the call runs in a
        child process that ends it (starting it costs a few tenths of a
        second).

        Raises `vorn.UnknownNodeError` for a node the network does not have
        and ValueError for a budget and time cutoff under which a request
        could never end (see `check_request`).
        """
        name = strategy_name(strategy)
        if seed is not None:
            seed = checked_seed(seed)
        seconds = checked_timeout(timeout)
        self.check_request(from_node, to, max_latency_ms)
        limit = self._limit(seconds, "the request", from_node, to, name)
        return call_limited(limit, _request, self, from_node, to, fidelity_target, max_latency_ms, name, seed)

    def simulate(self, from_node: str, to: str, fidelity_target: float, max_latency_ms: float, runs: int,
                 seed: int | None = None, strategy: StrategyLike = None,
                 store_context: bool = True, timeout: float | None = None) -> EnsembleStats:
        """A Monte Carlo ensemble (`VornEngine.simulate`); run i uses seed + i.

        Returns `EnsembleStats`, as `vorn.simulate` does: the engine's
        `MonteCarloStats` fields, context and `sensitivity_analysis`, plus the
        success count, the seed and the strategy (`.engine_stats()` gives the
        engine's record itself). Without `seed` one is drawn at random and
        reported in `.seed`, so the ensemble can be repeated. The strategy
        may also come before the seed, in `VornEngine.simulate`'s order
        (see `seed_and_strategy`).

        With `store_context=False` the copy of the network kept for
        sensitivity analysis is dropped from the result. `runs` and `seed`
        must lie in [0, 2**64); unknown nodes and unending requests are
        refused as by `request`. `timeout` as in `request`.
        """
        seed, strategy = seed_and_strategy(seed, strategy)
        runs = checked_count(runs)
        seed = secrets.randbits(64) if seed is None else checked_seed(seed)
        name = strategy_name(strategy)
        seconds = checked_timeout(timeout)
        self.check_request(from_node, to, max_latency_ms)
        limit = self._limit(seconds, f"the ensemble of {runs} runs", from_node, to, name)
        stats = call_limited(limit, _simulate, self, from_node, to, fidelity_target, max_latency_ms, runs, seed,
                             name)
        result = from_engine_stats(stats, seed, name)
        if not store_context:
            result.context = None
        return result

    def _limit(self, seconds: float | None, kind: str, from_node: str | None = None, to: str | None = None,
               strategy: str | None = None) -> Limit | None:
        return request_limit(seconds, kind, len(self.nodes), len(self.links), from_node, to, strategy)

    def qkd(self, from_node: str, to_node: str, fidelity_target: float, max_latency_ms: float,
            rounds: int | None = None, error_rate_tolerance: float | None = None,
            timeout: float | None = None) -> vorn_core.QKDResult:
        """BB84-style key distribution (`vorn_core.qkd`). Unknown nodes and
        unending requests are refused as by `request`; `timeout` as there."""
        if rounds is not None:
            rounds = checked_count(rounds, "rounds")
        seconds = checked_timeout(timeout)
        self.check_request(from_node, to_node, max_latency_ms)
        limit = self._limit(seconds, "the QKD estimate" if rounds is None else f"the QKD estimate of {rounds} rounds",
                            from_node, to_node)
        return call_limited(limit, _qkd, self, from_node, to_node, fidelity_target, max_latency_ms, rounds,
                            error_rate_tolerance)

    def teleportation(self, source_node: str, target_node: str, state_fidelity: float | None = None,
                      classical_bandwidth_ms: float | None = None,
                      timeout: float | None = None) -> vorn_core.TeleportationOutcome:
        """Entanglement-based teleportation (`vorn_core.teleportation`); its
        request has the budget `classical_bandwidth_ms` (default 100 ms).
        Unknown nodes and unending requests are refused as by `request`;
        `timeout` as there."""
        seconds = checked_timeout(timeout)
        self.check_request(source_node, target_node,
                           _TELEPORTATION_BUDGET_MS if classical_bandwidth_ms is None else classical_bandwidth_ms)
        limit = self._limit(seconds, "the teleportation", source_node, target_node)
        return call_limited(limit, _teleportation, self, source_node, target_node, state_fidelity,
                            classical_bandwidth_ms)

    def distributed_computation(self, participants: Sequence[str],
                                coordination_topology: vorn_core.CoordinationTopology,
                                measurement_basis: vorn_core.MeasurementBasis,
                                classical_relay_latency_ms: float | None = None,
                                timeout: float | None = None) -> vorn_core.DistributedComputingResult:
        """A distributed computation among `participants` (`vorn_core.distributed_computation`).

        Every node a request would run between (the participants, a star's
        center, an explicit edge list's nodes) must be in the network;
        each request's budget is 10 x `classical_relay_latency_ms` (default
        5 ms). Unknown nodes and unending requests are refused as by
        `request`; `timeout` as there.
        """
        participants = list(participants)
        seconds = checked_timeout(timeout)
        relay = _RELAY_LATENCY_MS if classical_relay_latency_ms is None else classical_relay_latency_ms
        self._check_nodes(*_coordination_nodes(participants, coordination_topology))
        check_time_limit(relay * 10.0, self.config.total_time_cutoff_ms)
        limit = self._limit(seconds, f"the distributed computation among {len(participants)} participants")
        return call_limited(limit, _distributed_computation, self, participants, coordination_topology,
                            measurement_basis, classical_relay_latency_ms)

    # -- variations -------------------------------------------------------------

    def scaled(self, factors: Mapping[str, float]) -> Network:
        """A copy with link, node or configuration fields multiplied by factors,
        e.g. {"distance_km": 1.1, "memory_lifetime_t2_s": 0.5}.

        Rule: a factor must be a finite number of 0 or more, and a
        `base_fidelity` within [0, 1] must stay within it. Nothing is
        clamped: a factor that would take a fidelity above 1 raises
        ValueError naming the first such link (a fidelity above 1 is no physical value, and
        `.vorn` validation rejects it). To raise fidelities towards 1, pass a
        function to `sweep(variations=...)` that caps them as you intend.
        """
        link_fields, node_fields, config_fields = (set(real_fields(cls)) for cls in (Link, Node, Config))
        unknown = set(factors) - link_fields - node_fields - config_fields
        if unknown:
            raise ValueError(f"cannot scale {', '.join(sorted(unknown))}; scalable fields: "
                             + ", ".join(sorted(link_fields | node_fields | config_fields)))
        checked = {name: check_scale_factor(name, value) for name, value in factors.items()}

        def scale(record: Any, names: set[str]) -> Any:
            changes = {name: getattr(record, name) * checked[name] for name in names if name in checked}
            return replace(record, **changes) if changes else record

        links = tuple(scale(link, link_fields) for link in self.links)
        if "base_fidelity" in checked:
            for index, (old, new) in enumerate(zip(self.links, links)):
                if 0.0 <= old.base_fidelity <= 1.0 and not new.base_fidelity <= 1.0:
                    raise ValueError(fidelity_above_one_message(checked["base_fidelity"], index, old.from_node,
                                                                old.to, old.base_fidelity, new.base_fidelity))
        return Network(
            tuple(scale(node, node_fields) for node in self.nodes),
            links,
            scale(self.config, config_fields),
        )


def _request(network: Network, from_node: str, to: str, fidelity_target: float, max_latency_ms: float,
             strategy: str | None, seed: int | None) -> vorn_core.SimulationResult:
    engine = network._cached_engine()
    member = strategy_type(strategy)
    if seed is None:
        return engine.request_entanglement(from_node, to, fidelity_target, max_latency_ms, member)
    # A one-run ensemble is the engine's seeded request; its means are
    # that run's latency and fidelity. The route does not depend on the
    # draws, and a zero budget returns it without drawing.
    stats = engine.simulate(from_node, to, fidelity_target, max_latency_ms, 1, member, seed)
    route = engine.request_entanglement(from_node, to, fidelity_target, 0.0, member)
    return type(route)(stats.empirical_success_rate == 1.0, stats.mean_latency_ms, stats.mean_fidelity,
                       route.execution_path)


def _simulate(network: Network, from_node: str, to: str, fidelity_target: float, max_latency_ms: float, runs: int,
              seed: int | None, strategy: str | None) -> vorn_core.MonteCarloStats:
    return network._cached_engine().simulate(from_node, to, fidelity_target, max_latency_ms, runs,
                                             strategy_type(strategy), seed)


def _qkd(network: Network, from_node: str, to_node: str, fidelity_target: float, max_latency_ms: float,
         rounds: int | None, error_rate_tolerance: float | None) -> vorn_core.QKDResult:
    return vorn_core.qkd(network._cached_engine(), from_node, to_node, fidelity_target, max_latency_ms, rounds,
                         error_rate_tolerance)


def _teleportation(network: Network, source_node: str, target_node: str, state_fidelity: float | None,
                   classical_bandwidth_ms: float | None) -> vorn_core.TeleportationOutcome:
    return vorn_core.teleportation(network._cached_engine(), source_node, target_node, state_fidelity,
                                   classical_bandwidth_ms)


def _distributed_computation(network: Network, participants: list[str],
                             coordination_topology: vorn_core.CoordinationTopology,
                             measurement_basis: vorn_core.MeasurementBasis,
                             classical_relay_latency_ms: float | None) -> vorn_core.DistributedComputingResult:
    return vorn_core.distributed_computation(network._cached_engine(), participants, coordination_topology,
                                             measurement_basis, classical_relay_latency_ms)


def _coordination_nodes(participants: list[str], topology: vorn_core.CoordinationTopology) -> list[str]:
    """The nodes between which a distributed computation runs requests: the
    ends of its coordination edges, built as the engine builds them (a star
    joins every other participant to its center, a ring each participant to
    the next, a mesh every pair; any other kind lists its edges)."""
    kind = topology.kind
    if kind == "star":
        center = topology.center_node or ""
        leaves = [node for node in participants if node != center]
        return leaves + [center] if leaves else []
    if kind == "ring":
        return participants
    if kind == "mesh":
        return participants if len(participants) >= 2 else []
    return [node for edge in topology.edges or [] for node in edge]


from vorn import _convert  # noqa: E402  (the conversions build Network values)
