"""The `vorn` command line.

    vorn validate FILE...             check .vorn files; one line per finding
    vorn info FILE                    what a file holds
    vorn route FILE FROM TO           the path a request would take
    vorn simulate FILE FROM TO ...    a Monte Carlo ensemble
    vorn sweep FILE FROM TO ...       ensembles over a grid, written as CSV
    vorn diff A B                     differences between two files (or snapshots)
    vorn compare [NAME[:FROM:TO]...]  one request on several built-in topologies

A FILE may also name a built-in network as "builtin:NAME". Exit status: 0 on
success, 1 when a file fails (invalid, unreadable), a route does not exist or
a --timeout runs out, 2 for usage errors. Expected errors print one message,
never a traceback.
"""
from __future__ import annotations

import argparse
import contextlib
import io
import json
import math
import os
import sys
import tempfile
from collections.abc import Callable, Iterator, Mapping, Sequence
from concurrent.futures import Executor, ProcessPoolExecutor
from typing import Any, NamedTuple, NoReturn, TextIO

import vorn_core
from vorn import _checks
from vorn._explain import plain_sentence
from vorn._members import STRATEGIES, member_name
from vorn._version import __version__
from vorn.comparison import TOPOLOGY_ALIASES
from vorn.network import Link, Network, field_values

BUILTIN_PREFIX = "builtin:"
# Endpoints used by `vorn compare NAME` when none are given.
DEFAULT_ENDPOINTS = {
    "telecom_backbone": ("A", "E"), "fiber_only": ("A", "E"),
    "repeater_chain": ("N0", "N3"),
    "hybrid_satellite_fiber": ("Toronto", "London"), "hybrid": ("Toronto", "London"),
}
WORKERS_HELP = "worker processes (default: one per CPU; 1 runs everything in this process)"
TIMEOUT_HELP = "end with an error (exit status 1) when {what} takes longer than this (default: no limit)"

# Messages of the command line (the engine's own texts are printed as they are).
VERSION_TEXT = f"vorn {__version__}"
UNKNOWN_NODE_IN = "unknown node {name!r} in {topology}; its nodes: {nodes}"
UNKNOWN_TOPOLOGY = "unknown topology {name!r}; the built-in topologies: {names}"
BAD_ENDPOINT = "endpoint {text!r} must read NAME or NAME:FROM:TO"
NO_DEFAULT_ENDPOINTS = "no default endpoints for {name!r}; write NAME:FROM:TO (known names: {names})"
INVALID_FILE = "{path} is not a valid network file:\n{findings}"
OUTPUT_IS_FOLDER = "argument {option}: {path} is a folder; name a file"
OUTPUT_NO_FOLDER = "argument {option}: there is no folder {folder} to write {path} in"
OUTPUT_NOT_WRITABLE = "argument {option}: {path} cannot be written (permission denied)"
PICTURE_FORMAT = "argument --plot: {path}: cannot draw .{suffix} files; use one of {formats}"
NO_DIFFERENCES = "  no differences\n"
CHANGED_FIELDS = "  Changed fields:\n"
CHANGED_FIELD = "     - {key}: {field} {old} -> {new}\n"
NOT_GIVEN = "not given"


class CommandError(Exception):
    """An expected failure: printed as one message, exit status 1."""


class UsageError(Exception):
    """A bad argument found after parsing: printed as one line, exit status 2."""


class _Parser(argparse.ArgumentParser):
    """Reports usage errors as one line on stderr (with exit status 2)."""

    def error(self, message: str) -> NoReturn:
        self.exit(2, f"{self.prog}: error: {message}\n")


# --------------------------------------------------------------------------- argument types


def _number(text: str, kind: str, check: Callable[[float], bool]) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None
    if not check(value):
        raise argparse.ArgumentTypeError(f"{text} is not {kind}")
    return value


def fidelity(text: str) -> float:
    return _number(text, "a fidelity in [0, 1]", lambda v: 0.0 <= v <= 1.0)


def milliseconds(text: str) -> float:
    return _number(text, "a duration of 0 ms or more", lambda v: v >= 0.0 and not math.isnan(v))


def _integer(text: str, limit: int, kind: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if not 0 <= value < limit:
        raise argparse.ArgumentTypeError(f"{text} is not {kind}")
    return value


def runs(text: str) -> int:
    value = _integer(text, 2**63, "a run count of 1 or more")
    if value == 0:  # an empty ensemble has no rate, latency or interval to report
        raise argparse.ArgumentTypeError("0 is not a run count of 1 or more")
    return value


def seed(text: str) -> int:
    return _integer(text, 2**64, "a seed in [0, 2**64)")


def timeout(text: str) -> float | None:
    """Seconds above 0 (the rule of `timeout=`); "inf" for no limit."""
    value = _number(text, "a number of seconds above 0", lambda v: True)
    try:
        return _checks.checked_timeout(value)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text} is not a number of seconds above 0") from None


