"""Readable text and notebook HTML for vorn values and the engine's results.

The engine's result records print as `<builtins.SimulationResult object at
0x...>` (their designed form, kept). `describe` gives any of them, and the
vorn values, as a short table of fields; `html` the same table for
notebooks. Inside IPython, `register_ipython` makes those the display of
every engine record whose own repr is the default one, without changing
the records.
"""
from __future__ import annotations

import html as html_escape
import math
import sys
from collections.abc import Mapping, Sequence
from typing import Any

__all__ = ["describe", "html", "register_ipython", "field_rows"]

# Lists and tables longer than this are cut, with a line saying how many are left out.
MAX_ROWS = 20
LEFT_OUT = "... {count} more"
MAPPING_SIZE = "{count} entries"


def _value_text(value: Any) -> str:
    if isinstance(value, bool) or value is None:
        return str(value)
    if isinstance(value, float):
        return "nan" if math.isnan(value) else f"{value:.6g}"
    if isinstance(value, Mapping):
        return MAPPING_SIZE.format(count=len(value))
    if isinstance(value, (list, tuple)):
        shown = ", ".join(_value_text(item) for item in value[:MAX_ROWS])
        return shown if len(value) <= MAX_ROWS else f"{shown}, {LEFT_OUT.format(count=len(value) - MAX_ROWS)}"
    return str(value)


def field_rows(value: Any) -> list[tuple[str, str]]:
    """(field, text) for each field of a record or vorn value."""
    from vorn.data import to_dict

    data = to_dict(value)
    if not isinstance(data, dict):
        return [("value", _value_text(data))]
    return [(name, _value_text(item)) for name, item in data.items()]


def _table(value: Any) -> tuple[str, list[str], list[list[str]], str | None]:
    """A title, the column names, the rows and an optional line under the table."""
    name = type(value).__name__
    if name == "TopologyComparisonReport":
        header = ["topology", "success rate", "mean latency ms", "mean fidelity", "recommended"]
        rows = [[r.topology_name, _value_text(r.success_rate), _value_text(r.mean_latency_ms),
                 _value_text(r.mean_fidelity), "yes" if r.topology_name == value.recommended_topology else ""]
                for r in value.results]
        return f"{name} ({value.runs} runs each)", header, rows, value.summary
    if name == "Network":
        header = ["from", "to", "km", "fidelity", "rate Hz", "type"]
        rows = [[link.from_node, link.to, _value_text(link.distance_km), _value_text(link.base_fidelity),
                 _value_text(link.generation_rate_hz), link.link_type] for link in value.links]
        return repr(value), header, rows, None
    return name, ["field", "value"], [list(row) for row in field_rows(value)], None


def _cut(rows: list[list[str]]) -> tuple[list[list[str]], str | None]:
    if len(rows) <= MAX_ROWS:
        return rows, None
    return rows[:MAX_ROWS], LEFT_OUT.format(count=len(rows) - MAX_ROWS)


def describe(value: Any) -> str:
    """A readable multi-line text for a result or vorn value."""
    title, header, rows, footer = _table(value)
    rows, cut = _cut(rows)
    widths = [max(len(cell) for cell in column) for column in zip(header, *rows)]
    lines = [title, "  ".join(cell.ljust(width) for cell, width in zip(header, widths)).rstrip()]
    lines += ["  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip() for row in rows]
    lines += [line for line in (cut, footer) if line]
    return "\n".join(lines)


def html(value: Any) -> str:
    """The table of `describe` as HTML, for notebooks."""
    title, header, rows, footer = _table(value)
    rows, cut = _cut(rows)
    escape = html_escape.escape
    head = "".join(f"<th>{escape(cell)}</th>" for cell in header)
    body = "".join("<tr>" + "".join(f"<td>{escape(cell)}</td>" for cell in row) + "</tr>" for row in rows)
    notes = "".join(f"<p>{escape(line)}</p>" for line in (cut, footer) if line)
    return (f"<div><strong>{escape(title)}</strong><table><thead><tr>{head}</tr></thead>"
            f"<tbody>{body}</tbody></table>{notes}</div>")


def _record_names() -> Sequence[str]:
    """The engine's record classes whose repr is the default one."""
    import vorn_core
    from vorn.data import record_attributes

    names = []
    for name in vorn_core.__all__:
        cls = getattr(vorn_core, name)
        default_repr: Any = object.__repr__
        if isinstance(cls, type) and record_attributes(cls) and cls.__repr__ is default_repr:
            names.append(name)
    # Records the module does not export by name.
    return names + ["SimulationResult", "PyMonteCarloContext"]


def register_ipython() -> None:
    """Inside IPython, display the engine's records with default reprs as
    `describe` and `html` show them; elsewhere do nothing."""
    shell_module = sys.modules.get("IPython")
    get_ipython = getattr(shell_module, "get_ipython", None)
    shell = get_ipython() if callable(get_ipython) else None
    if shell is None:
        return
    formatters = shell.display_formatter.formatters
    for name in _record_names():
        formatters["text/plain"].for_type_by_name("builtins", name, _pretty)
        formatters["text/html"].for_type_by_name("builtins", name, html)


def _pretty(value: Any, printer: Any, cycle: bool) -> None:
    printer.text(describe(value))
