"""Line and column of the records a .vorn validation finding is about.

The engine's validation report names ids and values but not places in the
file, so `vorn validate` finds them here: a small walk over the document
records where each element of "nodes" and "links" starts, and each finding is
matched to the element that produces exactly that finding (the k-th finding
with a given text goes to the k-th element that would produce it).
"""
from __future__ import annotations

import json
import re
from collections.abc import Mapping, Sequence
from typing import Any

Position = tuple[int, int]  # 1-based line and column

_WHITESPACE = " \t\r\n"
_DECODER = json.JSONDecoder()
# Array forms of the records list their members in declaration order.
_NODE_FIELDS = ("id", "memory_lifetime_ms", "memory_capacity", "node_type")
_LINK_FIELDS = ("id", "from", "to", "distance_km", "base_fidelity", "generation_rate_hz",
                "link_type", "satellite")
_FILE_FIELDS = ("version", "metadata", "nodes", "links")
_PARSE_POSITION = re.compile(r" at line (\d+) column (\d+)$")


class _Walker:
    def __init__(self, text: str) -> None:
        self.text = text
        self.line_starts = [0] + [i + 1 for i, c in enumerate(text) if c == "\n"]

    def position(self, offset: int) -> Position:
        line = _bisect_right(self.line_starts, offset)
        return line, offset - self.line_starts[line - 1] + 1

    def skip(self, offset: int) -> int:
        while offset < len(self.text) and self.text[offset] in _WHITESPACE:
            offset += 1
        return offset

    def value(self, offset: int) -> tuple[Any, int]:
        return _DECODER.raw_decode(self.text, offset)

    def members(self, offset: int) -> list[tuple[str | int, int, int]]:
        """(name or index, start, end) of each member of the object or array at `offset`."""
        opening = self.text[offset]
        closing = "}" if opening == "{" else "]"
        found: list[tuple[str | int, int, int]] = []
        offset = self.skip(offset + 1)
        index = 0
        while offset < len(self.text) and self.text[offset] != closing:
            name: str | int = index
            if opening == "{":
                key, offset = self.value(offset)
                offset = self.skip(self.skip(offset) + 1)  # past the colon
                name = str(key)
            _, end = self.value(offset)
            found.append((name, offset, end))
            offset = self.skip(end)
            if offset < len(self.text) and self.text[offset] == ",":
                offset = self.skip(offset + 1)
            index += 1
        return found


def _bisect_right(values: Sequence[int], target: int) -> int:
    low, high = 0, len(values)
    while low < high:
        middle = (low + high) // 2
        if values[middle] <= target:
            low = middle + 1
        else:
            high = middle
    return low


def _record(value: Any, fields: Sequence[str]) -> Mapping[str, Any]:
    if isinstance(value, list):
        return dict(zip(fields, value))
    return value if isinstance(value, dict) else {}


def _expected_findings(text: str) -> tuple[list[tuple[str, Position]], dict[str, Position]]:
    """Every finding key the validation rules would raise, with the position of
    the record causing it, in the rules' order; plus the top-level member positions."""
    walker = _Walker(text)
    start = walker.skip(0)
    top: dict[str, Position] = {}
    arrays: dict[str, int] = {}
    for name, begin, _ in walker.members(start):
        key = _FILE_FIELDS[name] if isinstance(name, int) and name < len(_FILE_FIELDS) else name
        if isinstance(key, str):
            top[key] = walker.position(begin)
            if key in ("nodes", "links") and text[begin] == "[":
                arrays[key] = begin
    nodes = [(_record(walker.value(b)[0], _NODE_FIELDS), walker.position(b))
             for _, b, _ in (walker.members(arrays["nodes"]) if "nodes" in arrays else [])]
    links = [(_record(walker.value(b)[0], _LINK_FIELDS), walker.position(b))
             for _, b, _ in (walker.members(arrays["links"]) if "links" in arrays else [])]

    findings: list[tuple[str, Position]] = []
    seen: set[Any] = set()
    for node, where in nodes:
        if node.get("id") in seen:
            findings.append((f"DuplicateNodeId: {node.get('id')}", where))
        seen.add(node.get("id"))
    for link, where in links:
        link_id = link.get("id")
        label = "unknown" if link_id is None else str(link_id)
        ends = (link.get("from"), link.get("to"))
        if ends[0] == ends[1]:
            findings.append((f"SelfLoop: {label}", where))
        for end in ends:
            if end not in seen:
                suffix = "" if link_id is None else f"[{link_id}]"
                findings.append((f"UnknownNodeReference: {end}{suffix}", where))
        checks = (("InvalidDistance", "distance_km", lambda v: v <= 0),
                  ("InvalidFidelity", "base_fidelity", lambda v: not 0 < v <= 1),
                  ("InvalidGenerationRate", "generation_rate_hz", lambda v: v <= 0))
        for kind, field, broken in checks:
            value = link.get(field)
            if isinstance(value, (int, float)) and broken(value):
                findings.append((f"{kind} {label}", where))
    return findings, top


def _finding_key(type_text: str) -> str:
    """The matching key of a finding's type text: the text itself, except that
    the numeric kinds are keyed by kind and link label (their value is printed
    by the engine's own number format)."""
    kind, _, rest = type_text.partition(": ")
    if kind in ("InvalidDistance", "InvalidFidelity", "InvalidGenerationRate"):
        label = rest.rpartition(" for link '")[2]
        return f"{kind} {label[:-1] if label.endswith(chr(39)) else label}"
    return type_text


def finding_positions(text: str, type_texts: Sequence[str]) -> list[Position | None]:
    """The position of each finding (by its "type" text from `vorn_core.validate`),
    or None where no record could be matched."""
    try:
        expected, top = _expected_findings(text)
    except (ValueError, IndexError, KeyError):
        return [None] * len(type_texts)
    result: list[Position | None] = []
    used = [False] * len(expected)
    for type_text in type_texts:
        if type_text.startswith("GraphDisconnected"):
            result.append(top.get("nodes") or top.get("links"))
            continue
        key = _finding_key(type_text)
        where = None
        for i, (candidate, position) in enumerate(expected):
            if not used[i] and candidate == key:
                used[i] = True
                where = position
                break
        result.append(where)
    return result


def member_position(text: str, member: str) -> Position | None:
    """Where the top-level member `member` starts, if the text gets that far."""
    try:
        return _expected_findings(text)[1].get(member)
    except (ValueError, IndexError, KeyError):
        return None


def parse_error_position(message: str) -> Position | None:
    """The position at the end of a reader message ("... at line 3 column 7")."""
    match = _PARSE_POSITION.search(message)
    return (int(match.group(1)), int(match.group(2))) if match else None