def workers(text: str) -> int:
    value = _integer(text, 2**16, "a worker count of 1 or more")
    if value == 0:
        raise argparse.ArgumentTypeError("0 is not a worker count of 1 or more")
    return value


# --------------------------------------------------------------------------- helpers


def builtin_network(source: str) -> Network:
    try:
        return Network.builtin(source[len(BUILTIN_PREFIX):])
    except ValueError as error:
        raise UsageError(str(error)) from None


def load_network(source: str) -> Network:
    """The network of a .vorn file or "builtin:NAME"; a file that fails is
    reported as `vorn validate` reports it (with places and plain sentences)."""
    if source.startswith(BUILTIN_PREFIX):
        return builtin_network(source)
    try:
        return Network.from_file(source)
    except RuntimeError as error:
        raise _file_failure(source, str(error)) from None


@contextlib.contextmanager
def _vorn_path(source: str) -> Iterator[str]:
    """A path holding the .vorn text of `source`: the file itself, or for
    "builtin:NAME" the built-in network saved to a temporary file."""
    if not source.startswith(BUILTIN_PREFIX):
        yield source
        return
    network = builtin_network(source)
    name = source[len(BUILTIN_PREFIX):]
    with tempfile.TemporaryDirectory(prefix="vorn-") as folder:
        path = os.path.join(folder, f"{name}.vorn")
        network.save(path, name=name)
        yield path


def check_nodes(network: Network, *names: str, topology: str | None = None) -> None:
    if topology is None:
        try:
            _checks.check_nodes(set(network.node_ids()), network.node_ids, *names)
        except _checks.UnknownNodeError as error:
            raise UsageError(str(error)) from None
        return
    known = set(network.node_ids())
    for name in names:
        if name not in known:
            shown = ", ".join(network.node_ids()[:_checks.SHOWN_NODES])
            raise UsageError(UNKNOWN_NODE_IN.format(name=name, topology=topology, nodes=shown))


def first_link(network: Network, a: str, b: str) -> Link | None:
    """The link the engine uses for the hop a-b: the first joining them."""
    for link in network.links:
        if (link.from_node, link.to) in ((a, b), (b, a)):
            return link
    return None


def _strategy_label(strategy: str | None) -> str:
    return strategy or "default (HighestFidelity)"


def _finite(value: Any) -> Any:
    """`value` with every NaN or infinity replaced by None: JSON has no such numbers."""
    if isinstance(value, float) and not math.isfinite(value):
        return None
    if isinstance(value, dict):
        return {key: _finite(item) for key, item in value.items()}
    if isinstance(value, list):
        return [_finite(item) for item in value]
    return value


def _write_json(value: Any, out: TextIO) -> None:
    json.dump(_finite(value), out, indent=2, allow_nan=False)
    out.write("\n")


def _output_path(path: str, option: str) -> str:
    """`path` once it is known that a file can be written there; checked
    before any work, so a long run never ends in a failed write."""
    if os.path.isdir(path):
        raise UsageError(OUTPUT_IS_FOLDER.format(option=option, path=path))
    folder = os.path.dirname(os.path.abspath(path))
    if not os.path.isdir(folder):
        raise UsageError(OUTPUT_NO_FOLDER.format(option=option, folder=folder, path=path))
    if not os.access(folder, os.W_OK | os.X_OK) or (os.path.exists(path) and not os.access(path, os.W_OK)):
        raise UsageError(OUTPUT_NOT_WRITABLE.format(option=option, path=path))
    return path


def _picture_path(path: str) -> str:
    """The file --plot writes: `path`, with ".png" added when it has no
    suffix (as the drawing library does), checked before any work along
    with its format."""
    _use_agg()
    from matplotlib.figure import Figure

    suffix = os.path.splitext(path)[1][1:].lower()
    if not suffix:
        _output_path(path, "--plot")  # a folder of that name is refused, not written beside
        path, suffix = f"{path}.png", "png"
    formats = Figure().canvas.get_supported_filetypes()
    if suffix not in formats:
        raise UsageError(PICTURE_FORMAT.format(path=path, suffix=suffix, formats=", ".join(sorted(formats))))
    return _output_path(path, "--plot")


def _new_axes() -> tuple[Any, Any]:
    """A figure and its axes for one picture, drawn without a display."""
    _use_agg()
    import matplotlib.pyplot as plt

    return plt.subplots()


def _save_figure(figure: Any, path: str) -> None:
    """Write `figure` to `path` (from `_picture_path`, the name reported)."""
    figure.savefig(path, dpi=100, bbox_inches="tight")
    print(f"wrote {path}", file=sys.stderr)


def _write_frame(frame: Any, output: str | None) -> None:
    """The frame as CSV: to standard output, or to `output` with a line on
    standard error that says how many rows went there."""
    if output is None:
        frame.to_csv(sys.stdout, index=False)
        return
    frame.to_csv(output, index=False)
    print(f"wrote {len(frame)} rows to {output}", file=sys.stderr)


