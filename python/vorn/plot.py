"""Pictures of networks, sweeps, sensitivity analyses and topology comparisons.

Every function draws into `ax` (a matplotlib Axes) or, when `ax` is None, into
a new figure, and returns the Axes it drew on. matplotlib is an optional
dependency (the "plot" extra: ``pip install ".[plot]"`` in a source checkout).
"""
from __future__ import annotations

import math
from collections.abc import Iterable, Mapping, Sequence
from typing import TYPE_CHECKING, Any, Literal, Protocol

from vorn._optional import require

if TYPE_CHECKING:
    import pandas as pd
    from matplotlib.axes import Axes

    from vorn.sensitivity import SensitivityResult

__all__ = ["plot_network", "plot_success", "plot_sensitivity", "plot_comparison", "plot_rate_distance",
           "node_marker_size",
           "labelled_nodes", "legend_text", "LABEL_LIMIT"]


class _NodeLike(Protocol):
    @property
    def id(self) -> str: ...


class _LinkLike(Protocol):
    @property
    def from_node(self) -> str: ...
    @property
    def to(self) -> str: ...


class _NetworkLike(Protocol):
    """vorn.Network, a NetworkTopologyPayload, or anything else with node records
    carrying `id` and link records carrying `from_node` and `to`."""

    @property
    def nodes(self) -> Sequence[_NodeLike]: ...
    @property
    def links(self) -> Sequence[_LinkLike]: ...


class _HeatMapCarrier(Protocol):
    @property
    def link_utilization_heatmap(self) -> Mapping[str, int]: ...


Usage = _HeatMapCarrier | Mapping[str, int]

# Columns of a sweep frame that are results, not grid parameters.
_RESULT_COLUMNS = frozenset({"success_rate", "ci_low", "ci_high", "mean_latency_ms",
                             "mean_fidelity", "drops", "runs", "seed"})
_AXIS_LABELS = {"max_latency_ms": "latency budget (ms)", "fidelity_target": "fidelity target",
                "variation": "network variation", "strategy": "routing strategy"}
_T2_PREFIX = "memory_lifetime_t2:"
# Networks with more nodes than this get labels only on the route (if one is
# given): a label box per node covers the links of a large network.
LABEL_LIMIT = 40
LabelChoice = Literal["auto", "all", "route", "none"]


def node_marker_size(count: int) -> float:
    """Marker area (points^2) of an unlabelled node in a network of `count`
    nodes: smaller as the network grows, so that the links stay visible."""
    return max(4.0, min(60.0, 3000.0 / max(1, count)))


def labelled_nodes(ids: Sequence[str], labels: LabelChoice, route: Sequence[str] | None) -> set[str]:
    """The nodes that get an id label: all, the route's, or none; "auto" is
    all up to LABEL_LIMIT nodes and the route's above it."""
    if labels == "all" or (labels == "auto" and len(ids) <= LABEL_LIMIT):
        return set(ids)
    if labels in ("route", "auto"):
        return set(route or ())
    if labels == "none":
        return set()
    raise ValueError(f"labels must be 'auto', 'all', 'route' or 'none', not {labels!r}")


def _new_axes(ax: Axes | None) -> Axes:
    require("matplotlib", "plot")
    if ax is not None:
        return ax
    import matplotlib.pyplot as plt

    _, created = plt.subplots()
    return created


def _text(value: object) -> str:
    """A readable cell value: enumeration members print without their class name."""
    text = str(value)
    return text.split(".", 1)[1] if text.startswith(("StrategyType.", "LinkType.")) else text


# --------------------------------------------------------------------------- network


