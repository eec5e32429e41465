"""Deterministic node positions for drawing a network.

Positions come from stress majorisation over hop distances: a classical
multidimensional scaling of the hop-distance matrix gives the start, and a
fixed number of weighted majorisation steps (weights 1/d^2, the Kamada-Kawai
energy) refine it. Nothing is random, so the same network always gets the same
picture; chains come out straight and rings round.
"""
from __future__ import annotations

from collections import deque
from collections.abc import Iterable, Sequence

import numpy as np
import numpy.typing as npt

Positions = dict[str, tuple[float, float]]
_Array = npt.NDArray[np.float64]


def _hop_distances(count: int, adjacency: list[list[int]]) -> _Array:
    """All-pairs hop counts by breadth-first search; unreachable pairs get the
    largest finite distance plus one, so components sit side by side."""
    distances = np.full((count, count), np.inf)
    for start in range(count):
        distances[start, start] = 0.0
        queue = deque([start])
        while queue:
            here = queue.popleft()
            for there in adjacency[here]:
                if distances[start, there] == np.inf:
                    distances[start, there] = distances[start, here] + 1.0
                    queue.append(there)
    finite = distances[np.isfinite(distances)]
    far = float(finite.max()) + 1.0 if finite.size else 1.0
    distances[~np.isfinite(distances)] = far
    return distances


def _classical_scaling(distances: _Array) -> _Array:
    count = distances.shape[0]
    centring = np.eye(count) - np.full((count, count), 1.0 / count)
    gram = -0.5 * centring @ (distances ** 2) @ centring
    values, vectors = np.linalg.eigh(gram)
    top = np.argsort(values)[::-1][:2]
    coords: _Array = vectors[:, top] * np.sqrt(np.clip(values[top], 0.0, None))
    # Symmetric networks have repeated eigenvalues, and the eigensolver may
    # then pick a plane in which two nodes coincide; majorisation can never
    # pull coincident nodes apart. A small fixed offset per node (golden-angle
    # spiral) breaks every such tie the same way on every machine.
    angles = np.arange(count) * (np.pi * (3.0 - np.sqrt(5.0)))
    offset = 1e-3 * (float(np.abs(coords).max()) or 1.0)
    coords = coords + offset * np.column_stack((np.cos(angles), np.sin(angles)))
    return coords


def _majorise(coords: _Array, distances: _Array, iterations: int) -> _Array:
    """Guttman-transform steps of weighted stress majorisation (weights 1/d^2)."""
    count = distances.shape[0]
    off_diagonal = ~np.eye(count, dtype=bool)
    weights = np.zeros_like(distances)
    weights[off_diagonal] = 1.0 / distances[off_diagonal] ** 2
    pull = np.zeros_like(distances)  # weight x target distance = 1/d
    pull[off_diagonal] = 1.0 / distances[off_diagonal]
    laplacian = -weights
    np.fill_diagonal(laplacian, weights.sum(axis=1))
    inverse = np.linalg.pinv(laplacian)
    scale = float(np.abs(coords).max()) or 1.0
    for _ in range(iterations):
        x, y = coords[:, 0], coords[:, 1]
        current = np.hypot(x[:, None] - x[None, :], y[:, None] - y[None, :])
        ratio = np.divide(pull, current, out=np.zeros_like(pull), where=current > 1e-12)
        # (diag(row sums) - ratio) @ coords without building the matrix
        step = ratio.sum(axis=1)[:, None] * coords - ratio @ coords
        updated: _Array = inverse @ step
        moved = float(np.abs(updated - coords).max())
        coords = updated
        if moved < 1e-4 * scale:  # converged: further steps move nothing by a visible amount
            break
    return coords


def _normalise(coords: _Array) -> _Array:
    """Centre, scale into [-1, 1] and fix each axis' sign so the result does not
    depend on the sign convention of the eigensolver."""
    coords = coords - coords.mean(axis=0)
    for axis in range(2):
        column = coords[:, axis]
        if column.size and column[int(np.argmax(np.abs(column)))] < 0:
            coords[:, axis] = -column
    span = float(np.abs(coords).max()) if coords.size else 0.0
    return coords / span if span > 0 else coords


def stress_layout(nodes: Sequence[str], edges: Iterable[tuple[str, str]],
                  iterations: int = 200) -> Positions:
    """Positions in [-1, 1]^2 for `nodes`, placing nodes joined by `edges`
    close together. Edges naming unknown nodes and self-loops are ignored."""
    ids = list(dict.fromkeys(nodes))
    if not ids:
        return {}
    if len(ids) == 1:
        return {ids[0]: (0.0, 0.0)}
    index = {node: i for i, node in enumerate(ids)}
    adjacency: list[list[int]] = [[] for _ in ids]
    for a, b in edges:
        if a in index and b in index and a != b:
            adjacency[index[a]].append(index[b])
            adjacency[index[b]].append(index[a])
    distances = _hop_distances(len(ids), adjacency)
    coords = _normalise(_majorise(_classical_scaling(distances), distances, iterations))
    return {node: (float(coords[i, 0]), float(coords[i, 1])) for i, node in enumerate(ids)}