@contextlib.contextmanager
def _executor(workers: int | None) -> Iterator[Executor | None]:
    """None (the package's default process pool, one worker per CPU), this
    process's main thread for 1, or a process pool of `workers`. On Ctrl-C
    the pool's waiting tasks are cancelled (its running ones have been
    interrupted by `run_tasks`) and its workers are ended (abandon_pool)."""
    if workers is None:
        yield None
        return
    from vorn.parallel import InlineExecutor, abandon_pool, worker_initializer

    if workers == 1:
        yield InlineExecutor()
        return
    pool = ProcessPoolExecutor(max_workers=workers, initializer=worker_initializer)
    try:
        yield pool
    except BaseException:
        abandon_pool(pool)
        raise
    pool.shutdown()


def _use_agg() -> None:
    """Draw without a display: the command line only writes image files."""
    from vorn._optional import require

    require("matplotlib", "plot").use("Agg")


# --------------------------------------------------------------------------- validate


class FileReport(NamedTuple):
    valid: bool
    lines: list[str]  # what `vorn validate` prints for the file
    parsed: bool  # the file was read and parsed: the lines are validation findings


def file_report(source: str) -> FileReport:
    """Load and validate a .vorn file (or "builtin:NAME"): one line per
    finding as FILE:LINE:COLUMN: MESSAGE, the engine's message followed by a
    plain sentence where the reader's words are technical."""
    builtin = source.startswith(BUILTIN_PREFIX)
    with _vorn_path(source) as path:
        report = vorn_core.validate_with_positions(path)
        failure = report["load_error"]
        if failure is not None:
            return _load_failure_report(source, None if builtin else path, failure)
    lines = []
    for finding in report["errors"]:
        prefix = source if builtin else f"{source}:{finding['line']}:{finding['column']}"
        lines.append(f"{prefix}: {finding['message']}")
    for warning in report["warnings"]:
        lines.append(f"{source}: warning: {warning['message']} [{warning.get('path', 'unknown')}]")
    if report["valid"]:
        lines.append(f"{source}: valid")
    return FileReport(bool(report["valid"]), lines, True)


def _load_failure_report(source: str, path: str | None, failure: Mapping[str, Any]) -> FileReport:
    """The lines of a file that could not be read, parsed or has another
    version. `path` is where the file's text is read from when the note needs
    it (an empty file), None for a built-in network."""
    message = failure["message"]
    # The reader counts columns from 0 where nothing was read (an empty
    # file); editors count from 1.
    prefix = source if failure["line"] is None else f"{source}:{failure['line']}:{max(1, failure['column'])}"
    lines = [f"{prefix}: {message}"]
    sentence = plain_sentence(message, None if path is None else _file_text(path))
    if sentence is not None:
        lines.append(f"{prefix}: note: {sentence}")
    return FileReport(False, lines, False)


def _file_text(path: str) -> str | None:
    try:
        with open(path, encoding="utf-8", errors="replace") as handle:
            return handle.read()
    except OSError:
        return None


def _file_failure(source: str, engine_message: str) -> CommandError:
    """The error for a file the engine refused, with `vorn validate`'s lines."""
    report = file_report(source)
    if report.valid:
        return CommandError(engine_message)
    if report.parsed:
        return CommandError(INVALID_FILE.format(path=source, findings="\n".join(report.lines)))
    return CommandError("\n".join(report.lines))


def _validate_one(path: str, out: TextIO) -> bool:
    report = file_report(path)
    for line in report.lines:
        print(line, file=out)
    return report.valid


def cmd_validate(args: argparse.Namespace) -> int:
    results = [_validate_one(path, sys.stdout) for path in args.files]
    return 0 if all(results) else 1


# --------------------------------------------------------------------------- info


def cmd_info(args: argparse.Namespace) -> int:
    network = load_network(args.file)
    if not args.file.startswith(BUILTIN_PREFIX):
        meta = vorn_core.load_vorn_file(args.file).metadata
        print(f"name: {meta.name}")
        for label in ("description", "author", "created_at"):
            if getattr(meta, label) is not None:
                print(f"{label}: {getattr(meta, label)}")
    satellites = sum(1 for link in network.links if link.link_type == "Satellite")
    print(f"{len(network.nodes)} nodes, {len(network.links)} links ({satellites} satellite)")
    config = network.config
    print("engine configuration: " + ", ".join(f"{name} {value:g}" for name, value in field_values(config).items()))
    print("nodes:")
    for node in network.nodes:
        print(f"  {node.id:<12} T2 {node.memory_lifetime_t2_s:g} s")
    print("links:")
    for link in network.links:
        extra = ""
        if link.has_satellite_conditions:
            extra = (f"  visibility {link.satellite_visibility}, "
                     f"weather factor {link.satellite_weather_factor}")
        print(f"  {link.from_node:>10} - {link.to:<10} {link.distance_km:>9g} km  "
              f"fidelity {link.base_fidelity:<6g} rate {link.generation_rate_hz:>7g} Hz  "
              f"{link.link_type}{extra}")
    return 0


