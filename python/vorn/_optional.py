"""Imports of optional dependencies with an install hint naming the extra.

vorn_core is installed from a source checkout or a wheel file, not from a
package index, so `pip install "vorn_core[plot]"` finds nothing. The hint
names the packages themselves (their requirements as the installed
distribution declares them) and the two forms of the extra that do work.
"""

from __future__ import annotations

import importlib
import importlib.metadata
import re
from types import ModuleType

DISTRIBUTION = "vorn_core"
MISSING_MESSAGE = (
    '{module} is needed for this function: pip install {requirements} '
    '(the "{extra}" extra; from a vorn_core source checkout: pip install ".[{extra}]", '
    'with a wheel file: pip install "./vorn_core-VERSION-TAG.whl[{extra}]")'
)
_EXTRA_MARKER = re.compile(r"""extra\s*==\s*["']([^"']+)["']""")


def extra_requirements(extra: str) -> list[str]:
    """The requirements of `extra` as the installed vorn_core declares them
    ("matplotlib>=3.6"); empty when vorn_core runs without installed
    metadata (from a source tree on sys.path)."""
    try:
        declared = importlib.metadata.requires(DISTRIBUTION) or []
    except importlib.metadata.PackageNotFoundError:
        return []
    requirements = []
    for entry in declared:
        requirement, _, marker = entry.partition(";")
        found = _EXTRA_MARKER.search(marker)
        if found and found.group(1) == extra:
            requirements.append(requirement.strip())
    return requirements


def missing_message(module: str, extra: str) -> str:
    requirements = extra_requirements(extra) or [module]
    return MISSING_MESSAGE.format(module=module, extra=extra,
                                  requirements=" ".join(f'"{item}"' for item in requirements))


def require(module: str, extra: str) -> ModuleType:
    """Import `module`, or raise ImportError telling how to install it.

    >>> pd = require("pandas", "frames")
    """
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(missing_message(module, extra)) from error
