"""Plain sentences for the engine's file-reading messages.

The engine reports a malformed .vorn file in the reader's own terms
("invalid type: string "20", expected f64 at line 1 column 108"), which
name implementation types. Those texts stay as they are; `vorn validate`
prints one of these sentences beside them. Every sentence is a whole
template here; the reader's words they replace are listed once, below.
"""
from __future__ import annotations

import re

# What the reader says it wanted, in a researcher's words.
_WANTED = {
    "f64": "a number",
    "u32": "a whole number from 0 to 4294967295",
    "a string": "a text in double quotes",
    "a sequence": "a list in square brackets",
    "struct VornFile": "the network file's object in braces",
    "struct VornMetadata": "the metadata object in braces",
    "struct VornNode": "a node object in braces",
    "struct VornLink": "a link object in braces",
    "struct VornConfig": "the config object in braces",
    "struct VornConstraints": "the constraints object in braces",
    "struct VornExtensions": "the extensions object in braces",
    "struct VornSatelliteExtension": "the satellite object in braces",
}

# What the reader says it found.
_FOUND = (
    (re.compile(r"^string (\".*\")$"), "the text {0}"),
    (re.compile(r"^(?:floating point|integer) `(.*)`$"), "the number {0}"),
    (re.compile(r"^boolean `(.*)`$"), "{0}"),
    (re.compile(r"^map$"), "an object in braces"),
    (re.compile(r"^sequence$"), "a list in square brackets"),
    (re.compile(r"^null$"), "null"),
)

EMPTY_FILE = "The file is empty."
WRONG_TYPE = "{wanted} belongs here, but the file has {found}."
MISSING_MEMBER = 'The member "{name}" is required here and is missing.'
DUPLICATE_MEMBER = 'The member "{name}" appears twice in one object.'
UNKNOWN_WORD = '"{value}" is not allowed here; write one of {choices}, in lower case as .vorn files spell them.'
TRUNCATED = "The file ends before its JSON is complete."
TRAILING_COMMA = "A comma stands before a closing bracket or brace; remove it."
TRAILING_TEXT = "More text follows the end of the JSON document."
TOO_DEEP = "Arrays or objects are nested more than 128 levels deep."
NOT_JSON = "This is not valid JSON at that place ({detail})."
VERSION = 'Only "version": "1.0" is supported.'
NOT_A_LIST = "{wanted} belongs here, but the array is shorter than the record it stands for."

_INVALID = re.compile(r"^invalid (?:type|value): (.+), expected (.+?) at line \d+ column \d+$")
_MISSING = re.compile(r"^missing field `(.+)`")
_DUPLICATE = re.compile(r"^duplicate field `(.+)`")
_VARIANT = re.compile(r"^unknown variant `(.*)`, expected (?:one of )?(.+?) at line \d+ column \d+$")
_LENGTH = re.compile(r"^invalid length \d+, expected (struct \w+) with")
_SYNTAX = re.compile(r"^(expected .+|key must be a string|invalid number|number out of range|control character .+)"
                     r" at line \d+ column \d+$")


def _found(text: str) -> str:
    for pattern, template in _FOUND:
        match = pattern.match(text)
        if match:
            return template.format(*match.groups())
    return text


def plain_sentence(message: str, file_text: str | None = None) -> str | None:
    """A plain sentence for a load failure's message (without the "Failed to
    load PATH: " prefix), or None when the message is plain already."""
    reader = message.removeprefix("JSON parse error: ")
    if message.startswith("Unsupported vorn version"):
        return VERSION
    if reader is message:
        return None
    if reader.startswith("EOF while parsing"):
        return EMPTY_FILE if file_text is not None and not file_text.strip() else TRUNCATED
    match = _INVALID.match(reader)
    if match:
        found, wanted = match.groups()
        wanted_text = _WANTED.get(wanted, wanted)
        return WRONG_TYPE.format(wanted=wanted_text[0].upper() + wanted_text[1:], found=_found(found))
    if match := _MISSING.match(reader):
        return MISSING_MEMBER.format(name=match.group(1))
    if match := _DUPLICATE.match(reader):
        return DUPLICATE_MEMBER.format(name=match.group(1))
    if match := _VARIANT.match(reader):
        choices = match.group(2).replace("`", '"')
        return UNKNOWN_WORD.format(value=match.group(1), choices=choices)
    if match := _LENGTH.match(reader):
        wanted_text = _WANTED.get(match.group(1), match.group(1))
        return NOT_A_LIST.format(wanted=wanted_text[0].upper() + wanted_text[1:])
    if reader.startswith("trailing comma"):
        return TRAILING_COMMA
    if reader.startswith("trailing characters"):
        return TRAILING_TEXT
    if reader.startswith("recursion limit exceeded"):
        return TOO_DEEP
    if match := _SYNTAX.match(reader):
        return NOT_JSON.format(detail=match.group(1))
    return None