# --------------------------------------------------------------------------- route


def cmd_route(args: argparse.Namespace) -> int:
    network = load_network(args.file)
    check_nodes(network, args.source, args.target)
    # A zero budget ends the request before its first round: the engine picks
    # the route (with its fallback rule) and draws no random numbers.
    result = network.request(args.source, args.target, args.fidelity, 0.0, args.strategy, timeout=args.timeout)
    path = list(result.execution_path)
    print(f"strategy {_strategy_label(args.strategy)}, fidelity target {args.fidelity:g}")
    if not path:
        print(f"no route from {args.source} to {args.target}")
        return 1
    print("route " + " -> ".join(path))
    if args.strategy is None and args.fidelity > 0.0:
        preferred = network.request(args.source, args.target, 0.0, 0.0, None, timeout=args.timeout).execution_path
        if list(preferred) != path:
            print("  (the HighestFidelity route " + " -> ".join(preferred)
                  + " cannot reach the target; the request falls back to LowestLatency)")
    total_km, fidelity_product = 0.0, 1.0
    for a, b in zip(path, path[1:]):
        link = first_link(network, a, b)
        if link is None:
            print(f"  {a} -> {b}: no link")
            continue
        total_km += link.distance_km
        fidelity_product *= link.base_fidelity
        print(f"  {a} -> {b}: {link.distance_km:g} km, fidelity {link.base_fidelity:g}, "
              f"{link.generation_rate_hz:g} Hz, {link.link_type}")
    signalling = total_km / network.config.speed_of_light_in_fiber_km_ms
    hops = len(path) - 1
    print(f"{hops} hop{'' if hops == 1 else 's'}, {total_km:g} km, path fidelity {fidelity_product:.6g}, "
          f"signalling time {signalling:.6g} ms")
    return 0


# --------------------------------------------------------------------------- simulate


def cmd_simulate(args: argparse.Namespace) -> int:
    from vorn.ensemble import simulate

    picture = _picture_path(args.plot) if args.plot else None
    network = load_network(args.file)
    check_nodes(network, args.source, args.target)
    with _executor(args.workers) as executor:
        stats = simulate(network, args.source, args.target, args.fidelity, args.budget, args.runs,
                         seed=args.seed, strategy=args.strategy, executor=executor, timeout=args.timeout)
    if args.json:
        from vorn.data import to_dict

        # The statistics; the stored context is the network and request given.
        _write_json({name: value for name, value in to_dict(stats).items() if name != "context"}, sys.stdout)
    else:
        from vorn.data import wilson_interval

        low, high = wilson_interval(stats.successes, stats.total_runs)
        last = (stats.seed + stats.total_runs - 1) % 2**64
        print(f"{args.source} -> {args.target}, fidelity target {args.fidelity:g}, budget {args.budget:g} ms, "
              f"strategy {_strategy_label(args.strategy)}")
        print(f"runs             {stats.total_runs} (seeds {stats.seed} to {last})")
        print(f"success rate     {stats.empirical_success_rate:.4f}  (95 % interval {low:.4f} to {high:.4f})")
        print(f"mean latency     {stats.mean_latency_ms:.3f} ms (over all runs)")
        print(f"mean fidelity    {stats.mean_fidelity:.4f} (over successful runs)")
        print(f"congestion drops {stats.aggregate_congestion_drops}")
        busiest = sorted(stats.link_utilization_heatmap.items(), key=lambda item: (-item[1], item[0]))
        if busiest:
            print("busiest links    " + ", ".join(f"{k} {n}" for k, n in busiest[:5]))
    if picture is not None:
        from vorn.plot import plot_network

        figure, ax = _new_axes()
        plot_network(network, stats, ax=ax, title=f"{args.source} -> {args.target}")
        _save_figure(figure, picture)
    return 0


# --------------------------------------------------------------------------- sweep


def cmd_sweep(args: argparse.Namespace) -> int:
    from vorn.sweep import sweep

    to_file = args.output not in (None, "-")
    if to_file:
        _output_path(args.output, "--output")
    picture = _picture_path(args.plot) if args.plot else None
    network = load_network(args.file)
    check_nodes(network, args.source, args.target)
    grid: dict[str, list[Any]] = {
        "from_node": [args.source], "to": [args.target],
        "fidelity_target": args.fidelity, "max_latency_ms": args.budget,
        "strategy": args.strategy or [None],
    }
    with _executor(args.workers) as executor:
        frame = sweep(network, grid, args.runs, args.seed, executor=executor, timeout=args.timeout)
    _write_frame(frame, args.output if to_file else None)
    if picture is not None:
        from vorn.plot import plot_success

        x = "max_latency_ms" if len(args.budget) > 1 or len(args.fidelity) == 1 else "fidelity_target"
        figure, ax = _new_axes()
        plot_success(frame, x=x, ax=ax)
        _save_figure(figure, picture)
    return 0


