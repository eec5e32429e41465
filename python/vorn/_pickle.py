"""copyreg reducers that let vorn_core records pickle and deep-copy.

vorn_core classes report the module "builtins", so pickle cannot find them by
name; each reducer stores the class name, the constructor's required
arguments and every attribute, and `_rebuild` constructs the object and sets
the attributes back (which also restores values that the constructor derives,
such as `PhysicalConfig.baseline_purify_factor`).

Classes without a Python constructor (the comparison results, the ensemble
context, enumeration members) are rebuilt from a blank instance obtained
through a tiny engine call, whose attributes are then all overwritten.
`VornEngine` cannot pickle: its network cannot be read back. Ship a
`vorn.Network` and build the engine where it is needed.
"""

from __future__ import annotations

import copyreg
import inspect
from collections.abc import Callable
from typing import Any

import vorn_core
from vorn._members import ENUMERATIONS, member_name
from vorn.data import record_attributes


def _tiny_engine() -> vorn_core.VornEngine:
    engine = vorn_core.VornEngine()
    engine.define_network([vorn_core.NodeDefinition("A", 1.0)], [])
    return engine


def _comparison_report() -> Any:
    return vorn_core.compare_topologies([], 0.0, 0.0, 1)


def _comparison_result() -> Any:
    endpoint = vorn_core.TopologyEndpoints("repeater_chain", "N0", "N0")
    return vorn_core.compare_topologies([endpoint], 1.0, 0.0, 1).results[0]


def _ensemble_context() -> Any:
    return _tiny_engine().simulate("A", "A", 1.0, 0.0, 0, seed=0)._context


def _simulation_result() -> Any:
    return _tiny_engine().request_entanglement("A", "A", 1.0, 0.0)


def _snapshot() -> Any:
    return vorn_core.snapshot_topology(_tiny_engine())


def _topology_diff() -> Any:
    snapshot = _snapshot()
    return vorn_core.diff_topologies(snapshot, snapshot)


# Blank instances of the classes that Python cannot construct directly (or
# that the module does not expose), made through the public operations.
_BLANK_FACTORIES: dict[str, Callable[[], Any]] = {
    "TopologyComparisonReport": _comparison_report,
    "TopologyComparisonResult": _comparison_result,
    "PyMonteCarloContext": _ensemble_context,
    "SimulationResult": _simulation_result,
    "TopologySnapshot": _snapshot,
    "TopologyMetadata": lambda: _snapshot().metadata,
    "TopologyConfig": lambda: _snapshot().config,
    "TopologyDiff": _topology_diff,
}

# Constructor arguments that are not attributes of the same name (the
# attributes are all set afterwards; the arguments only have to be valid).
_ARGUMENTS: dict[str, Callable[[Any], tuple[Any, ...]]] = {
    "VornFile": lambda value: (value.metadata.name,),
}

_classes: dict[str, type] = {}


class _Unpicklable(TypeError):
    pass


def _required_parameters(cls: type) -> list[str]:
    try:
        signature = inspect.signature(cls)
    except (TypeError, ValueError):
        return []
    return [p.name for p in signature.parameters.values()
            if p.default is inspect.Parameter.empty
            and p.kind in (inspect.Parameter.POSITIONAL_ONLY, inspect.Parameter.POSITIONAL_OR_KEYWORD)]


def _constructible(cls: type) -> bool:
    if cls.__name__ in _BLANK_FACTORIES:
        return False
    try:
        inspect.signature(cls)
    except (TypeError, ValueError):
        return False
    return True


def blank_instance(name: str) -> Any:
    """A new instance of a vorn_core class that has no Python constructor
    (its attribute values are placeholders, to be overwritten)."""
    return _BLANK_FACTORIES[name]()


def _rebuild(name: str, arguments: tuple[Any, ...], state: dict[str, Any]) -> Any:
    cls = _classes[name]
    value = cls(*arguments) if _constructible(cls) else _BLANK_FACTORIES[name]()
    for attribute, item in state.items():
        setattr(value, attribute, item)
    return value


def _enumeration_member(class_name: str, member: str) -> Any:
    return getattr(getattr(vorn_core, class_name), member)


def _reduce_record(value: Any) -> tuple[Any, ...]:
    cls = type(value)
    attributes = record_attributes(cls)
    arguments: tuple[Any, ...] = ()
    if cls.__name__ in _ARGUMENTS:
        arguments = _ARGUMENTS[cls.__name__](value)
    elif _constructible(cls):
        available = set(attributes)
        arguments = tuple(getattr(value, name if name in available else "_" + name)
                          for name in _required_parameters(cls))
    state = {name: getattr(value, name) for name in attributes}
    return (_rebuild, (cls.__name__, arguments, state))


def _reduce_enumeration(value: Any) -> tuple[Any, ...]:
    return (_enumeration_member, (type(value).__name__, member_name(value)))


def _refuse_engine(value: Any) -> tuple[Any, ...]:
    raise _Unpicklable("a VornEngine cannot be pickled or copied (its network cannot be read back); "
                       "pass a vorn.Network and call .engine() where the work runs")


def picklable_classes() -> dict[str, type]:
    """Every class that has a reducer, by name (registered once `import vorn` ran)."""
    return dict(_classes)


def register() -> None:
    """Register reducers for every class of vorn_core and the hidden ones above."""
    found: dict[str, type] = {}
    for name in vorn_core.__all__:
        item = getattr(vorn_core, name)
        if isinstance(item, type):
            found[item.__name__] = item
    for name, factory in _BLANK_FACTORIES.items():
        if name not in found:
            found[name] = type(factory())
    for name, cls in found.items():
        if cls is vorn_core.VornEngine:
            copyreg.pickle(cls, _refuse_engine)
        elif name in ENUMERATIONS:
            copyreg.pickle(cls, _reduce_enumeration)
            _classes[name] = cls
        else:
            copyreg.pickle(cls, _reduce_record)
            _classes[name] = cls


__all__ = ["register", "picklable_classes", "blank_instance"]