def _link_usage(network: _NetworkLike, usage: Usage | None) -> list[float] | None:
    """Attempts per link. The heat map counts attempts per ordered node pair, and
    every hop uses the first link joining its two nodes, so a pair's count (both
    directions) belongs to its first link and parallel links after it get 0."""
    if usage is None:
        return None
    heat: Mapping[str, int] = (usage if isinstance(usage, Mapping)
                               else usage.link_utilization_heatmap)
    seen: set[frozenset[str]] = set()
    counts: list[float] = []
    for link in network.links:
        pair = frozenset((link.from_node, link.to))
        if pair in seen:
            counts.append(0.0)
            continue
        seen.add(pair)
        forward = heat.get(f"{link.from_node}->{link.to}", 0)
        backward = heat.get(f"{link.to}->{link.from_node}", 0) if link.from_node != link.to else 0
        counts.append(float(forward + backward))
    return counts


def _curve(start: tuple[float, float], end: tuple[float, float], bend: float,
           steps: int = 24) -> list[tuple[float, float]]:
    """A quadratic Bezier from start to end whose middle is pushed sideways by
    `bend` times the chord length (0 gives the straight segment)."""
    (x0, y0), (x1, y1) = start, end
    if bend == 0.0:
        return [start, end]
    cx = (x0 + x1) / 2 - bend * (y1 - y0)
    cy = (y0 + y1) / 2 + bend * (x1 - x0)
    points = []
    for i in range(steps + 1):
        t = i / steps
        points.append(((1 - t) ** 2 * x0 + 2 * (1 - t) * t * cx + t * t * x1,
                       (1 - t) ** 2 * y0 + 2 * (1 - t) * t * cy + t * t * y1))
    return points


def _node_ids(network: _NetworkLike) -> list[str]:
    ids = [node.id for node in network.nodes]
    for link in network.links:  # link ends without a node record still get drawn
        ids.extend((link.from_node, link.to))
    return list(dict.fromkeys(ids))