# --------------------------------------------------------------------------- diff


def _read_snapshot(path: str) -> tuple[Any, str]:
    """The topology snapshot in `path`, or None and the reader's message."""
    try:
        return vorn_core.read_topology(path), ""
    except RuntimeError as error:
        return None, str(error)


def _shown(value: Any) -> str:
    """A field value as the diff lines print it: floats as the file holds
    them, kinds in the file's lower-case spelling."""
    if value is None:
        return NOT_GIVEN
    if isinstance(value, vorn_core.VornSatelliteExtension):
        return f"visibility {value.visibility!r}, weather_factor {value.weather_factor!r}"
    if isinstance(value, (vorn_core.VornLinkType, vorn_core.VornNodeType)):
        return member_name(value).lower()
    return repr(value)


# The fields the file diff compares, per record kind.
_NODE_FIELDS = ("memory_lifetime_ms", "memory_capacity", "node_type")
_LINK_FIELDS = ("distance_km", "base_fidelity", "generation_rate_hz", "id", "link_type", "satellite")


def _field_value(record: Any, field: str) -> Any:
    value = getattr(record, field)
    if isinstance(value, vorn_core.VornSatelliteExtension):
        return (value.visibility, value.weather_factor)
    if isinstance(value, (vorn_core.VornLinkType, vorn_core.VornNodeType)):
        return member_name(value)  # members compare by name, not identity
    return value


def changed_fields(first: vorn_core.VornFile, second: vorn_core.VornFile, nodes: Sequence[str],
                   links: Sequence[str]) -> list[tuple[str, str, str, str]]:
    """(key, field, old, new) for each field that differs in the nodes and
    links the diff lists as modified (keyed as the diff keys them: a later
    record with the same key replaces an earlier one)."""
    changes = []
    tables: list[tuple[Sequence[str], tuple[str, ...], dict[str, Any], dict[str, Any]]] = [
        (nodes, _NODE_FIELDS, {node.id: node for node in first.nodes}, {node.id: node for node in second.nodes}),
        (links, _LINK_FIELDS, {f"{link.src}->{link.to}": link for link in first.links},
         {f"{link.src}->{link.to}": link for link in second.links}),
    ]
    for keys, fields, old, new in tables:
        for key in keys:
            if key not in old or key not in new:
                continue
            for field in fields:
                a, b = _field_value(old[key], field), _field_value(new[key], field)
                if a != b or (isinstance(a, float) and a != a):
                    changes.append((key, field, _shown(getattr(old[key], field)), _shown(getattr(new[key], field))))
    return changes


def _named(text: str, paths: dict[str, str]) -> str:
    """`text` with the temporary paths of built-in networks replaced by their names."""
    for path, source in paths.items():
        if path != source:
            text = text.replace(f"'{path}'", f"'{source}'").replace(f"Failed to load {path}:",
                                                                      f"Failed to load {source}:")
    return text


def cmd_diff(args: argparse.Namespace) -> int:
    with _vorn_path(args.a) as first_path, _vorn_path(args.b) as second_path:
        result = vorn_core.diff(first_path, second_path)
        if "error" in result:
            return _diff_snapshots(args, result["error"].startswith(f"Failed to load {first_path}: "))
        changes = changed_fields(vorn_core.load_vorn_file(first_path), vorn_core.load_vorn_file(second_path),
                                 result["nodes_modified"], result["links_modified"])
    summary = _named(result["summary"], {first_path: args.a, second_path: args.b})
    if args.json:
        # The engine's dict, and which fields of the modified records changed.
        output: dict[str, Any] = {**result, "summary": summary}
        output["fields_changed"] = [{"key": key, "field": field, "old": old, "new": new}
                                    for key, field, old, new in changes]
        _write_json(output, sys.stdout)
        return 0
    sys.stdout.write(summary)
    if summary.count("\n") <= 1:
        sys.stdout.write(NO_DIFFERENCES)
    if changes:
        sys.stdout.write(CHANGED_FIELDS)
        for key, field, old, new in changes:
            sys.stdout.write(CHANGED_FIELD.format(key=key, field=field, old=old, new=new))
    return 0


def _diff_snapshots(args: argparse.Namespace, first_failed: bool) -> int:
    """Diff two topology snapshots; when a file is neither a snapshot nor a
    .vorn file the error says what is wrong with it."""
    failed = args.a if first_failed else args.b
    if args.a.startswith(BUILTIN_PREFIX) or args.b.startswith(BUILTIN_PREFIX):
        # A built-in network is a .vorn network: the other file failed as one.
        raise _file_failure(failed, failed)
    (first, first_error), (second, second_error) = _read_snapshot(args.a), _read_snapshot(args.b)
    if first is None and second is None:
        raise _file_failure(failed, f"{failed}: {first_error if first_failed else second_error}")
    if first is None or second is None:
        # One side is a snapshot: the other one's snapshot message says what is wrong with it.
        path, message = (args.a, first_error) if first is None else (args.b, second_error)
        raise CommandError(f"{path}: {message}")
    snapshot_diff = vorn_core.diff_topologies(first, second)
    if args.json:
        from vorn.data import to_dict

        _write_json(to_dict(snapshot_diff), sys.stdout)
    else:
        print(snapshot_diff.summary)
    return 0


