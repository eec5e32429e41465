"""The enumeration-like classes of vorn_core and their members, read from the
module itself: the names of strategies and link types are the engine's, so
nothing here lists them."""

from __future__ import annotations

from typing import Any

import vorn_core

__all__ = ["member_name", "members", "ENUMERATIONS", "STRATEGIES", "LINK_TYPES"]


def members(cls: type) -> dict[str, Any]:
    """The members of a vorn_core enumeration-like class, by name, in the
    order in which the class defines them."""
    return {name: value for name, value in vars(cls).items() if isinstance(value, cls)}


def member_name(member: object) -> str:
    """The name of a vorn_core enumeration member ("Fiber" for LinkType.Fiber).

    The members have no equality or name attribute of their own; the repr
    "LinkType.Fiber" carries the name.
    """
    return repr(member).rsplit(".", 1)[-1]


# The names of vorn_core's enumeration-like classes: those whose class
# attributes are instances of the class.
ENUMERATIONS: frozenset[str] = frozenset(
    name for name in vorn_core.__all__
    if isinstance(getattr(vorn_core, name), type) and members(getattr(vorn_core, name))
)
# The strategy names, indexed by their code (`StrategyType.to_u8()`).
STRATEGIES: tuple[str, ...] = tuple(
    sorted(members(vorn_core.StrategyType), key=lambda name: getattr(vorn_core.StrategyType, name).to_u8())
)
LINK_TYPES: tuple[str, ...] = tuple(members(vorn_core.LinkType))
