"""Results as data: plain JSON-ready values (`to_dict`) and pandas frames (`to_frame`).

Every vorn_core record converts by its attributes, read from the class in
declaration order, so records added to the engine later convert without a
change here. Enumeration members become their names ("Fiber").
"""

from __future__ import annotations

import dataclasses
import math
from collections.abc import Mapping
from typing import TYPE_CHECKING, Any

from vorn._members import ENUMERATIONS, member_name
from vorn._optional import require

if TYPE_CHECKING:
    import pandas

__all__ = ["to_dict", "to_frame", "record_attributes", "is_enumeration", "finding_kind"]

def is_enumeration(value: object) -> bool:
    return type(value).__module__ == "builtins" and type(value).__name__ in ENUMERATIONS


def record_attributes(cls: type) -> list[str]:
    """The data attributes of a vorn_core class, in declaration order."""
    return [name for name, value in vars(cls).items()
            if type(value).__name__ == "getset_descriptor" and not name.startswith("__")]


def _is_record(value: object) -> bool:
    cls = type(value)
    return cls.__module__ == "builtins" and not isinstance(value, BaseException) and bool(record_attributes(cls))


def to_dict(value: Any) -> Any:
    """Plain values for a result-like object, recursively.

    vorn_core records become dicts of their attributes (a leading underscore
    is dropped: `MonteCarloStats._context` is "context"), enumeration members
    their names, dataclasses (vorn.Network, merged ensemble statistics) dicts
    of their fields, tuples lists. Dicts and lists are converted item by item;
    plain values pass through. The result serialises with `json.dumps`
    (non-finite floats as NaN/Infinity, which `json` writes by default).
    """
    if value is None or isinstance(value, (bool, int, float, str)):
        return value
    if is_enumeration(value):
        return member_name(value)
    if isinstance(value, Mapping):
        return {str(key): to_dict(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [to_dict(item) for item in value]
    if dataclasses.is_dataclass(value) and not isinstance(value, type):
        return {f.name: to_dict(getattr(value, f.name)) for f in dataclasses.fields(value)
                if not f.name.startswith("_")}
    if _is_record(value):
        return {name.lstrip("_"): to_dict(getattr(value, name)) for name in record_attributes(type(value))}
    raise TypeError(f"cannot convert {type(value).__name__} to plain data")


def _split_link(label: str) -> tuple[str, str]:
    source, _, target = label.partition("->")
    return source, target


def heatmap_rows(heatmap: Mapping[str, int]) -> list[dict[str, Any]]:
    """One row per link label "a->b": link, from_node, to, uses (sorted by label)."""
    rows = []
    for label in sorted(heatmap):
        source, target = _split_link(label)
        rows.append({"link": label, "from_node": source, "to": target, "uses": int(heatmap[label])})
    return rows


def _flat_row(value: Any) -> dict[str, Any]:
    row = to_dict(value)
    if not isinstance(row, dict):
        return {"value": row}
    return row


def _rows(value: Any) -> tuple[list[dict[str, Any]], list[str] | None]:
    name = type(value).__name__
    own_rows = getattr(value, "_frame_rows", None)
    if callable(own_rows):  # values of vorn that lay out their own table
        rows, columns = own_rows()
        return rows, columns
    if hasattr(value, "link_utilization_heatmap") and hasattr(value, "total_runs"):
        return heatmap_rows(value.link_utilization_heatmap), ["link", "from_node", "to", "uses"]
    if name == "TopologyComparisonReport":
        rows = []
        for result in value.results:
            row = _flat_row(result)
            row.pop("link_utilization")
            row["recommended"] = result.topology_name == value.recommended_topology
            rows.append(row)
        return rows, ["topology_name", "success_rate", "mean_latency_ms", "mean_fidelity", "recommended"]
    if name == "DistributedComputingResult":
        return [_flat_row(party) for party in value.party_results], ["node_id", "successful_measurement",
                                                                     "local_fidelity"]
    if name == "TopologyDiff" or (isinstance(value, Mapping) and "nodes_added" in value):
        lists = to_dict(value)
        rows = [{"change": field.split("_", 1)[1], "kind": field.split("_", 1)[0][:-1], "key": key}
                for field in ("nodes_added", "nodes_removed", "nodes_modified", "links_added", "links_removed",
                              "links_modified")
                for key in lists[field]]
        return rows, ["change", "kind", "key"]
    if isinstance(value, Mapping) and "valid" in value and "errors" in value:
        rows = [{"severity": "error", "kind": finding_kind(e.get("type")), "type": e.get("type"),
                 "message": e.get("message"), "path": e.get("path")} for e in value["errors"]]
        rows += [{"severity": "warning", "kind": finding_kind(w.get("type")), "type": w.get("type"),
                  "message": w.get("message"), "path": w.get("path")} for w in value["warnings"]]
        return rows, ["severity", "kind", "type", "message", "path"]
    if isinstance(value, Mapping) and all(isinstance(v, (int, float)) and not isinstance(v, bool)
                                          for v in value.values()):
        return [{"parameter": str(k), "impact": float(v)} for k, v in value.items()], ["parameter", "impact"]
    return [_flat_row(value)], None


def finding_kind(type_text: str | None) -> str | None:
    """The kind of a validation finding ("InvalidFidelity") from its "type"
    text, which also holds the values ("InvalidFidelity: 1.104 for link 'L0'")."""
    if type_text is None:
        return None
    return type_text.partition(":")[0].strip()


def to_frame(value: Any) -> pandas.DataFrame:
    """A pandas DataFrame for a result-like object or a list of them.

    - a list or tuple: one row per item (its `to_dict` fields as columns);
    - ensemble statistics (EnsembleStats or MonteCarloStats): the heat map, one
      row per link with columns "link", "from_node", "to", "uses";
    - a comparison report: one row per topology, with "recommended";
    - a distributed-computation result: one row per party;
    - a sensitivity dict: columns "parameter", "impact", in ranking order;
    - a `vorn.sensitivity` result: one row per parameter, in ranking order;
    - a validation dict: one row per finding ("severity", "kind", "type",
      "message", "path"); "kind" is the finding's kind alone ("InvalidFidelity"),
      to group by, while "type" also holds its values;
    - a diff (dict or TopologyDiff): one row per change ("change", "kind", "key");
    - any other record: one row of its fields.
    """
    pd = require("pandas", "frames")
    if isinstance(value, (list, tuple)):
        frame: pandas.DataFrame = pd.DataFrame([_flat_row(item) for item in value])
        return frame
    rows, columns = _rows(value)
    frame = pd.DataFrame(rows, columns=columns)
    return frame


def wilson_interval(successes: int, runs: int, z: float = 1.959963984540054) -> tuple[float, float]:
    """The Wilson score interval of a binomial proportion (95 % by default);
    (nan, nan) for zero runs."""
    if runs <= 0:
        return math.nan, math.nan
    p = successes / runs
    denominator = 1.0 + z * z / runs
    centre = (p + z * z / (2 * runs)) / denominator
    half = z * math.sqrt(p * (1 - p) / runs + z * z / (4 * runs * runs)) / denominator
    # At 0 or `runs` successes one end is exactly 0 or 1; rounding would move it.
    low = 0.0 if successes == 0 else max(0.0, centre - half)
    high = 1.0 if successes == runs else min(1.0, centre + half)
    return low, high