# --------------------------------------------------------------------------- compare


def _endpoint(text: str) -> vorn_core.TopologyEndpoints:
    """An ENDPOINT argument, with its topology and nodes checked here (the
    same usage errors as `route` and `simulate` give)."""
    name, _, rest = text.partition(":")
    if rest:
        source, _, target = rest.partition(":")
        if not source or not target:
            raise UsageError(BAD_ENDPOINT.format(text=text))
        if name not in TOPOLOGY_ALIASES:
            raise UsageError(UNKNOWN_TOPOLOGY.format(name=name, names=", ".join(TOPOLOGY_ALIASES)))
    elif name in DEFAULT_ENDPOINTS:
        source, target = DEFAULT_ENDPOINTS[name]
    else:
        raise UsageError(NO_DEFAULT_ENDPOINTS.format(name=name, names=", ".join(DEFAULT_ENDPOINTS)))
    check_nodes(Network.builtin(TOPOLOGY_ALIASES[name]), source, target, topology=name)
    return vorn_core.TopologyEndpoints(name, source, target)


def _report_json(report: vorn_core.TopologyComparisonReport,
                 endpoints: Sequence[vorn_core.TopologyEndpoints]) -> dict[str, Any]:
    """The report as plain data, each result with the endpoints it was
    evaluated on. The report's own source_node and target_node hold the first
    topology's endpoints; they are given only when every topology shares
    them, and are null otherwise."""
    from vorn.data import to_dict

    data: dict[str, Any] = to_dict(report)
    for result, endpoint in zip(data["results"], endpoints):
        result["from_node"], result["to_node"] = endpoint.from_node, endpoint.to_node
    if len({(endpoint.from_node, endpoint.to_node) for endpoint in endpoints}) > 1:
        data["source_node"] = data["target_node"] = None
    return data


def cmd_compare(args: argparse.Namespace) -> int:
    from vorn.comparison import compare

    picture = _picture_path(args.plot) if args.plot else None
    names = args.endpoints or ["telecom_backbone", "repeater_chain", "hybrid_satellite_fiber"]
    endpoints = [_endpoint(text) for text in names]
    try:
        with _executor(args.workers) as executor:
            report = compare(endpoints, args.fidelity, args.budget, args.runs, args.strategy, args.seed,
                             executor=executor, timeout=args.timeout)
    except ValueError as error:  # a rule of the engine's comparison: its message
        raise CommandError(str(error)) from None
    if args.json:
        _write_json(_report_json(report, endpoints), sys.stdout)
    else:
        print(f"{'topology':<24} {'endpoints':<18} {'success':>8} {'latency ms':>11} {'fidelity':>9}")
        for endpoint, result in zip(endpoints, report.results):
            pair = f"{endpoint.from_node}->{endpoint.to_node}"
            print(f"{result.topology_name:<24} {pair:<18} {result.success_rate:>8.4f} "
                  f"{result.mean_latency_ms:>11.3f} {result.mean_fidelity:>9.4f}")
        print(report.summary)
    if picture is not None:
        from vorn.plot import plot_comparison

        figure, ax = _new_axes()
        plot_comparison(report, ax=ax)
        _save_figure(figure, picture)
    return 0


# --------------------------------------------------------------------------- rate-distance


def kilometres(text: str) -> float:
    return _number(text, "a distance above 0 km", lambda v: v > 0.0 and math.isfinite(v))


def hertz(text: str) -> float:
    return _number(text, "a rate above 0 Hz", lambda v: v > 0.0 and math.isfinite(v))


def segment_count(text: str) -> int:
    value = _integer(text, 1025, "a number of segments from 1 to 1024")
    if value == 0:
        raise argparse.ArgumentTypeError("0 is not a number of segments from 1 to 1024")
    return value


def cmd_rate_distance(args: argparse.Namespace) -> int:
    from vorn.physical import PhysicalModel
    from vorn.rate_distance import rate_vs_distance

    to_file = args.output not in (None, "-")
    if to_file:
        _output_path(args.output, "--output")
    picture = _picture_path(args.plot) if args.plot else None
    model = PhysicalModel(attenuation_db_km=args.attenuation, source_efficiency=args.efficiency,
                          swap_success=args.swap_success)
    with _executor(args.workers) as executor:
        frame = rate_vs_distance(args.distances, args.segments, model=model, fidelity=args.fidelity,
                                 generation_rate_hz=args.rate, memory_lifetime_t2_s=args.t2, runs=args.runs,
                                 seed=args.seed, executor=executor)
    _write_frame(frame, args.output if to_file else None)
    if picture is not None:
        from vorn.plot import plot_rate_distance

        figure, ax = _new_axes()
        plot_rate_distance(frame, ax=ax)
        _save_figure(figure, picture)
    return 0


