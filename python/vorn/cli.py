"""The `vorn` command line.

    vorn validate FILE...             check .vorn files; one line per finding
    vorn info FILE                    what a file holds
    vorn route FILE FROM TO           the path a request would take
    vorn simulate FILE FROM TO ...    a Monte Carlo ensemble
    vorn sweep FILE FROM TO ...       ensembles over a grid, written as CSV
    vorn diff A B                     differences between two files (or snapshots)
    vorn compare [NAME[:FROM:TO]...]  one request on several built-in topologies

A FILE may also name a built-in network as "builtin:NAME". Exit status: 0 on
success, 1 when a file fails (invalid, unreadable) or a route does not exist,
2 for usage errors. Expected errors print one message, never a traceback.
"""
from __future__ import annotations

import argparse
import contextlib
import json
import math
import os
import sys
from collections.abc import Callable, Iterator, Sequence
from concurrent.futures import Executor, ProcessPoolExecutor
from typing import Any, NoReturn, TextIO

import vorn_core

from vorn import _positions
from vorn.network import Link, Network, strategy_name

STRATEGIES = ("LowestLatency", "HighestFidelity", "HighestSuccess")
BUILTIN_PREFIX = "builtin:"
# Endpoints used by `vorn compare NAME` when none are given.
DEFAULT_ENDPOINTS = {
    "telecom_backbone": ("A", "E"), "fiber_only": ("A", "E"),
    "repeater_chain": ("N0", "N3"),
    "hybrid_satellite_fiber": ("Toronto", "London"), "hybrid": ("Toronto", "London"),
}
WORKERS_HELP = "worker processes (default: one per CPU; 1 runs everything in this process)"


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
    return _integer(text, 2**63, "a run count of 0 or more")


def seed(text: str) -> int:
    return _integer(text, 2**64, "a seed in [0, 2**64)")


def workers(text: str) -> int:
    value = _integer(text, 2**16, "a worker count of 1 or more")
    if value == 0:
        raise argparse.ArgumentTypeError("0 is not a worker count of 1 or more")
    return value


# --------------------------------------------------------------------------- helpers


def load_network(source: str) -> Network:
    if source.startswith(BUILTIN_PREFIX):
        try:
            return Network.builtin(source[len(BUILTIN_PREFIX):])
        except ValueError as error:
            raise UsageError(str(error)) from None
    return Network.from_file(source)


def check_nodes(network: Network, *names: str) -> None:
    known = set(network.node_ids())
    for name in names:
        if name not in known:
            shown = ", ".join(network.node_ids()[:20])
            raise UsageError(f"unknown node {name!r}; the network's nodes: {shown}")


def first_link(network: Network, a: str, b: str) -> Link | None:
    """The link the engine uses for the hop a-b: the first joining them."""
    for link in network.links:
        if (link.from_node, link.to) in ((a, b), (b, a)):
            return link
    return None


def _strategy_label(strategy: str | None) -> str:
    return strategy or "default (HighestFidelity)"


def _write_json(value: Any, out: TextIO) -> None:
    json.dump(value, out, indent=2, allow_nan=True)
    out.write("\n")


def _save_figure(ax: Any, path: str) -> None:
    ax.figure.savefig(path, dpi=100, bbox_inches="tight")
    print(f"wrote {path}", file=sys.stderr)


@contextlib.contextmanager
def _executor(workers: int | None) -> Iterator[Executor | None]:
    """None (the package's default process pool, one worker per CPU), this
    process's main thread for 1, or a process pool of `workers`. On Ctrl-C
    the pool's waiting tasks are cancelled (its running ones have been
    interrupted by `run_tasks`) and the command does not wait for them."""
    if workers is None:
        yield None
        return
    from vorn.parallel import InlineExecutor, worker_initializer

    if workers == 1:
        yield InlineExecutor()
        return
    pool = ProcessPoolExecutor(max_workers=workers, initializer=worker_initializer)
    try:
        yield pool
    except BaseException:
        pool.shutdown(wait=False, cancel_futures=True)
        raise
    pool.shutdown()


def _use_agg() -> None:
    """Draw without a display: the command line only writes image files."""
    from vorn._optional import require

    require("matplotlib", "plot").use("Agg")


# --------------------------------------------------------------------------- validate


def _validate_one(path: str, out: TextIO) -> bool:
    try:
        with open(path, encoding="utf-8", errors="replace") as handle:
            text = handle.read()
    except OSError:
        text = ""
    try:
        report = vorn_core.validate(path)
    except RuntimeError as error:
        message = str(error).removeprefix(f"Failed to load {path}: ")
        where = _positions.parse_error_position(message)
        if where is None and message.startswith("Unsupported vorn version"):
            where = _positions.member_position(text, "version")
        print(f"{path}:{where[0]}:{where[1]}: {message}" if where else f"{path}: {message}", file=out)
        return False
    errors = report["errors"]
    positions = _positions.finding_positions(text, [finding["type"] for finding in errors])
    for finding, where in zip(errors, positions):
        prefix = f"{path}:{where[0]}:{where[1]}" if where else path
        print(f"{prefix}: {finding['message']}", file=out)
    for warning in report["warnings"]:
        print(f"{path}: warning: {warning['message']} [{warning.get('path', 'unknown')}]", file=out)
    if report["valid"]:
        print(f"{path}: valid", file=out)
    return bool(report["valid"])


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
    print(f"engine configuration: baseline_purify_factor {config.baseline_purify_factor:g}, "
          f"speed_of_light_in_fiber_km_ms {config.speed_of_light_in_fiber_km_ms:g}, "
          f"total_time_cutoff_ms {config.total_time_cutoff_ms:g}, "
          f"step_resolution_ms {config.step_resolution_ms:g}")
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
    result = network.request(args.source, args.target, args.fidelity, 0.0, args.strategy)
    path = list(result.execution_path)
    print(f"strategy {_strategy_label(args.strategy)}, fidelity target {args.fidelity:g}")
    if not path:
        print(f"no route from {args.source} to {args.target}")
        return 1
    print("route " + " -> ".join(path))
    if args.strategy is None and args.fidelity > 0.0:
        preferred = network.request(args.source, args.target, 0.0, 0.0, None).execution_path
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

    network = load_network(args.file)
    check_nodes(network, args.source, args.target)
    with _executor(args.workers) as executor:
        stats = simulate(network, args.source, args.target, args.fidelity, args.budget, args.runs,
                         seed=args.seed, strategy=args.strategy, executor=executor)
    if args.json:
        from vorn.data import to_dict

        _write_json(to_dict(stats), sys.stdout)
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
    if args.plot:
        _use_agg()
        from vorn.plot import plot_network

        _save_figure(plot_network(network, stats, title=f"{args.source} -> {args.target}"), args.plot)
    return 0