def plot_network(network: _NetworkLike, stats: Usage | None = None, ax: Axes | None = None,
                 *, pos: Mapping[str, tuple[float, float]] | None = None,
                 cmap: str = "plasma", title: str | None = None, route: Sequence[str] | None = None,
                 labels: LabelChoice = "auto", node_size: float | None = None) -> Axes:
    """Draw the network: nodes with their ids, links as lines (satellite links
    dashed, parallel links bent apart).

    With `stats` (an EnsembleStats or MonteCarloStats, a comparison result's `link_utilization`
    or any heat-map dict "a->b" -> attempts) each link's colour and width show
    how many generation attempts it carried, both directions together; links
    that carried none are drawn thin and grey. `route` (node ids, such as a
    result's `execution_path`) is drawn over the links in black.

    Positions: `pos` (node id -> (x, y)), else the network's own `positions`
    (a networkx graph's "pos") when they place every node, else a computed
    layout. `labels`: "all", "route" (only the route's nodes), "none", or
    "auto" (all up to LABEL_LIMIT = 40 nodes, the route's above). Nodes
    without a label are dots of area `node_size` (default from the node
    count, `node_marker_size`).
    """
    ax = _new_axes(ax)
    import numpy as np
    from matplotlib import colormaps
    from matplotlib.cm import ScalarMappable
    from matplotlib.collections import LineCollection
    from matplotlib.colors import ListedColormap, Normalize

    from vorn._layout import stress_layout

    ids = _node_ids(network)
    links = list(network.links)
    own: Mapping[str, tuple[float, float]] | None = getattr(network, "positions", None)
    if pos is None and own is not None and all(node in own for node in ids):
        pos = own
    layout: dict[str, tuple[float, float]] = dict(pos) if pos is not None else stress_layout(
        ids, ((link.from_node, link.to) for link in links))
    for node in ids:
        layout.setdefault(node, (0.0, 0.0))
    counts = _link_usage(network, stats)
    busiest = max(counts, default=0.0) if counts else 0.0
    norm = Normalize(vmin=0.0, vmax=busiest if busiest > 0 else 1.0)
    # The top of most colour maps is too pale to read as a line on white.
    colours = ListedColormap(colormaps[cmap](np.linspace(0.0, 0.85, 256)))

    segments, colors, widths, styles = [], [], [], []
    parallel: dict[frozenset[str], int] = {}
    for i, link in enumerate(links):
        if link.from_node == link.to:
            continue
        pair = frozenset((link.from_node, link.to))
        rank = parallel.get(pair, 0)
        parallel[pair] = rank + 1
        # 0, +0.15, -0.15, +0.3, ... keeps the first link straight.
        bend = 0.0 if rank == 0 else 0.15 * ((rank + 1) // 2) * (1 if rank % 2 else -1)
        segments.append(_curve(layout[link.from_node], layout[link.to], bend))
        satellite = "satellite" in str(getattr(link, "link_type", "")).lower()
        styles.append((0, (4, 3)) if satellite else "solid")
        if counts is None:
            colors.append((0.35, 0.45, 0.6, 1.0))
            widths.append(2.0)
        elif counts[i] > 0:
            colors.append(colours(norm(counts[i])))
            widths.append(1.5 + 6.0 * counts[i] / busiest)
        else:
            colors.append((0.75, 0.75, 0.75, 1.0))
            widths.append(0.8)
    ax.add_collection(LineCollection(segments, colors=colors, linewidths=widths,
                                     linestyles=styles, zorder=1))

    if route:
        hops = [(layout[a], layout[b]) for a, b in zip(route, route[1:]) if a in layout and b in layout]
        ax.add_collection(LineCollection(hops, colors="black", linewidths=2.5, zorder=2))

    named = labelled_nodes(ids, labels, route)
    xs = [layout[node][0] for node in ids]
    ys = [layout[node][1] for node in ids]
    ax.scatter(xs, ys, s=0)  # lets autoscaling see the nodes
    dots = [(x, y) for node, x, y in zip(ids, xs, ys) if node not in named]
    if dots:
        ax.scatter([x for x, _ in dots], [y for _, y in dots], zorder=3, color="0.2",
                   s=node_size if node_size is not None else node_marker_size(len(ids)))
    for node, x, y in zip(ids, xs, ys):
        if node in named:
            ax.annotate(node, (x, y), ha="center", va="center", fontsize=8, zorder=4,
                        bbox={"boxstyle": "round,pad=0.3", "fc": "white", "ec": "0.2", "lw": 1.2})
    if counts is not None:
        bar = ax.figure.colorbar(ScalarMappable(norm=norm, cmap=colours), ax=ax, shrink=0.6)
        bar.set_label("generation attempts per link")
    ax.set_aspect("equal")
    ax.margins(0.15)
    ax.autoscale_view()
    ax.set_axis_off()
    if title is not None:
        ax.set_title(title)
    return ax


# --------------------------------------------------------------------------- sweeps


# How a legend names a value of each sweep column; other columns print as "name value".
_LEGEND = {
    "max_latency_ms": "budget {} ms",
    "fidelity_target": "fidelity target {}",
    "strategy": "{}",
    "variation": "{}",
    "from_node": "from {}",
    "to": "to {}",
}
_LEGEND_OTHER = "{name} {value}"
_DEFAULT_STRATEGY = "default strategy"


def legend_text(column: str, value: object) -> str:
    """How a legend names one grid value: "budget 50 ms", "fidelity target
    0.9", "HighestFidelity", "default strategy"."""
    if column == "strategy" and (value is None or (isinstance(value, float) and math.isnan(value))):
        return _DEFAULT_STRATEGY
    text = f"{value:g}" if isinstance(value, float) else _text(value)
    template = _LEGEND.get(column)
    return template.format(text) if template is not None else _LEGEND_OTHER.format(name=column, value=text)


def _is_numeric(values: pd.Series[Any]) -> bool:
    pandas = require("pandas", "frames")
    return bool(pandas.api.types.is_numeric_dtype(values)) and not pandas.api.types.is_bool_dtype(values)


def plot_success(sweep_frame: pd.DataFrame, x: str = "max_latency_ms", ax: Axes | None = None) -> Axes:
    """Success rate against one grid column of a sweep, with the 95 %
    confidence interval: a line and band over a numeric column, points with
    error bars over categories (variations, strategies), side by side. One
    curve per combination of the other grid columns that vary, labelled in
    words with units ("budget 50 ms, HighestSuccess")."""
    ax = _new_axes(ax)
    missing = [c for c in (x, "success_rate", "ci_low", "ci_high") if c not in sweep_frame.columns]
    if missing:
        raise ValueError(f"sweep frame has no column {', '.join(map(repr, missing))}; "
                         f"columns: {', '.join(map(str, sweep_frame.columns))}")
    labels = {c: sweep_frame[c].map(_text) for c in sweep_frame.columns if c not in _RESULT_COLUMNS and c != x}
    keys = [c for c, values in labels.items() if values.nunique(dropna=False) > 1]
    groups: Iterable[tuple[Any, pd.DataFrame]] = [((), sweep_frame)]
    if keys:
        pandas = require("pandas", "frames")
        combination = pandas.Series(list(zip(*(labels[c] for c in keys))), index=sweep_frame.index)
        groups = sweep_frame.groupby(combination, sort=False)
    groups = list(groups)
    numeric = _is_numeric(sweep_frame[x])
    categories = list(dict.fromkeys(sweep_frame[x].map(_text))) if not numeric else []
    # Curves over categories sit side by side within a band of width 0.5 per category.
    step = 0.5 / len(groups) if len(groups) > 1 else 0.0
    for number, (_, group) in enumerate(groups):
        first = group.iloc[0]
        label = ", ".join(legend_text(k, first[k]) for k in keys) or None
        if numeric:
            group = group.sort_values(x)
            (line,) = ax.plot(group[x], group["success_rate"], marker="o", markersize=3, label=label)
            ax.fill_between(group[x], group["ci_low"], group["ci_high"], color=line.get_color(),
                            alpha=0.2, linewidth=0)
            continue
        where = [categories.index(_text(value)) + (number - (len(groups) - 1) / 2) * step for value in group[x]]
        rate = group["success_rate"]
        ax.errorbar(where, rate, yerr=[rate - group["ci_low"], group["ci_high"] - rate], fmt="o", markersize=4,
                    capsize=3, label=label)
    if not numeric:
        ax.set_xticks(range(len(categories)), categories)
        ax.set_xlim(-0.6, len(categories) - 0.4)
    ax.set_xlabel(_AXIS_LABELS.get(x, x))
    ax.set_ylabel("success rate (95 % CI)")
    ax.set_ylim(-0.02, 1.02)
    ax.grid(alpha=0.3)
    if keys:
        ax.legend(fontsize=8)
    return ax


# --------------------------------------------------------------------------- sensitivity


def plot_sensitivity(sensitivity: Mapping[str, float] | SensitivityResult, ax: Axes | None = None, *,
                     top: int | None = 15, noise_floor: float | Literal["auto"] | None = "auto") -> Axes:
    """Tornado chart of a `vorn.sensitivity` result or of the dict of
    `MonteCarloStats.sensitivity_analysis`, the largest effect on top (at
    most `top` parameters).

    A `vorn.sensitivity` result is drawn as the signed change of the success
    rate when each value is lowered (blue) and raised (red), with 95 %
    intervals as error bars; changes whose interval holds 0 are pale, and
    parameters without any effect show no bar (`noise_floor` is not used).

    An impact is (|rate at +10 %| - b| + |rate at -10 %| - b|) / b for the stored
    success rate b, so it is never negative and even a parameter without effect
    scores the sampling noise of two reruns. Memory lifetimes (T2) do not enter
    the round model, so with `noise_floor="auto"` the largest T2 impact is drawn
    as the noise floor; bars at or below it are grey. A float sets the floor,
    None draws none. Non-finite impacts (a NaN baseline) are left out.
    """
    if not isinstance(sensitivity, Mapping):
        return _plot_effects(sensitivity, _new_axes(ax), top)
    ax = _new_axes(ax)
    items = [(name, float(value)) for name, value in sensitivity.items() if math.isfinite(value)]
    items.sort(key=lambda item: -item[1])
    floor: float | None
    if noise_floor == "auto":
        t2 = [value for name, value in items if name.startswith(_T2_PREFIX)]
        floor = max(t2) if t2 else None
    else:
        floor = noise_floor
    shown = items[:top] if top is not None else items
    names = [name for name, _ in shown][::-1]
    values = [value for _, value in shown][::-1]
    colours = ["0.7" if floor is not None and value <= floor else "tab:red" for value in values]
    ax.barh(range(len(values)), values, color=colours)
    ax.set_yticks(range(len(values)), names, fontsize=8)
    ax.set_xlabel("impact on success rate (sum of both deviations / baseline)")
    if floor is not None:
        ax.axvline(floor, color="0.3", linestyle="--", linewidth=1,
                   label="noise floor" + (" (largest T2 impact)" if noise_floor == "auto" else ""))
        ax.legend(fontsize=8, loc="lower right")
    if shown and all(value == 0.0 for _, value in shown):
        ax.text(0.5, 0.5, "all impacts are 0 (baseline success rate below 0.01?)",
                transform=ax.transAxes, ha="center", va="center", fontsize=9)
    ax.set_title("sensitivity to ±10 % parameter changes", fontsize=10)
    ax.grid(axis="x", alpha=0.3)
    return ax


def _plot_effects(result: SensitivityResult, ax: Axes, top: int | None) -> Axes:
    shown = list(result.effects[:top] if top is not None else result.effects)[::-1]
    rows = range(len(shown))
    percent = round(result.step * 100)
    for offset, side, colour in ((0.2, "minus", "tab:blue"), (-0.2, "plus", "tab:red")):
        changes = [getattr(effect, f"change_{side}") for effect in shown]
        lows = [getattr(effect, f"change_{side}_ci_low") for effect in shown]
        highs = [getattr(effect, f"change_{side}_ci_high") for effect in shown]
        clear = [not (low <= 0.0 <= high) for low, high in zip(lows, highs)]
        positions = [row + offset for row in rows]
        bars = ax.barh(positions, changes, height=0.38, color=colour)
        for bar, distinct in zip(bars, clear):
            bar.set_alpha(1.0 if distinct else 0.35)
        errors = [[max(0.0, c - low) for c, low in zip(changes, lows)],
                  [max(0.0, high - c) for c, high in zip(changes, highs)]]
        if not all(math.isnan(low) for low in lows):
            ax.errorbar(changes, positions, xerr=errors, fmt="none", ecolor="0.2", elinewidth=0.8, capsize=2)
    ax.set_yticks(list(rows), [effect.parameter for effect in shown], fontsize=8)
    ax.axvline(0.0, color="0.3", linewidth=0.8)
    for row, effect in zip(rows, shown):
        if effect.change_minus == 0.0 and effect.change_plus == 0.0:
            ax.annotate("no change (same runs)", (0.0, row), xytext=(-4, 0), textcoords="offset points",
                        ha="right", va="center", fontsize=7, color="0.4")
    ax.set_xlabel(f"change in success rate (baseline {result.success_rate:.3f}, "
                  f"95 % interval {result.ci_low:.3f} to {result.ci_high:.3f})")
    route = "route held fixed" if result.fixed_route else "route free to change"
    ax.set_title(f"sensitivity to ±{percent} % changes, {result.runs} runs on common seeds, {route}", fontsize=10)
    if shown:
        from matplotlib.patches import Patch

        ax.legend(handles=[Patch(color="tab:blue", label=f"value -{percent} %"),
                           Patch(color="tab:red", label=f"value +{percent} %"),
                           Patch(color="0.8", label="pale: interval holds 0")], fontsize=8, loc="best")
    ax.grid(axis="x", alpha=0.3)
    return ax


# --------------------------------------------------------------------------- comparison


class _ComparisonResult(Protocol):
    @property
    def topology_name(self) -> str: ...
    @property
    def success_rate(self) -> float: ...
    @property
    def mean_latency_ms(self) -> float: ...
    @property
    def mean_fidelity(self) -> float: ...


class _ComparisonReport(Protocol):
    @property
    def results(self) -> Sequence[_ComparisonResult]: ...
    @property
    def recommended_topology(self) -> str: ...
    @property
    def fidelity_target(self) -> float: ...
    @property
    def max_latency_ms(self) -> float: ...
    @property
    def runs(self) -> int: ...


def plot_comparison(report: _ComparisonReport, ax: Axes | None = None) -> Axes:
    """Bars of success rate (with its 95 % interval) and mean fidelity per
    topology of a `compare_topologies` report, mean latency written above each
    pair; the recommended topology's name is bold."""
    ax = _new_axes(ax)
    results = list(report.results)
    positions = list(range(len(results)))
    width = 0.38
    rates = [r.success_rate for r in results]
    from vorn.data import wilson_interval

    intervals = [wilson_interval(round(rate * report.runs), report.runs) for rate in rates]
    errors = [[max(0.0, rate - low) for rate, (low, _) in zip(rates, intervals)],
              [max(0.0, high - rate) for rate, (_, high) in zip(rates, intervals)]]
    ax.bar([p - width / 2 for p in positions], rates, width, yerr=errors, capsize=3,
           label="success rate", color="tab:blue")
    ax.bar([p + width / 2 for p in positions], [r.mean_fidelity for r in results], width,
           label="mean fidelity (successful runs)", color="tab:green")
    for p, result in zip(positions, results):
        ax.text(p, 1.04, f"{result.mean_latency_ms:.1f} ms", ha="center", fontsize=8)
    recommended = [r.topology_name == report.recommended_topology for r in results]
    ax.set_xticks(positions, [r.topology_name + ("\n(recommended)" if best else "")
                              for r, best in zip(results, recommended)], fontsize=8)
    for label, best in zip(ax.get_xticklabels(), recommended):
        if best:
            label.set_fontweight("bold")
    ax.axhline(report.fidelity_target, color="0.4", linestyle=":", linewidth=1, label="fidelity target")
    ax.set_ylim(0.0, 1.3)
    ax.set_yticks([0.0, 0.2, 0.4, 0.6, 0.8, 1.0])
    ax.set_ylabel("rate / fidelity (mean latency above)")
    ax.set_title(f"target {report.fidelity_target:g}, budget {report.max_latency_ms:g} ms, "
                 f"{report.runs} runs per topology", fontsize=10)
    ax.legend(fontsize=7, loc="upper center", ncols=3, frameon=False)
    return ax


def plot_rate_distance(frame: pd.DataFrame, ax: Axes | None = None) -> Axes:
    """Secret key rate (bits/s, log scale) against total distance, one line per
    number of segments of a `vorn.rate_vs_distance` frame, and the
    repeaterless bound of a direct link dashed. Points with no key (rate 0)
    are left out of the log scale."""
    ax = _new_axes(ax)
    for segments, rows in frame.groupby("segments", sort=True):
        rows = rows.sort_values("distance_km")
        keyed = rows[rows["secret_key_rate_bps"] > 0]
        label = "1 segment (direct)" if segments == 1 else f"{segments} segments"
        ax.plot(keyed["distance_km"], keyed["secret_key_rate_bps"], marker="o", markersize=3, label=label)
    bound = frame.drop_duplicates("distance_km").sort_values("distance_km")
    ax.plot(bound["distance_km"], bound["repeaterless_bound_bps"], color="0.3", linestyle="--", linewidth=1,
            label="repeaterless bound")
    ax.set_yscale("log")
    ax.set_xlabel("total distance (km)")
    ax.set_ylabel("secret key rate (bits/s)")
    ax.legend(fontsize=8, frameon=False)
    return ax