# --------------------------------------------------------------------------- parser


def _request_arguments(parser: argparse.ArgumentParser, many: bool = False) -> None:
    parser.add_argument("file", metavar="FILE", help='a .vorn file, or "builtin:NAME"')
    parser.add_argument("source", metavar="FROM", help="source node id")
    parser.add_argument("target", metavar="TO", help="target node id")
    nargs = "+" if many else None
    parser.add_argument("--fidelity", type=fidelity, required=True, nargs=nargs, metavar="F",
                        help="fidelity target" + ("(s)" if many else ""))
    parser.add_argument("--budget", type=milliseconds, required=True, nargs=nargs, metavar="MS",
                        help="latency budget" + ("(s)" if many else "") + " in ms")
    parser.add_argument("--runs", type=runs, required=True, metavar="N", help="runs per ensemble")
    parser.add_argument("--strategy", choices=STRATEGIES, nargs=nargs, metavar="S",
                        help=f"routing strategy: {', '.join(STRATEGIES)} (default: HighestFidelity "
                             "with its fall-back to LowestLatency)")
    parser.add_argument("--timeout", type=timeout, metavar="SECONDS",
                        help=TIMEOUT_HELP.format(what="a point's ensemble" if many else "the ensemble"))


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(prog="vorn", description="Quantum-network simulation from the command line.",
                     epilog='FILE may be "builtin:telecom_backbone", "builtin:repeater_chain" or '
                            '"builtin:hybrid_satellite_fiber". Exit status: 0 success, 1 failure, 2 usage error.')
    parser.add_argument("--version", action="version", version=VERSION_TEXT)
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    p = commands.add_parser("validate", help="check .vorn files", description=(
        "Load and validate .vorn files. Prints FILE:LINE:COLUMN: MESSAGE for each finding "
        "and FILE: valid for a good file; exits 1 when any file is invalid."))
    p.add_argument("files", nargs="+", metavar="FILE")
    p.set_defaults(run=cmd_validate)

    p = commands.add_parser("info", help="describe a network file", description=(
        "Print the metadata, engine configuration, nodes and links of a network."))
    p.add_argument("file", metavar="FILE", help='a .vorn file, or "builtin:NAME"')
    p.set_defaults(run=cmd_info)

    p = commands.add_parser("route", help="the path a request would take", description=(
        "Show the route the engine chooses between two nodes, hop by hop. The default strategy "
        "falls back to LowestLatency when the fidelity target exceeds the route's fidelity. "
        "Exits 1 when there is no route."))
    p.add_argument("file", metavar="FILE", help='a .vorn file, or "builtin:NAME"')
    p.add_argument("source", metavar="FROM")
    p.add_argument("target", metavar="TO")
    p.add_argument("--strategy", choices=STRATEGIES, metavar="S",
                   help=f"{', '.join(STRATEGIES)} (default: HighestFidelity)")
    p.add_argument("--fidelity", type=fidelity, default=0.0, metavar="F",
                   help="fidelity target, which decides the fall-back (default 0)")
    p.add_argument("--timeout", type=timeout, metavar="SECONDS", help=TIMEOUT_HELP.format(what="the route search"))
    p.set_defaults(run=cmd_route)

    p = commands.add_parser("simulate", help="run a Monte Carlo ensemble", description=(
        "Run N requests; run i uses seed S + i. Long ensembles run in chunks on several processes "
        "and show a progress bar on a terminal; the counts equal those of one engine call."))
    _request_arguments(p)
    p.add_argument("--seed", type=seed, metavar="S", help="base seed (default: drawn at random and printed)")
    p.add_argument("--workers", type=workers, metavar="W", help=WORKERS_HELP)
    p.add_argument("--json", action="store_true", help="print the statistics as JSON")
    p.add_argument("--plot", metavar="PNG", help="also draw the network with its link usage")
    p.set_defaults(run=cmd_simulate)

    p = commands.add_parser("sweep", help="ensembles over a grid, as CSV", description=(
        "Run one ensemble per combination of the given fidelity targets, budgets and strategies "
        "and write one CSV row per point. Point k uses seeds S + k*N to S + k*N + N - 1."))
    _request_arguments(p, many=True)
    p.add_argument("--seed", type=seed, default=0, metavar="S", help="base seed (default 0)")
    p.add_argument("--workers", type=workers, metavar="W", help=WORKERS_HELP)
    p.add_argument("-o", "--output", metavar="CSV", help="output file (default: standard output)")
    p.add_argument("--plot", metavar="PNG", help="also draw success rate against the budget")
    p.set_defaults(run=cmd_sweep)

    p = commands.add_parser("diff", help="compare two network files", description=(
        "Print the differences between two .vorn files (or two topology snapshots)."))
    p.add_argument("a", metavar="A")
    p.add_argument("b", metavar="B")
    p.add_argument("--json", action="store_true", help="print the lists as JSON")
    p.set_defaults(run=cmd_diff)

    p = commands.add_parser("compare", help="one request on several built-in topologies", description=(
        "Evaluate one request on built-in topologies and recommend one. Each ENDPOINT is NAME:FROM:TO, "
        "or a NAME alone with its usual endpoints; default: all three built-in networks. Each "
        "topology gets its own seeded ensemble, so the same command gives the same report."))
    p.add_argument("endpoints", nargs="*", metavar="ENDPOINT")
    p.add_argument("--fidelity", type=fidelity, default=0.8, metavar="F", help="fidelity target (default 0.8)")
    p.add_argument("--budget", type=milliseconds, default=100.0, metavar="MS",
                   help="latency budget in ms (default 100)")
    p.add_argument("--runs", type=runs, default=1000, metavar="N", help="runs per topology (default 1000)")
    p.add_argument("--strategy", choices=STRATEGIES, metavar="S")
    p.add_argument("--seed", type=seed, default=0, metavar="S",
                   help="base seed; topology k uses seeds S + k*N onwards (default 0)")
    p.add_argument("--workers", type=workers, metavar="W", help=WORKERS_HELP)
    p.add_argument("--timeout", type=timeout, metavar="SECONDS",
                   help=TIMEOUT_HELP.format(what="a topology's ensemble"))
    p.add_argument("--json", action="store_true", help="print the report as JSON")
    p.add_argument("--plot", metavar="PNG", help="also draw the comparison")
    p.set_defaults(run=cmd_compare)

    p = commands.add_parser("rate-distance", help="secret key rate against distance, as CSV", description=(
        "Run the physical model over chains of equal fiber segments and write, per distance and "
        "number of segments, the secret key rate (bits/s), pairs per second, mean fidelity and QBER, "
        "with the repeaterless bound of a direct link of the same length."))
    p.add_argument("--distances", type=kilometres, nargs="+", metavar="KM",
                   default=[25.0 * k for k in range(1, 17)], help="total distances in km (default 25 to 400)")
    p.add_argument("--segments", type=segment_count, nargs="+", metavar="N", default=[1, 2, 4, 8],
                   help="numbers of equal segments (default 1 2 4 8)")
    p.add_argument("--runs", type=runs, default=20_000, metavar="N", help="runs per point (default 20000)")
    p.add_argument("--seed", type=seed, default=0, metavar="S", help="seed of every point (default 0)")
    p.add_argument("--fidelity", type=fidelity, default=0.99, metavar="F",
                   help="fidelity of a generated pair (default 0.99)")
    p.add_argument("--rate", type=hertz, default=1000.0, metavar="HZ",
                   help="attempts per second of a source (default 1000)")
    p.add_argument("--t2", type=milliseconds, default=1.0, metavar="S",
                   help="memory lifetime T2 of every node in seconds (default 1)")
    p.add_argument("--attenuation", type=milliseconds, default=0.2, metavar="DB_KM",
                   help="fiber attenuation in dB/km (default 0.2)")
    p.add_argument("--efficiency", type=fidelity, default=0.5, metavar="E", help="source efficiency (default 0.5)")
    p.add_argument("--swap-success", type=fidelity, default=1.0, metavar="P",
                   help="probability that a swap succeeds (default 1)")
    p.add_argument("--workers", type=workers, metavar="W", help=WORKERS_HELP)
    p.add_argument("-o", "--output", metavar="CSV", help="output file (default: standard output)")
    p.add_argument("--plot", metavar="PNG", help="also draw the rates on a log scale")
    p.set_defaults(run=cmd_rate_distance)
    return parser


def _print_file_names_as_given() -> None:
    """File names that are not valid in the output's encoding (bytes that
    are not UTF-8 reach Python as surrogate escapes) are printed as the bytes
    they were given in, as `ls` prints them, instead of failing the command."""
    if isinstance(sys.stdout, io.TextIOWrapper) and sys.stdout.errors == "strict":
        sys.stdout.reconfigure(errors="surrogateescape")


def main(argv: Sequence[str] | None = None) -> int:
    _print_file_names_as_given()
    parser = build_parser()
    try:
        args = parser.parse_args(argv)
    except SystemExit as stop:  # --help, or a usage error already printed
        return stop.code if isinstance(stop.code, int) else 2
    prog = f"vorn {args.command}"
    try:
        status: int = args.run(args)
        sys.stdout.flush()
        return status
    except UsageError as error:
        print(f"{prog}: error: {error}", file=sys.stderr)
        return 2
    except BrokenPipeError:
        # The reader went away (vorn ... | head); stop quietly.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return 1
    except (CommandError, RuntimeError, ImportError, OSError) as error:
        print(f"{prog}: error: {str(error).rstrip()}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130


if __name__ == "__main__":
    sys.exit(main())
