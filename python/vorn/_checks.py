"""Argument checks of the vorn entry points, made before any work starts.

The engine takes every argument as it comes: an unknown node gives a failed
request (a believable 0 % success rate), a negative run count an
OverflowError that names no argument, and an infinite budget with an
infinite time cutoff a request that never returns. Each rule and each message
template lives here once; the entry points of `vorn` (and the command line)
call these functions.
"""

from __future__ import annotations

import math
import operator
from collections.abc import Callable, Iterable
from collections.abc import Set as AbstractSet

__all__ = [
    "UnknownNodeError",
    "SEED_MODULUS",
    "CLOCK_LIMIT_MS",
    "SHOWN_NODES",
    "checked_count",
    "checked_seed",
    "check_nodes",
    "unknown_node_message",
    "check_time_limit",
    "check_scale_factor",
    "fidelity_above_one_message",
    "TIMEOUT_NO_LIMIT_S",
    "checked_timeout",
    "timeout_message",
    "running_text",
]

SEED_MODULUS = 2**64

# After a failed attempt every later round of a request is abandoned and
# advances the clock by 2.5 ms. In double precision that addition stops
# changing the clock at 2**55 ms (the spacing of doubles there is 8 ms), so a
# request whose budget and time cutoff both lie above it never ends.
CLOCK_LIMIT_MS = float(2**55)

# Node ids listed in an unknown-node message, at most.
SHOWN_NODES = 20

COUNT_MESSAGE = "{name} must be a whole number from 0 to 2**64 - 1, not {value}"
UNKNOWN_NODE_MESSAGE = "unknown node {node!r}; the network's nodes: {known}"
UNBOUNDED_MESSAGE = (
    "no request with max_latency_ms={budget!r} and total_time_cutoff_ms={cutoff!r} could end after a "
    "failed attempt: the clock then advances 2.5 ms per round and stops advancing at 2**55 ms; give the "
    "budget or the configuration's cutoff a value of at most 2**55 ms"
)
FACTOR_MESSAGE = "the factor for {name} must be a finite number of 0 or more, not {value!r}"
FIDELITY_MESSAGE = (
    "scaling base_fidelity by {factor!r} takes link {index} ({from_node}-{to}) from {old!r} to {new!r}; "
    "a fidelity must stay within [0, 1]"
)
TIMEOUT_MESSAGE = "{name} must be a number of seconds above 0, or None for no limit, not {value!r}"
# A timeout that long (about 31 years) is no limit; the interval timer takes
# nothing much longer.
TIMEOUT_NO_LIMIT_S = 1e9
TIMED_OUT_MESSAGE = "{what} did not finish within the timeout of {seconds:g} s"
# HighestSuccess maximises a sum over the hops of a simple path, a longest-path
# problem, whose search can take far longer than anything else a request does.
LONGEST_PATH_MESSAGE = (
    "{what} did not finish within the timeout of {seconds:g} s: with the HighestSuccess strategy the "
    "route search is a longest-path search over the simple paths between the two nodes, whose work can "
    "grow exponentially with the number of nodes and links; use LowestLatency or HighestFidelity, a "
    "smaller network, or a longer timeout"
)
REQUEST_TEXT = "{kind} from {from_node} to {to}"
ON_NETWORK_TEXT = "{what} on a network of {nodes} nodes and {links} links"


class UnknownNodeError(KeyError, ValueError):
    """A node id the network does not define. Both a KeyError (a failed
    lookup) and a ValueError (a bad argument value); prints its message
    without the quotes that KeyError adds."""

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""


def checked_count(value: int, name: str = "runs") -> int:
    """`value` as an int in [0, 2**64); TypeError or OverflowError otherwise,
    naming the argument and its range."""
    try:
        count = operator.index(value)
    except TypeError:
        raise TypeError(COUNT_MESSAGE.format(name=name, value=repr(value))) from None
    if not 0 <= count < SEED_MODULUS:
        raise OverflowError(COUNT_MESSAGE.format(name=name, value=count))
    return count


def checked_seed(value: int, name: str = "seed") -> int:
    return checked_count(value, name)


def unknown_node_message(node: str, known: Iterable[str]) -> str:
    ids = list(known)
    shown = ", ".join(ids[:SHOWN_NODES]) + (", ..." if len(ids) > SHOWN_NODES else "")
    return UNKNOWN_NODE_MESSAGE.format(node=node, known=shown or "(none)")


def check_nodes(known: AbstractSet[str], node_ids: Callable[[], list[str]], *names: str) -> None:
    """Raise UnknownNodeError for the first of `names` not in `known`;
    `node_ids` lists the network's ids, in order, for the message."""
    for name in names:
        if name not in known:
            raise UnknownNodeError(unknown_node_message(name, node_ids()))


def check_time_limit(max_latency_ms: float, total_time_cutoff_ms: float) -> None:
    """ValueError when a request with this budget and cutoff could never end.

    A round runs while the clock is below both limits, so the request is
    bounded by the smaller one; NaN or a negative value ends it at once.
    """
    budget, cutoff = float(max_latency_ms), float(total_time_cutoff_ms)
    if budget > CLOCK_LIMIT_MS and cutoff > CLOCK_LIMIT_MS:
        raise ValueError(UNBOUNDED_MESSAGE.format(budget=budget, cutoff=cutoff))


def check_scale_factor(name: str, value: object) -> float:
    """A scale factor as a float: a finite real number of 0 or more (a
    negative factor would flip the sign of lengths, rates and times)."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"the factor for {name} must be a real number, not {type(value).__name__}")
    factor = float(value)
    if not (math.isfinite(factor) and factor >= 0.0):
        raise ValueError(FACTOR_MESSAGE.format(name=name, value=factor))
    return factor


def fidelity_above_one_message(factor: float, index: int, from_node: str, to: str, old: float,
                               new: float) -> str:
    return FIDELITY_MESSAGE.format(factor=factor, index=index, from_node=from_node, to=to, old=old, new=new)


def checked_timeout(value: object, name: str = "timeout") -> float | None:
    """`value` as seconds above 0, or None for no limit (None, infinity and
    anything from TIMEOUT_NO_LIMIT_S up); TypeError or ValueError otherwise."""
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(TIMEOUT_MESSAGE.format(name=name, value=value))
    seconds = float(value)
    if not seconds > 0.0:  # NaN too
        raise ValueError(TIMEOUT_MESSAGE.format(name=name, value=value))
    return None if seconds >= TIMEOUT_NO_LIMIT_S else seconds


def running_text(kind: str, nodes: int, links: int, from_node: str | None = None, to: str | None = None) -> str:
    """What was running, for a timeout message: "the ensemble of 100 runs
    from A to E on a network of 6 nodes and 7 links"."""
    what = kind if from_node is None else REQUEST_TEXT.format(kind=kind, from_node=from_node, to=to)
    return ON_NETWORK_TEXT.format(what=what, nodes=nodes, links=links)


def timeout_message(what: str, seconds: float, strategy: str | None) -> str:
    """The message of a call that ran out of time (`what`, from `running_text`,
    names the network's size); for HighestSuccess it names the longest-path search."""
    if strategy == "HighestSuccess":
        return LONGEST_PATH_MESSAGE.format(what=what, seconds=seconds)
    return TIMED_OUT_MESSAGE.format(what=what, seconds=seconds)
