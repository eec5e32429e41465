"""Python layer around the vorn_core engine: networks as values, results as
data, sweeps and sharded ensembles on any executor.

`import vorn` needs no optional dependency; functions that use pandas,
networkx, matplotlib, tqdm or dask say which extra to install.
"""

from __future__ import annotations

import os
from typing import TYPE_CHECKING, Any

import vorn_core
from vorn import _display, _pickle
from vorn._checks import UnknownNodeError
from vorn._display import describe
from vorn._version import __version__ as __version__
from vorn.comparison import compare
from vorn.data import to_dict, to_frame
from vorn.ensemble import EnsembleStats, simulate
from vorn.network import Config, Link, Network, Node
from vorn.parallel import worker_initializer
from vorn.physical import PhysicalModel, PhysicalStats, simulate_physical
from vorn.rate_distance import rate_vs_distance
from vorn.sensitivity import SensitivityResult, sensitivity
from vorn.sweep import sweep

__all__ = [
    "Config",
    "EnsembleStats",
    "Link",
    "Network",
    "Node",
    "PhysicalModel",
    "PhysicalStats",
    "SensitivityResult",
    "UnknownNodeError",
    "builtin",
    "compare",
    "describe",
    "from_networkx",
    "rate_vs_distance",
    "read",
    "sensitivity",
    "simulate",
    "simulate_physical",
    "sweep",
    "to_dict",
    "to_frame",
    "worker_initializer",
]

if TYPE_CHECKING:
    import networkx

_pickle.register()
_display.register_ipython()


def builtin(name: str) -> Network:
    """A built-in reference network by name (see `Network.builtin`)."""
    return Network.builtin(name)


def read(path: str | os.PathLike[str] | vorn_core.VornFile) -> Network:
    """A network from a .vorn file (see `Network.from_file`)."""
    return Network.from_file(path)


def from_networkx(graph: networkx.Graph[Any]) -> Network:
    """A network from a networkx graph (see `Network.from_networkx`)."""
    return Network.from_networkx(graph)
