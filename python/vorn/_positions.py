"""Line and column of the records a .vorn validation finding is about.

The engine's validation report names ids and values but not places in the
file, so `vorn validate` finds them here: a small walk over the document
records where each element of "nodes" and "links" starts, and each finding is
matched to the element that produces exactly that finding (the k-th finding
with a given text goes to the k-th element that would produce it).
"""
from __future__ import annotations

import bisect
import json
import re
from collections import deque
from collections.abc import Callable, Mapping, Sequence
from typing import Any

Position = tuple[int, int]  # 1-based line and column

_SPACE = re.compile(r"[ \t\r\n]*")
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
        self.line_starts = [0] + [match.end() for match in re.finditer("\n", text)]

    def position(self, offset: int) -> Position:
        line = bisect.bisect_right(self.line_starts, offset)
        return line, offset - self.line_starts[line - 1] + 1

    def skip(self, offset: int) -> int:
        match = _SPACE.match(self.text, offset)
        return match.end() if match else offset

    def value(self, offset: int) -> tuple[Any, int]:
        return _DECODER.raw_decode(self.text, offset)

    def elements(self, offset: int) -> tuple[list[tuple[Any, int]], int]:
        """(value, start) of each element of the array at `offset`, and the end."""
        found: list[tuple[Any, int]] = []
        offset = self.skip(offset + 1)
        if self.text[offset] == "]":
            return found, offset + 1
        while True:
            value, end = self.value(offset)
            found.append((value, offset))
            offset = self.skip(end)
            if self.text[offset] != ",":
                return found, offset + 1
            offset = self.skip(offset + 1)

    def top_level(self) -> tuple[dict[str, int], dict[str, list[tuple[Any, int]]]]:
        """Start of each top-level member's value, and the elements of the
        "nodes" and "links" arrays (the document may be an object or, as any
        record, an array of its members in declaration order)."""
        offset = self.skip(0)
        opening = self.text[offset]
        closing = "}" if opening == "{" else "]"
        starts: dict[str, int] = {}
        arrays: dict[str, list[tuple[Any, int]]] = {}
        offset = self.skip(offset + 1)
        index = 0
        while offset < len(self.text) and self.text[offset] != closing:
            name = _FILE_FIELDS[index] if index < len(_FILE_FIELDS) else ""
            if opening == "{":
                key, offset = self.value(offset)
                offset = self.skip(self.skip(offset) + 1)  # past the colon
                name = str(key)
            starts[name] = offset
            if name in ("nodes", "links") and self.text[offset] == "[":
                arrays[name], end = self.elements(offset)
            else:
                end = self.value(offset)[1]
            offset = self.skip(end)
            if offset < len(self.text) and self.text[offset] == ",":
                offset = self.skip(offset + 1)
            index += 1
        return starts, arrays


def _record(value: Any, fields: Sequence[str]) -> Mapping[str, Any]:
    if isinstance(value, list):
        return dict(zip(fields, value))
    return value if isinstance(value, dict) else {}


# The value rules of a link, in the validator's order.
_LINK_CHECKS: tuple[tuple[str, str, Callable[[float], bool]], ...] = (
    ("InvalidDistance", "distance_km", lambda v: v <= 0),
    ("InvalidFidelity", "base_fidelity", lambda v: not 0 < v <= 1),
    ("InvalidGenerationRate", "generation_rate_hz", lambda v: v <= 0),
)


def _expected_findings(text: str) -> tuple[list[tuple[str, int]], dict[str, int], _Walker]:
    """Every finding key the validation rules would raise, with the offset of
    the record causing it, in the rules' order; plus the top-level member offsets."""
    walker = _Walker(text)
    starts, arrays = walker.top_level()
    findings: list[tuple[str, int]] = []
    seen: set[Any] = set()
    for value, where in arrays.get("nodes", []):
        node_id = _record(value, _NODE_FIELDS).get("id")
        if node_id in seen:
            findings.append((f"DuplicateNodeId: {node_id}", where))
        seen.add(node_id)
    for value, where in arrays.get("links", []):
        link = _record(value, _LINK_FIELDS)
        link_id = link.get("id")
        label = "unknown" if link_id is None else str(link_id)
        ends = (link.get("from"), link.get("to"))
        if ends[0] == ends[1]:
            findings.append((f"SelfLoop: {label}", where))
        for end in ends:
            if end not in seen:
                suffix = "" if link_id is None else f"[{link_id}]"
                findings.append((f"UnknownNodeReference: {end}{suffix}", where))
        for kind, field, broken in _LINK_CHECKS:
            number = link.get(field)
            if isinstance(number, (int, float)) and broken(number):
                findings.append((f"{kind} {label}", where))
    return findings, starts, walker


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
        expected, starts, walker = _expected_findings(text)
    except (ValueError, IndexError, KeyError, RecursionError):
        return [None] * len(type_texts)
    remaining: dict[str, deque[int]] = {}
    for key, start in expected:
        remaining.setdefault(key, deque()).append(start)
    result: list[Position | None] = []
    for type_text in type_texts:
        offset: int | None
        if type_text.startswith("GraphDisconnected"):
            offset = starts.get("nodes", starts.get("links"))
        else:
            candidates = remaining.get(_finding_key(type_text))
            offset = candidates.popleft() if candidates else None
        result.append(None if offset is None else walker.position(offset))
    return result


def member_position(text: str, member: str) -> Position | None:
    """Where the value of the top-level member `member` starts, if the text gets that far."""
    walker = _Walker(text)
    try:
        starts = walker.top_level()[0]
    except (ValueError, IndexError, KeyError, RecursionError):
        starts = {}
    return walker.position(starts[member]) if member in starts else None


def parse_error_position(message: str) -> Position | None:
    """The position at the end of a reader message ("... at line 3 column 7")."""
    match = _PARSE_POSITION.search(message)
    return (int(match.group(1)), int(match.group(2))) if match else None