# --------------------------------------------------------------------------- sweep


def cmd_sweep(args: argparse.Namespace) -> int:
    from vorn.sweep import sweep

    network = load_network(args.file)
    check_nodes(network, args.source, args.target)
    grid: dict[str, list[Any]] = {
        "from_node": [args.source], "to": [args.target],
        "fidelity_target": args.fidelity, "max_latency_ms": args.budget,
        "strategy": args.strategy or [None],
    }
    with _executor(args.workers) as executor:
        frame = sweep(network, grid, args.runs, args.seed, executor=executor)
    if args.output in (None, "-"):
        frame.to_csv(sys.stdout, index=False)
    else:
        frame.to_csv(args.output, index=False)
        print(f"wrote {len(frame)} rows to {args.output}", file=sys.stderr)
    if args.plot:
        _use_agg()
        from vorn.plot import plot_success

        x = "max_latency_ms" if len(args.budget) > 1 or len(args.fidelity) == 1 else "fidelity_target"
        _save_figure(plot_success(frame, x=x), args.plot)
    return 0


# --------------------------------------------------------------------------- diff


def _read_snapshot(path: str) -> tuple[Any, str]:
    """The topology snapshot in `path`, or None and the reader's message."""
    try:
        return vorn_core.read_topology(path), ""
    except RuntimeError as error:
        return None, str(error)


def cmd_diff(args: argparse.Namespace) -> int:
    result = vorn_core.diff(args.a, args.b)
    if "error" in result:
        # Two topology snapshots are compared with their own diff.
        (first, first_error), (second, second_error) = _read_snapshot(args.a), _read_snapshot(args.b)
        if first is None and second is None:
            raise CommandError(result["error"])
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
    if args.json:
        _write_json(result, sys.stdout)
    else:
        sys.stdout.write(result["summary"])
    return 0


# --------------------------------------------------------------------------- compare


def _endpoint(text: str) -> vorn_core.TopologyEndpoints:
    name, _, rest = text.partition(":")
    if rest:
        source, _, target = rest.partition(":")
        if not source or not target:
            raise UsageError(f"endpoint {text!r} must read NAME or NAME:FROM:TO")
    elif name in DEFAULT_ENDPOINTS:
        source, target = DEFAULT_ENDPOINTS[name]
    else:
        raise UsageError(f"no default endpoints for {name!r}; write NAME:FROM:TO "
                         f"(known names: {', '.join(DEFAULT_ENDPOINTS)})")
    return vorn_core.TopologyEndpoints(name, source, target)


def cmd_compare(args: argparse.Namespace) -> int:
    from vorn.comparison import compare

    names = args.endpoints or ["telecom_backbone", "repeater_chain", "hybrid_satellite_fiber"]
    endpoints = [_endpoint(text) for text in names]
    try:
        with _executor(args.workers) as executor:
            report = compare(endpoints, args.fidelity, args.budget, args.runs, args.strategy, args.seed,
                             executor=executor)
    except ValueError as error:  # unknown topology or node: the engine's message
        raise CommandError(str(error)) from None
    if args.json:
        from vorn.data import to_dict

        _write_json(to_dict(report), sys.stdout)
    else:
        print(f"{'topology':<24} {'endpoints':<18} {'success':>8} {'latency ms':>11} {'fidelity':>9}")
        for endpoint, result in zip(endpoints, report.results):
            pair = f"{endpoint.from_node}->{endpoint.to_node}"
            print(f"{result.topology_name:<24} {pair:<18} {result.success_rate:>8.4f} "
                  f"{result.mean_latency_ms:>11.3f} {result.mean_fidelity:>9.4f}")
        print(report.summary)
    if args.plot:
        _use_agg()
        from vorn.plot import plot_comparison

        _save_figure(plot_comparison(report), args.plot)
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


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(prog="vorn", description="Quantum-network simulation from the command line.",
                     epilog='FILE may be "builtin:telecom_backbone", "builtin:repeater_chain" or '
                            '"builtin:hybrid_satellite_fiber". Exit status: 0 success, 1 failure, 2 usage error.')
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
    p.add_argument("--json", action="store_true", help="print the report as JSON")
    p.add_argument("--plot", metavar="PNG", help="also draw the comparison")
    p.set_defaults(run=cmd_compare)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
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
