"""A progress bar that appears only where someone can watch it."""

from __future__ import annotations

import sys
from collections.abc import Iterable, Iterator
from typing import Any, TypeVar

T = TypeVar("T")


def _in_notebook() -> bool:
    shell = sys.modules.get("IPython")
    if shell is None:
        return False
    get_ipython = getattr(shell, "get_ipython", None)
    instance = get_ipython() if callable(get_ipython) else None
    return instance is not None and type(instance).__name__ == "ZMQInteractiveShell"


def _stderr_is_terminal() -> bool:
    stream = sys.stderr
    try:
        return stream is not None and stream.isatty()
    except (AttributeError, ValueError):
        return False


def bar_wanted(enabled: bool | None = None) -> bool:
    """True when a bar should be drawn: `enabled` if given, otherwise when
    stderr is a terminal or the code runs in a notebook; never without tqdm."""
    if enabled is None:
        enabled = _stderr_is_terminal() or _in_notebook()
    if not enabled:
        return False
    try:
        import tqdm  # noqa: F401
    except ImportError:
        return False
    return True


def progress(iterable: Iterable[T], total: int | None, enabled: bool | None = None,
             description: str | None = None) -> Iterator[T]:
    """Iterate `iterable`, drawing a tqdm bar of `total` steps when `bar_wanted`.

    Without a terminal, a notebook or tqdm the items pass through silently.
    """
    if not bar_wanted(enabled):
        yield from iterable
        return
    import tqdm.auto
    import tqdm.std

    factory: Any = tqdm.auto.tqdm if _in_notebook() else tqdm.std.tqdm
    with factory(iterable, total=total, desc=description, leave=False) as bar:
        yield from bar
