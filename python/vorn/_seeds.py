"""Checks for the run counts and seeds that the parallel entry points pass on.

The engine takes both as unsigned 64-bit integers; checking them before any
task is submitted reports a bad value once, in the caller, with the engine's
exception types.
"""

from __future__ import annotations

import operator

SEED_MODULUS = 2**64


def checked_count(value: int, name: str = "runs") -> int:
    """`value` as an int in [0, 2**64); TypeError or OverflowError otherwise."""
    count = operator.index(value)
    if not 0 <= count < SEED_MODULUS:
        raise OverflowError(f"{name} must be between 0 and 2**64 - 1, not {count}")
    return count


def checked_seed(value: int) -> int:
    return checked_count(value, "seed")
