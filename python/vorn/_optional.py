"""Imports of optional dependencies with an install hint naming the extra."""

from __future__ import annotations

import importlib
from types import ModuleType


def require(module: str, extra: str) -> ModuleType:
    """Import `module`, or raise ImportError telling which extra installs it.

    >>> pd = require("pandas", "frames")
    """
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(
            f'{module} is needed for this function: pip install "vorn_core[{extra}]"'
        ) from error
